#include "panes/screenproxy.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The smallest width and height a drag or key leaves the region, frame units.
constexpr int kMinRoiSize = 4;
// Edge and corner bands are a third of the region, within these pixels.
constexpr int kMinBand = 1;
constexpr int kMaxBand = 6;

// Rounds half away from zero; values beyond int (or not numbers) are held at
// the nearest end (0), so no conversion is undefined.
int roundToInt(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v);
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(r);
}

QColor paintable(const QColor& color)
{
    return color.isValid() ? color : QColor(Qt::black);
}

// The edges of the region each hit type grabs.
struct HitEdges
{
    bool left;
    bool top;
    bool right;
    bool bottom;
};

constexpr HitEdges kHitEdges[] = {
    { false, false, false, false }, // none
    { true, false, false, false }, // left
    { false, true, false, false }, // top
    { false, false, false, true }, // bottom
    { false, false, true, false }, // right
    { true, true, false, false }, // top-left
    { false, true, true, false }, // top-right
    { true, false, false, true }, // bottom-left
    { false, false, true, true }, // bottom-right
};

bool isEdgeOrCorner(RoiHitType t)
{
    return t >= RoiHitLeft && t <= RoiHitBottomRight;
}

bool isCorner(RoiHitType t)
{
    return t >= RoiHitTopLeft && t <= RoiHitBottomRight;
}

// Under these the mouse edits freely (any value but none, fixed aspect, move only).
bool isFree(RoiConstrain c)
{
    return c != RoiConstrainNone && c != RoiConstrainFixAspect && c != RoiConstrainMoveOnly;
}

} // namespace

ScreenProxy::ScreenProxy(QWidget* parent, const QRect& frame)
    : QWidget(parent)
    , m_frame(frame)
    , m_pen(QBrush(Qt::black), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
    , m_brush(Qt::SolidPattern)
{
    setGeometry(frame);
    // Hovering updates the cursor; keys arrive after a click.
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    m_font = font();
    m_font.setPointSize(11);
}

ScreenProxy::~ScreenProxy() = default;

void ScreenProxy::ScaleAspectToFit(int srcW, int srcH, int dstW, int dstH, QRect& out)
{
    if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) {
        out = QRect(0, 0, 0, 0);
        return;
    }
    const double sourceAspect = double(srcW) / srcH;
    const double boxAspect = double(dstW) / dstH;
    int x = 0;
    int y = 0;
    int width = dstW;
    int height = dstH;
    if (boxAspect > sourceAspect) {
        width = roundToInt(srcW * (double(dstH) / srcH));
        x = (dstW - width) / 2;
    } else {
        height = roundToInt(srcH * (double(dstW) / srcW));
        y = (dstH - height) / 2;
    }
    out = QRect(x, y, width, height);
}

void ScreenProxy::SetScreenSize(int w, int h)
{
    m_screenW = w;
    m_screenH = h;
    if (w < 1 || h < 1)
        return;
    QRect fit;
    ScaleAspectToFit(w, h, m_frame.width(), m_frame.height(), fit);
    // A fit of no pixels would make the scales 0 and every pixel-to-frame
    // conversion a division by zero.
    if (fit.width() < 1 || fit.height() < 1)
        return;
    m_scaleX = double(fit.width()) / w;
    m_scaleY = double(fit.height()) / h;
    setGeometry(m_frame.x() + fit.x(), m_frame.y() + fit.y(), fit.width(), fit.height());
}

void ScreenProxy::SetRoiGeometry(int x, int y, int w, int h)
{
    m_roiX = x;
    m_roiY = y;
    m_roiW = w;
    m_roiH = h;
    update();
}

void ScreenProxy::SetRoiX(int x)
{
    SetRoiGeometry(x, m_roiY, m_roiW, m_roiH);
}

void ScreenProxy::SetRoiY(int y)
{
    SetRoiGeometry(m_roiX, y, m_roiW, m_roiH);
}

void ScreenProxy::SetWithSignalRoiX(int x)
{
    SetRoiX(x);
    emitRoi();
}

void ScreenProxy::SetWithSignalRoiY(int y)
{
    SetRoiY(y);
    emitRoi();
}

void ScreenProxy::SetWithSignalRoiXY(int x, int y)
{
    SetRoiGeometry(x, y, m_roiW, m_roiH);
    emitRoi();
}

void ScreenProxy::emitRoi()
{
    emit RoiChanged(roi());
}

void ScreenProxy::SetContrain(RoiConstrain c, int aw, int ah)
{
    m_constrain = c;
    m_dragConstrain = c;
    if (c == RoiConstrainFixAspect && aw != 0 && ah != 0) {
        m_aspectW = aw;
        m_aspectH = ah;
    } else {
        m_aspectW = m_roiW;
        m_aspectH = m_roiH;
    }
    m_dragAspectW = m_aspectW;
    m_dragAspectH = m_aspectH;
}

RoiConstrain ScreenProxy::GetContrain(int* aw, int* ah) const
{
    if (aw)
        *aw = m_aspectW;
    if (ah)
        *ah = m_aspectH;
    return m_constrain;
}

void ScreenProxy::SetOnlineState(bool on)
{
    if (m_online == on)
        return;
    m_online = on;
    update();
}

RoiHitType ScreenProxy::GetRoiHit(QPoint p) const
{
    const int rx = ScreenToUi(m_roiX, m_scaleX);
    const int ry = ScreenToUi(m_roiY, m_scaleY);
    const int rw = ScreenToUi(m_roiW, m_scaleX) - 1;
    const int rh = ScreenToUi(m_roiH, m_scaleY) - 1;
    const int right = rx + rw;
    const int bottom = ry + rh;
    int bandX = 0;
    int bandY = 0;
    if (m_dragConstrain != RoiConstrainMoveOnly) {
        bandX = std::clamp(roundToInt(rw / 3.0), kMinBand, kMaxBand);
        bandY = std::clamp(roundToInt(rh / 3.0), kMinBand, kMaxBand);
    }
    if (p.x() < rx || p.x() > right || p.y() < ry || p.y() > bottom)
        return RoiHitNone;
    const bool top = p.y() < ry + bandY;
    const bool low = p.y() > bottom - bandY;
    if (p.x() < rx + bandX)
        return top ? RoiHitTopLeft : low ? RoiHitBottomLeft : RoiHitLeft;
    if (p.x() <= right - bandX)
        return top ? RoiHitTop : low ? RoiHitBottom : RoiHitBody;
    return top ? RoiHitTopRight : low ? RoiHitBottomRight : RoiHitRight;
}

void ScreenProxy::SetHitTypeCursor(RoiHitType t)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (t) {
    case RoiHitLeft:
    case RoiHitRight:
        shape = Qt::SizeHorCursor;
        break;
    case RoiHitTop:
    case RoiHitBottom:
        shape = Qt::SizeVerCursor;
        break;
    case RoiHitTopLeft:
    case RoiHitBottomRight:
        shape = Qt::SizeFDiagCursor;
        break;
    case RoiHitTopRight:
    case RoiHitBottomLeft:
        shape = Qt::SizeBDiagCursor;
        break;
    case RoiHitBody:
        shape = m_dragging ? Qt::ClosedHandCursor : Qt::OpenHandCursor;
        break;
    default:
        break;
    }
    setCursor(shape);
}

int ScreenProxy::ScreenToUi(int v, const double& scale)
{
    return roundToInt(v * scale);
}

int ScreenProxy::UiToScreen(int v, const double& scale)
{
    // A scale of 0 (never set by SetScreenSize) would divide by zero.
    if (!(scale > 0.0))
        return 0;
    return roundToInt(v / scale);
}

int ScreenProxy::ValidateRoiX(int v) const
{
    return std::max(std::min(v, m_screenW - m_roiW), 0);
}

int ScreenProxy::ValidateRoiY(int v) const
{
    return std::max(std::min(v, m_screenH - m_roiH), 0);
}

int ScreenProxy::ValidateRoiW(int v) const
{
    return std::max(std::min(v, m_screenW - m_roiX), kMinRoiSize);
}

int ScreenProxy::ValidateRoiH(int v) const
{
    return std::max(std::min(v, m_screenH - m_roiY), kMinRoiSize);
}

int ScreenProxy::ValidateRoiLeft(int v) const
{
    const int right = m_roiX + m_roiW;
    return std::max(v + kMinRoiSize > right ? right - kMinRoiSize : v, 0);
}

int ScreenProxy::ValidateRoiTop(int v) const
{
    const int bottom = m_roiY + m_roiH;
    return std::max(v + kMinRoiSize > bottom ? bottom - kMinRoiSize : v, 0);
}

int ScreenProxy::ValidateRoiRight(int v) const
{
    return std::min(v - kMinRoiSize < m_roiX ? m_roiX + kMinRoiSize : v, m_screenW);
}

int ScreenProxy::ValidateRoiBottom(int v) const
{
    return std::min(v - kMinRoiSize < m_roiY ? m_roiY + kMinRoiSize : v, m_screenH);
}

void ScreenProxy::DragRoi(RoiHitType t, int dx, int dy)
{
    if (t == RoiHitBody) {
        const int x = ValidateRoiX(m_dragLeft + dx);
        const int y = ValidateRoiY(m_dragTop + dy);
        SetRoiGeometry(x, y, m_dragRight - m_dragLeft, m_dragBottom - m_dragTop);
        return;
    }
    if (!isEdgeOrCorner(t))
        return;
    const HitEdges& edges = kHitEdges[t];
    const int l = edges.left ? ValidateRoiLeft(m_dragLeft + dx) : m_dragLeft;
    const int top = edges.top ? ValidateRoiTop(m_dragTop + dy) : m_dragTop;
    const int r = edges.right ? ValidateRoiRight(m_dragRight + dx) : m_dragRight;
    const int b = edges.bottom ? ValidateRoiBottom(m_dragBottom + dy) : m_dragBottom;
    SetRoiGeometry(l, top, r - l, b - top);
}

void ScreenProxy::DragRoiFixAspect(RoiHitType t, int dx, int dy)
{
    // Without a usable aspect there is no shape to keep.
    if (m_dragAspectW <= 0 || m_dragAspectH <= 0 || !isEdgeOrCorner(t)) {
        DragRoi(t, dx, dy);
        return;
    }
    const double aspect = double(m_dragAspectW) / m_dragAspectH;
    // An edge drags the corner that follows it: the left and top edges the
    // top-left corner, the right and bottom edges the bottom-right one.
    switch (t) {
    case RoiHitLeft:
        dy = roundToInt(dx / aspect);
        t = RoiHitTopLeft;
        break;
    case RoiHitTop:
        dx = roundToInt(dy * aspect);
        t = RoiHitTopLeft;
        break;
    case RoiHitBottom:
        dx = roundToInt(dy * aspect);
        t = RoiHitBottomRight;
        break;
    case RoiHitRight:
        dy = roundToInt(dx / aspect);
        t = RoiHitBottomRight;
        break;
    default:
        break;
    }
    if (!isCorner(t))
        return;
    const HitEdges& edges = kHitEdges[t];
    const int movingX = edges.left ? ValidateRoiLeft(m_dragLeft + dx) : ValidateRoiRight(m_dragRight + dx);
    const int movingY = edges.top ? ValidateRoiTop(m_dragTop + dy) : ValidateRoiBottom(m_dragBottom + dy);
    const int fixedX = edges.left ? m_dragRight : m_dragLeft;
    const int fixedY = edges.top ? m_dragBottom : m_dragTop;
    QRect fit;
    ScaleAspectToFit(m_dragAspectW, m_dragAspectH, std::abs(fixedX - movingX), std::abs(fixedY - movingY), fit);
    const int x = edges.left ? fixedX - fit.width() : fixedX;
    const int y = edges.top ? fixedY - fit.height() : fixedY;
    SetRoiGeometry(x, y, fit.width(), fit.height());
}

void ScreenProxy::ChangeRoiFixAspect(RoiHitType t, int dx, int dy)
{
    m_dragLeft = m_roiX;
    m_dragTop = m_roiY;
    m_dragRight = m_roiX + m_roiW;
    m_dragBottom = m_roiY + m_roiH;
    m_dragAspectW = m_aspectW;
    m_dragAspectH = m_aspectH;
    DragRoiFixAspect(t, dx, dy);
}

void ScreenProxy::setFineSteps(bool on)
{
    m_fineSteps = on;
    m_pressPos = m_lastPos;
    m_dragLeft = m_roiX;
    m_dragTop = m_roiY;
    m_dragRight = m_roiX + m_roiW;
    m_dragBottom = m_roiY + m_roiH;
}

void ScreenProxy::followAltModifier(const QMouseEvent* event)
{
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    if (alt != m_fineSteps)
        setFineSteps(alt);
}

void ScreenProxy::endDrag()
{
    m_dragging = false;
    m_dragConstrain = m_constrain;
    m_dragAspectW = m_aspectW;
    m_dragAspectH = m_aspectH;
}

void ScreenProxy::mousePressEvent(QMouseEvent* event)
{
    if (!isActive())
        return;
    followAltModifier(event);
    // Only the left button drags: a right press opens a menu that takes the
    // release, and the region would then follow the bare pointer.
    if (m_constrain == RoiConstrainNone || event->button() != Qt::LeftButton) {
        emit MouseDown();
        return;
    }
    m_dragConstrain = m_constrain;
    if (m_constrain == RoiConstrainFixAspect) {
        m_dragAspectW = m_aspectW;
        m_dragAspectH = m_aspectH;
    }
    // Shift keeps this drag's shape, but only where resizing is allowed at all:
    // a move-only region has a size its owner relies on.
    if (isFree(m_constrain) && event->modifiers().testFlag(Qt::ShiftModifier)) {
        m_dragAspectW = m_roiW;
        m_dragAspectH = m_roiH;
        m_dragConstrain = RoiConstrainFixAspect;
    }
    m_dragging = true;
    m_pressPos = event->globalPos();
    m_lastPos = m_pressPos;
    m_dragHit = GetRoiHit(event->pos());
    m_dragLeft = m_roiX;
    m_dragTop = m_roiY;
    m_dragRight = m_roiX + m_roiW;
    m_dragBottom = m_roiY + m_roiH;
    SetHitTypeCursor(m_dragHit);
    emit MouseDown();
}

void ScreenProxy::mouseMoveEvent(QMouseEvent* event)
{
    if (m_constrain == RoiConstrainNone || !isActive()) {
        SetHitTypeCursor(RoiHitNone);
        return;
    }
    // A drag whose release went elsewhere (a menu, another window) ends here,
    // without moving the region.
    if (m_dragging && !event->buttons().testFlag(Qt::LeftButton))
        endDrag();
    followAltModifier(event);
    int dx = event->globalPos().x() - m_pressPos.x();
    int dy = event->globalPos().y() - m_pressPos.y();
    if (!m_fineSteps) {
        dx = UiToScreen(dx, m_scaleX);
        dy = UiToScreen(dy, m_scaleY);
    }
    m_lastPos = event->globalPos();
    SetHitTypeCursor(m_dragging ? m_dragHit : GetRoiHit(event->pos()));
    if (!m_dragging)
        return;
    if (m_dragConstrain == RoiConstrainFixAspect)
        DragRoiFixAspect(m_dragHit, dx, dy);
    else
        DragRoi(m_dragHit, dx, dy);
    emitRoi();
}

void ScreenProxy::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_constrain == RoiConstrainNone || !isActive())
        return;
    followAltModifier(event);
    emit MouseUp();
    if (event->button() != Qt::LeftButton)
        return;
    const bool heldBody = m_dragHit == RoiHitBody;
    endDrag();
    SetHitTypeCursor(heldBody ? RoiHitBody : GetRoiHit(event->pos()));
}

void ScreenProxy::keyPressEvent(QKeyEvent* event)
{
    if (!isActive()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit Done();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        SetRoiX(ValidateRoiX(m_roiX + (event->key() == Qt::Key_Left ? -1 : 1)));
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        SetRoiY(ValidateRoiY(m_roiY + (event->key() == Qt::Key_Up ? -1 : 1)));
        break;
    case Qt::Key_Alt:
        setFineSteps(true);
        break;
    default:
        // Consumed, not passed on: while the region is being edited a digit
        // or a zoom key must not recall a preset or zoom the camera.
        return;
    }
    emitRoi();
}

void ScreenProxy::keyReleaseEvent(QKeyEvent* event)
{
    if (!isActive()) {
        event->ignore();
        return;
    }
    // Every other release is consumed too, as its press was.
    if (event->key() != Qt::Key_Alt)
        return;
    setFineSteps(false);
    emitRoi();
}

void ScreenProxy::paintEvent(QPaintEvent* /*event*/)
{
    paintScreen(nullptr);
}

void ScreenProxy::paintScreen(const QPixmap* icon)
{
    QPainter painter(this);
    // The labels are measured in the font they are drawn in, not the widget's
    // own (a style sheet may give that one another size).
    const QFontMetrics metrics(m_font, this);
    painter.setFont(m_font);
    QPen pen = m_pen;
    pen.setColor(paintable(m_outlineColor));
    painter.setPen(pen);
    QBrush brush = m_brush;
    brush.setColor(m_online ? paintable(m_screenFillColor) : QColor(0, 0, 0, 0));
    painter.setBrush(brush);
    painter.drawRect(0, 0, width() - 1, height() - 1);

    const int sw = ScreenToUi(m_screenW, m_scaleX);
    const int sh = ScreenToUi(m_screenH, m_scaleY);
    const int rx = ScreenToUi(m_roiX, m_scaleX);
    const int ry = ScreenToUi(m_roiY, m_scaleY);
    const int rw = ScreenToUi(m_roiW, m_scaleX);
    const int rh = ScreenToUi(m_roiH, m_scaleY);
    if (m_online) {
        if (icon) {
            painter.drawPixmap(QRect(rx, ry, rw, rh), *icon);
        } else {
            brush.setColor(paintable(m_roiFillColor));
            painter.setBrush(brush);
            painter.drawRect(rx, ry, rw - 1, rh - 1);
        }
    }

    const QString screenLabel = QStringLiteral("%1x%2").arg(m_screenW).arg(m_screenH);
    pen.setColor(m_online ? paintable(m_screenTextColor) : QColor(0, 0, 0, 0));
    painter.setPen(pen);
    const int labelHeight = metrics.boundingRect(screenLabel).height();
    painter.drawText(QRect(0, 0, width(), labelHeight), Qt::AlignHCenter | Qt::AlignTop, screenLabel);

    // The region's size sits inside it at its bottom, or just below it when
    // it does not fit, and always inside the screen.
    const QString roiLabel = QStringLiteral("%1x%2").arg(m_roiW).arg(m_roiH);
    pen.setColor(m_online ? paintable(m_roiTextColor) : QColor(0, 0, 0, 0));
    painter.setPen(pen);
    const QRect bounds = metrics.boundingRect(roiLabel);
    const int tw = bounds.width() - 4;
    const int th = bounds.height();
    int ty = ry + rh - th;
    if (tw > rw || th > rh)
        ty = ry + rh;
    ty = std::min(std::max(ty, th), sh - th);
    int tx = std::max(rx + (rw - tw) / 2, 0);
    if (tx + tw > sw)
        tx = sw - tw;
    // The box is narrower than the text's bounding rectangle: the text may
    // spill over its sides rather than lose its first and last digits.
    painter.drawText(QRect(tx, ty, tw, th), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextDontClip, roiLabel);
}

ScreenProxyIcon::ScreenProxyIcon(QWidget* parent, const QRect& frame)
    : ScreenProxy(parent, frame)
{ }

ScreenProxyIcon::~ScreenProxyIcon() = default;

void ScreenProxyIcon::paintEvent(QPaintEvent* /*event*/)
{
    paintScreen(&m_icon);
}

MatrixScreenProxy::MatrixScreenProxy(QWidget* parent, const QRect& frame)
    : ScreenProxy(parent, frame)
    , m_cellW(frame.width())
    , m_cellH(frame.height())
    , m_selectionPen(QBrush(Qt::black), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
{ }

MatrixScreenProxy::~MatrixScreenProxy() = default;

void MatrixScreenProxy::SetRows(int rows)
{
    m_rows = std::max(rows, 1);
    m_cellH = int(float(height()) / m_rows);
    m_selectedRow = std::min(m_selectedRow, m_rows - 1);
    update();
}

void MatrixScreenProxy::SetCols(int cols)
{
    m_cols = std::max(cols, 1);
    m_cellW = int(float(width()) / m_cols);
    m_selectedCol = std::min(m_selectedCol, m_cols - 1);
    update();
}

void MatrixScreenProxy::SetBezel(int bezel)
{
    m_bezel = bezel;
    update();
}

namespace {

// The cell holding coordinate v: the smallest n >= 0 with n * cell >= v, less
// one, kept inside 0 .. count - 1. Cells of no pixels give cell 0.
int cellAt(int v, int cell, int count)
{
    if (cell <= 0 || v <= 0)
        return 0;
    const int n = (v + cell - 1) / cell;
    return std::min(std::max(n - 1, 0), count - 1);
}

} // namespace

void MatrixScreenProxy::CalculateSelectedCell(QPoint p)
{
    m_selectedRow = cellAt(p.y(), m_cellH, m_rows);
    m_selectedCol = cellAt(p.x(), m_cellW, m_cols);
    update();
}

void MatrixScreenProxy::CalculateSelectedCellValues(int& x, int& y, int& w, int& h) const
{
    const int fw = UiToScreen(width(), horizontalScale());
    const int fh = UiToScreen(height(), verticalScale());
    const float cw = float(fw) / m_cols;
    const float ch = float(fh) / m_rows;
    x = int(cw * m_selectedCol + m_bezel);
    y = int(ch * m_selectedRow + m_bezel);
    w = int(cw) - 2 * m_bezel;
    h = int(ch) - 2 * m_bezel;
}

void MatrixScreenProxy::mousePressEvent(QMouseEvent* event)
{
    if (!isActive())
        return;
    const QPoint p = event->pos();
    if (p.x() >= 0 && p.x() <= width() - 1 && p.y() >= 0 && p.y() <= height() - 1)
        CalculateSelectedCell(p);
    emit MouseDown();
}

void MatrixScreenProxy::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setPen(outlinePen());
    for (const QColor& fill : { QColor(Qt::black), paintable(screenFillColor()), paintable(m_gridColor) }) {
        painter.setBrush(fill);
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }

    QPen selection = m_selectionPen;
    selection.setColor(m_bezel != 0 ? QColor(Qt::red) : QColor(Qt::black));
    selection.setWidth(m_bezel);
    painter.setPen(selection);
    painter.setBrush(paintable(m_selectionColor));
    const int b = m_bezel != 0 ? m_bezel : 1;
    painter.drawRect(m_selectedCol * m_cellW + b / 2, m_selectedRow * m_cellH + b / 2, m_cellW - b, m_cellH - b);

    if (m_rows < 2 && m_cols < 2)
        return;
    painter.setPen(QPen(QBrush(Qt::black), 1.0, Qt::DashDotLine, Qt::RoundCap, Qt::BevelJoin));
    for (int r = 1; r < m_rows; ++r)
        painter.drawLine(0, m_cellH * r, width(), m_cellH * r);
    for (int c = 1; c < m_cols; ++c)
        painter.drawLine(m_cellW * c, 0, m_cellW * c, height());
}
