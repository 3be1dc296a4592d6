#pragma once

#include <QColor>
#include <QFont>
#include <QPen>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QPaintEvent;

// Which part of the region a point lies on.
enum RoiHitType : int
{
    RoiHitNone = 0, // outside
    RoiHitLeft = 1,
    RoiHitTop = 2,
    RoiHitBottom = 3,
    RoiHitRight = 4,
    RoiHitTopLeft = 5,
    RoiHitTopRight = 6,
    RoiHitBottomLeft = 7,
    RoiHitBottomRight = 8,
    RoiHitBody = 9,
};

// How the mouse may edit the region. Values other than 0, 2 and 3 mean free
// editing: move, and resize by any edge or corner.
enum RoiConstrain : int
{
    RoiConstrainNone = 0, // no mouse editing (the arrow keys still move it)
    RoiConstrainFree = 1,
    RoiConstrainFixAspect = 2, // resizing keeps the constraint's aspect ratio
    RoiConstrainMoveOnly = 3,
};

// A camera picture ("screen") of a size in frame units, letterboxed into a
// rectangle of the parent, with a region of interest inside it that the user
// moves or resizes with the left mouse button and moves with the arrow keys.
// Every change the user makes is reported in frame units by RoiChanged. The
// widget knows nothing of cameras. Positions are stored in frame units;
// painting and mouse handling work in widget pixels, converted with the two
// scales (pixels per frame unit). Shift held at a press keeps the region's
// shape for that drag (free constraint only); Alt makes one pixel of mouse
// travel one frame unit. GUI thread only.
class ScreenProxy : public QWidget
{
    Q_OBJECT

public:
    ScreenProxy(QWidget* parent, const QRect& frame);
    ~ScreenProxy() override;

    // Stores the picture size; a size of at least 1 x 1 is letterboxed into
    // the frame rectangle, which sets both scales and the widget's geometry.
    // A fit of no pixels keeps the scales and the geometry as they were.
    void SetScreenSize(int w, int h);
    // The largest rectangle of aspect srcW:srcH centred in a dstW x dstH box
    // (x, y relative to the box); (0, 0, 0, 0) when a size is below 1.
    static void ScaleAspectToFit(int srcW, int srcH, int dstW, int dstH, QRect& out);

    // Stores the region as given (no validation) and repaints; no signal.
    void SetRoiGeometry(int x, int y, int w, int h);
    void SetRoiX(int x);
    void SetRoiY(int y);
    // As SetRoiX / SetRoiY / both, then RoiChanged with the whole region.
    void SetWithSignalRoiX(int x);
    void SetWithSignalRoiY(int y);
    void SetWithSignalRoiXY(int x, int y);
    // The region in frame units.
    QRect roi() const { return QRect(m_roiX, m_roiY, m_roiW, m_roiH); }
    // Widget pixels per frame unit.
    double horizontalScale() const { return m_scaleX; }
    double verticalScale() const { return m_scaleY; }

    // Constraint for the drags to come. Under the fixed-aspect constraint a
    // non-zero aw:ah is the aspect kept; otherwise the region's present shape.
    void SetContrain(RoiConstrain c, int aw, int ah);
    // The constraint, and its aspect through each pointer that is not null.
    RoiConstrain GetContrain(int* aw, int* ah) const;

    void SetEditable(bool editable) { m_editable = editable; }
    bool GetEditable() const { return m_editable; }
    // Offline, the widget draws only its outline; repaints on a change.
    void SetOnlineState(bool on);
    // Ends a drag without MouseUp (a menu took the release).
    void CancelDrag() { m_dragging = false; }

    // An invalid colour paints as opaque black.
    void SetScreenFillColor(const QColor& color) { m_screenFillColor = color; }
    void SetScreenTextColor(const QColor& color) { m_screenTextColor = color; }
    void SetRoiFillColor(const QColor& color) { m_roiFillColor = color; }
    void SetRoiTextColor(const QColor& color) { m_roiTextColor = color; }

    // Which part of the region a point in widget pixels hits. Edges and corners
    // are bands of a third of the region, 1 to 6 pixels; none under move-only.
    RoiHitType GetRoiHit(QPoint p) const;
    void SetHitTypeCursor(RoiHitType t);

    // Frame units to widget pixels and back, rounded half away from zero.
    static int ScreenToUi(int v, const double& scale);
    static int UiToScreen(int v, const double& scale);

    // One coordinate clamped against the screen and the present region; the
    // region stays inside the screen and at least 4 frame units wide and high.
    int ValidateRoiX(int v) const;
    int ValidateRoiY(int v) const;
    int ValidateRoiW(int v) const;
    int ValidateRoiH(int v) const;
    int ValidateRoiLeft(int v) const;
    int ValidateRoiTop(int v) const;
    int ValidateRoiRight(int v) const;
    int ValidateRoiBottom(int v) const;

    // The region as it was at the start of the drag, with the grabbed part
    // moved by (dx, dy) frame units: freely, or keeping the drag's aspect.
    void DragRoi(RoiHitType t, int dx, int dy);
    void DragRoiFixAspect(RoiHitType t, int dx, int dy);
    // A fixed-aspect edit of the present region with the constraint's aspect.
    void ChangeRoiFixAspect(RoiHitType t, int dx, int dy);

signals:
    void MouseDown();
    void MouseUp();
    // The region in frame units (x, y, width, height).
    void RoiChanged(const QRect& rect);
    // Escape, Return or Enter.
    void Done();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // Paints the screen, the region (filled, or the icon when there is one)
    // and the two size labels.
    void paintScreen(const QPixmap* icon);

    bool isActive() const { return m_editable && m_online; }
    QColor screenFillColor() const { return m_screenFillColor; }
    const QPen& outlinePen() const { return m_pen; }

private:
    void emitRoi();
    // Fine steps on or off; a drag under way goes on from the last pointer
    // position and the present region, so the region does not jump.
    void setFineSteps(bool on);
    // Alt held or not in a mouse event, whichever widget saw the key.
    void followAltModifier(const QMouseEvent* event);
    void endDrag();

    QPoint m_lastPos;
    QRect m_frame;
    int m_screenW = -1;
    int m_screenH = -1;
    int m_roiX = -1;
    int m_roiY = -1;
    int m_roiW = -1;
    int m_roiH = -1;
    int m_aspectW = 0;
    int m_aspectH = 0;
    RoiConstrain m_constrain = RoiConstrainNone;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
    bool m_editable = false;
    bool m_online = true;
    QColor m_screenFillColor;
    QColor m_screenTextColor;
    QColor m_roiFillColor;
    QColor m_roiTextColor;
    QColor m_outlineColor;
    bool m_dragging = false;
    bool m_fineSteps = false;
    RoiHitType m_dragHit = RoiHitNone;
    QPoint m_pressPos;
    int m_dragLeft = 0;
    int m_dragTop = 0;
    int m_dragRight = 0;
    int m_dragBottom = 0;
    int m_dragAspectW = 0;
    int m_dragAspectH = 0;
    RoiConstrain m_dragConstrain = RoiConstrainNone;
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
};

// A ScreenProxy that draws a picture scaled into the region in place of the
// filled rectangle.
class ScreenProxyIcon : public ScreenProxy
{
    Q_OBJECT

public:
    ScreenProxyIcon(QWidget* parent, const QRect& frame);
    ~ScreenProxyIcon() override;

    // Shown from the next repaint.
    void setPixmap(const QPixmap& icon) { m_icon = icon; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_icon;
};

// A ScreenProxy divided into rows and columns, of which a press selects one
// cell. Counts below 1 count as 1; the selection stays inside the grid.
class MatrixScreenProxy : public ScreenProxy
{
    Q_OBJECT

public:
    MatrixScreenProxy(QWidget* parent, const QRect& frame);
    ~MatrixScreenProxy() override;

    // The cell size follows from the widget's size at the time of the call.
    void SetRows(int rows);
    void SetCols(int cols);
    // Margin inside each cell, in frame units for the values and in pixels for
    // the drawn selection.
    void SetBezel(int bezel);
    // Selects the cell under p (widget pixels); a point on a grid line belongs
    // to the cell above or left of it.
    void CalculateSelectedCell(QPoint p);
    // The selected cell, less the bezel, in frame units.
    void CalculateSelectedCellValues(int& x, int& y, int& w, int& h) const;

    int selectedRow() const { return m_selectedRow; }
    int selectedCol() const { return m_selectedCol; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_rows = 1;
    int m_cols = 1;
    int m_bezel = 0;
    int m_selectedRow = 0;
    int m_selectedCol = 0;
    int m_cellW = 0;
    int m_cellH = 0;
    QColor m_gridColor;
    QColor m_selectionColor;
    QPen m_selectionPen;
};
