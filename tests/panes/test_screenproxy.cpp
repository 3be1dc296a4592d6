// The region editor: letterboxing, hit bands and cursors, each kind of drag
// with its constraint, the lost-release and modifier cases, keys, painting
// and the grid variant, and the panes' shared look of a window moved over a
// frame. Mouse events carry exact global positions.

#include <QKeyEvent>
#include <QSignalSpy>

#include "mouseevents.h"
#include "panes/paneui.h"
#include "panes/screenproxy.h"
#include "panesapplication.h"
#include "quvtest.h"

namespace {

// Drawn without the window's background, so that offline shows what stays.
QImage render(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// The smallest rectangle holding every pixel near colour (text is smoothed).
QRect inked(const QImage& image, const QColor& color)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green())
                    + std::abs(c.blue() - color.blue())
                < 60)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

using quvtest::mouse;

bool key(QWidget* widget, QEvent::Type type, int code)
{
    QKeyEvent event(type, code, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

// 3840 x 2160 frame units at 0.1 pixel per unit.
std::unique_ptr<ScreenProxy> makeProxy(const QRect& roi, int constrain, const QSize& aspect = QSize(0, 0))
{
    std::unique_ptr<ScreenProxy> proxy(new ScreenProxy(nullptr, QRect(0, 0, 384, 216)));
    proxy->SetScreenSize(3840, 2160);
    proxy->SetRoiGeometry(roi.x(), roi.y(), roi.width(), roi.height());
    proxy->SetContrain(RoiConstrain(constrain), aspect.width(), aspect.height());
    proxy->SetEditable(true);
    return proxy;
}

const int L = Qt::LeftButton;
const int kShift = Qt::ShiftModifier;
const QRect B(1000, 500, 1600, 900); // pixels (100, 50) to (259, 139), bands of 6
const QRect A(1000, 500, 1000, 600); // pixels (100, 50) to (199, 109)

// clang-format off
struct Fit { const char* name; QRect frame; QSize screen; QRect geometry; double scaleX, scaleY; };
const Fit kFits[] = {
    { "narrow box", { 10, 10, 400, 300 }, { 3840, 2160 }, { 10, 47, 400, 225 }, 400 / 3840.0, 225 / 2160.0 },
    { "ePTZ", { 1, 1, 415, 234 }, { 3840, 2160 }, { 1, 1, 415, 233 }, 415 / 3840.0, 233 / 2160.0 },
    { "spot", { 3, 54, 224, 126 }, { 3840, 2160 }, { 3, 54, 224, 126 }, 224 / 3840.0, 126 / 2160.0 },
    { "tall", { 0, 0, 101, 100 }, { 1, 3 }, { 34, 0, 33, 100 }, 33.0, 100 / 3.0 },
    { "wide", { 0, 0, 100, 101 }, { 3, 1 }, { 0, 34, 100, 33 }, 100 / 3.0, 33.0 },
    { "empty screen keeps", { 5, 6, 70, 80 }, { 0, 100 }, { 5, 6, 70, 80 }, 1.0, 1.0 },
    { "empty frame keeps", { 5, 6, 0, 80 }, { 3840, 2160 }, { 5, 6, 0, 80 }, 1.0, 1.0 },
};

struct Hit { const char* name; int constrain; QRect roi; QPoint point; int hit; Qt::CursorShape cursor; };
const Hit kHits[] = {
    { "top-left", 1, B, { 100, 50 }, 5, Qt::SizeFDiagCursor },
    { "body: bands at most 6", 1, B, { 106, 56 }, 9, Qt::OpenHandCursor },
    { "top", 1, B, { 180, 52 }, 2, Qt::SizeVerCursor },
    { "above bottom band", 1, B, { 180, 133 }, 9, Qt::OpenHandCursor },
    { "bottom", 1, B, { 180, 134 }, 3, Qt::SizeVerCursor },
    { "left", 1, B, { 100, 100 }, 1, Qt::SizeHorCursor },
    { "before right band", 1, B, { 253, 100 }, 9, Qt::OpenHandCursor },
    { "right", 1, B, { 254, 100 }, 4, Qt::SizeHorCursor },
    { "top-right", 1, B, { 259, 50 }, 6, Qt::SizeBDiagCursor },
    { "bottom-left", 1, B, { 100, 139 }, 7, Qt::SizeBDiagCursor },
    { "bottom-right", 1, B, { 259, 139 }, 8, Qt::SizeFDiagCursor },
    { "right of it", 1, B, { 260, 100 }, 0, Qt::ArrowCursor },
    { "left of it", 1, B, { 99, 100 }, 0, Qt::ArrowCursor },
    { "below it", 1, B, { 180, 140 }, 0, Qt::ArrowCursor },
    { "one pixel has bands", 1, { 1000, 500, 10, 10 }, { 100, 50 }, 5, Qt::SizeFDiagCursor },
    { "move-only corner", 3, B, { 100, 50 }, 9, Qt::OpenHandCursor },
    { "no editing", 0, B, { 180, 100 }, 9, Qt::ArrowCursor },
};

// A press, one move by delta pixels with the buttons held, the region after it
// and the RoiChanged emitted.
struct Drag { const char* name; int constrain; QSize aspect; QRect roi; QPoint press; int button, modifiers; QPoint delta;
              int held; QRect expected; int changes; };
const Drag kDrags[] = {
    { "left edge stops 4 short", 1, {}, A, { 100, 80 }, L, 0, { 200, 0 }, L, { 1996, 500, 4, 600 }, 1 },
    { "body stops at the border", 1, {}, A, { 150, 80 }, L, 0, { 1000, 0 }, L, { 2840, 500, 1000, 600 }, 1 },
    { "right edge stops 4 short", 1, {}, A, { 199, 80 }, L, 0, { -500, 0 }, L, { 1000, 500, 4, 600 }, 1 },
    { "bottom edge stops 4 short", 1, {}, A, { 150, 109 }, L, 0, { 0, -100 }, L, { 1000, 500, 1000, 4 }, 1 },
    { "top-left", 1, {}, A, { 100, 50 }, L, 0, { -20, -10 }, L, { 800, 400, 1200, 700 }, 1 },
    { "top-right", 1, {}, A, { 199, 50 }, L, 0, { 10, 10 }, L, { 1000, 600, 1100, 500 }, 1 },
    { "bottom-left", 1, {}, A, { 100, 109 }, L, 0, { 10, -10 }, L, { 1100, 500, 900, 500 }, 1 },
    { "outside emits unchanged", 1, {}, A, { 20, 20 }, L, 0, { 30, 0 }, L, A, 1 },
    { "fixed top edge", 2, { 16, 9 }, B, { 180, 52 }, L, 0, { 0, -20 }, L, { 644, 300, 1956, 1100 }, 1 },
    { "fixed left edge", 2, { 16, 9 }, B, { 100, 100 }, L, 0, { -16, 0 }, L, { 840, 410, 1760, 990 }, 1 },
    { "fixed right edge", 2, { 16, 9 }, B, { 259, 100 }, L, 0, { 16, 0 }, L, { 1000, 500, 1760, 990 }, 1 },
    { "fixed bottom edge", 2, { 16, 9 }, B, { 180, 139 }, L, 0, { 0, 9 }, L, { 1000, 500, 1760, 990 }, 1 },
    { "fixed top-right", 2, { 16, 9 }, B, { 259, 50 }, L, 0, { 16, -9 }, L, { 1000, 410, 1760, 990 }, 1 },
    { "fixed bottom-left", 2, { 16, 9 }, B, { 100, 139 }, L, 0, { -16, 9 }, L, { 840, 500, 1760, 990 }, 1 },
    { "fixed corner, height limits", 2, { 16, 9 }, B, { 259, 139 }, L, 0, { 50, 5 }, L, { 1000, 500, 1689, 950 }, 1 },
    { "fixed body", 2, { 16, 9 }, B, { 180, 100 }, L, 0, { -3, 2 }, L, { 970, 520, 1600, 900 }, 1 },
    { "negative aspect is free", 2, { 16, -9 }, B, { 259, 100 }, L, 0, { 16, 0 }, L, { 1000, 500, 1760, 900 }, 1 },
    { "shift keeps the shape", 1, {}, B, { 259, 100 }, L, kShift, { 16, 0 }, L, { 1000, 500, 1760, 990 }, 1 },
    { "shift on move-only moves", 3, {}, B, { 259, 100 }, L, kShift, { 16, 0 }, L, { 1160, 500, 1600, 900 }, 1 },
    { "alt held: unit a pixel", 1, {}, A, { 150, 80 }, L, Qt::AltModifier, { 7, -2 }, L, { 1007, 498, 1000, 600 }, 1 },
    { "right press, hover", 1, {}, A, { 150, 80 }, Qt::RightButton, 0, { 30, 0 }, 0, A, 0 },
    { "release went elsewhere", 1, {}, A, { 150, 80 }, L, 0, { 30, 0 }, 0, A, 0 },
    { "no editing", 0, {}, A, { 150, 80 }, L, 0, { 30, 0 }, L, A, 0 },
};

// clang-format on

} // namespace

class TestScreenProxy : public QObject
{
    Q_OBJECT

private slots:
    void letterbox_data() { quvtest::addRows(kFits); }
    void letterbox();
    void hitAndCursor_data() { quvtest::addRows(kHits); }
    void hitAndCursor();
    void drag_data() { quvtest::addRows(kDrags); }
    void drag();
    void altKeyRestartsTheDrag();
    void constraintAndValidators();
    void keys();
    void painting();
    void sizeLabels();
    void matrix();
    void windowPicture();
};

void TestScreenProxy::letterbox()
{
    QFETCH(int, row);
    const Fit& fit = kFits[row];
    ScreenProxy proxy(nullptr, fit.frame);
    proxy.SetScreenSize(fit.screen.width(), fit.screen.height());
    QCOMPARE(proxy.geometry(), fit.geometry);
    QCOMPARE(proxy.horizontalScale(), fit.scaleX);
    QCOMPARE(proxy.verticalScale(), fit.scaleY);
    // A size below 1 fits nothing; a box one pixel high still fits a pixel.
    const auto fitted = [](int srcW, int srcH, int dstW, int dstH) {
        QRect out;
        ScreenProxy::ScaleAspectToFit(srcW, srcH, dstW, dstH, out);
        return out;
    };
    for (const QRect& sizes : { QRect(0, 5, 10, 10), QRect(5, 0, 10, 10), QRect(5, 5, 0, 10), QRect(5, 5, 10, 0) })
        QCOMPARE(fitted(sizes.x(), sizes.y(), sizes.width(), sizes.height()), QRect(0, 0, 0, 0));
    QCOMPARE(fitted(5, 5, 10, 1), QRect(4, 0, 1, 1));
    QCOMPARE(ScreenProxy::ScreenToUi(-25, 0.1), -3); // halves away from zero
    QCOMPARE(ScreenProxy::UiToScreen(7, 0.0), 0);
}

void TestScreenProxy::hitAndCursor()
{
    QFETCH(int, row);
    const Hit& hit = kHits[row];
    const auto proxy = makeProxy(hit.roi, hit.constrain);
    QCOMPARE(int(proxy->GetRoiHit(hit.point)), hit.hit);
    mouse(proxy.get(), QEvent::MouseMove, hit.point, Qt::NoButton);
    QCOMPARE(proxy->cursor().shape(), hit.cursor);
}

void TestScreenProxy::drag()
{
    QFETCH(int, row);
    const Drag& drag = kDrags[row];
    const auto proxy = makeProxy(drag.roi, drag.constrain, drag.aspect);
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    QSignalSpy ups(proxy.get(), &ScreenProxy::MouseUp);
    const QPoint end = drag.press + drag.delta;
    const Qt::KeyboardModifiers modifiers(drag.modifiers);
    mouse(proxy.get(), QEvent::MouseButtonPress, drag.press, Qt::MouseButton(drag.button), modifiers);
    mouse(proxy.get(), QEvent::MouseMove, end, Qt::MouseButton(drag.held), modifiers);
    QCOMPARE(proxy->roi(), drag.expected);
    QCOMPARE(changed.count(), drag.changes);
    if (drag.changes)
        QCOMPARE(changed.last().at(0).toRect(), drag.expected);
    // Released, the region no longer follows the pointer.
    mouse(proxy.get(), QEvent::MouseButtonRelease, end, Qt::MouseButton(drag.button), modifiers);
    mouse(proxy.get(), QEvent::MouseMove, end + QPoint(50, 20), Qt::NoButton);
    QCOMPARE(proxy->roi(), drag.expected);
    QCOMPARE(changed.count(), drag.changes);
    QCOMPARE(ups.count(), drag.constrain == 0 ? 0 : 1);
}

void TestScreenProxy::altKeyRestartsTheDrag()
{
    const auto proxy = makeProxy(A, RoiConstrainFree);
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    const auto move = [&](int x, int modifiers) {
        mouse(proxy.get(), QEvent::MouseMove, QPoint(x, 80), Qt::LeftButton, Qt::KeyboardModifiers(modifiers));
        return proxy->roi().x();
    };
    mouse(proxy.get(), QEvent::MouseButtonPress, QPoint(150, 80));
    QCOMPARE(proxy->cursor().shape(), Qt::ClosedHandCursor);
    QCOMPARE(move(160, 0), 1100);
    QVERIFY(key(proxy.get(), QEvent::KeyPress, Qt::Key_Alt));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toRect().x(), 1100);
    QCOMPARE(move(167, Qt::AltModifier), 1107);
    QVERIFY(key(proxy.get(), QEvent::KeyRelease, Qt::Key_Alt));
    QCOMPARE(changed.count(), 4);
    QCOMPARE(move(177, 0), 1207);
    // The hand opens where the body was let go, also off the region.
    mouse(proxy.get(), QEvent::MouseButtonRelease, QPoint(5, 5));
    QCOMPARE(proxy->cursor().shape(), Qt::OpenHandCursor);

    // Alt pressed here and released while another widget had the focus: the
    // next drag goes by the modifiers the mouse reports.
    QVERIFY(key(proxy.get(), QEvent::KeyPress, Qt::Key_Alt));
    mouse(proxy.get(), QEvent::MouseButtonPress, QPoint(150, 80));
    QCOMPARE(move(160, 0), 1307);
}

void TestScreenProxy::constraintAndValidators()
{
    // The aspect given counts only for the fixed-aspect constraint and only
    // when neither term is 0; otherwise it is the region's present shape.
    const auto proxy = makeProxy(A, RoiConstrainFree);
    const auto constrain = [&proxy](int c, int aw, int ah) {
        proxy->SetContrain(RoiConstrain(c), aw, ah);
        int w = 0;
        int h = 0;
        const int got = proxy->GetContrain(&w, &h);
        return QString("%1 %2:%3").arg(got).arg(w).arg(h);
    };
    QCOMPARE(constrain(2, 1, 2), QString("2 1:2"));
    QCOMPARE(constrain(2, 16, 0), QString("2 1000:600"));
    QCOMPARE(constrain(1, 16, 9), QString("1 1000:600"));
    QCOMPARE(constrain(3, 16, 9), QString("3 1000:600"));
    QCOMPARE(proxy->GetContrain(nullptr, nullptr), RoiConstrainMoveOnly);
    // Width and height: at least 4, at most what the screen leaves right of and below the region.
    QCOMPARE(QString("%1 %2 %3 %4")
                 .arg(proxy->ValidateRoiW(5000))
                 .arg(proxy->ValidateRoiW(1))
                 .arg(proxy->ValidateRoiH(5000))
                 .arg(proxy->ValidateRoiH(-3)),
        QString("2840 4 1660 4"));

    // A fixed-aspect edit of the present region; with an aspect term of 0 a free one.
    proxy->SetRoiGeometry(1000, 500, 1600, 900);
    proxy->SetContrain(RoiConstrainFixAspect, 16, 9);
    proxy->ChangeRoiFixAspect(RoiHitRight, 160, 0);
    QCOMPARE(proxy->roi(), QRect(1000, 500, 1760, 990));
    proxy->SetRoiGeometry(1000, 500, 1000, 0);
    proxy->SetContrain(RoiConstrainFixAspect, 0, 0);
    proxy->ChangeRoiFixAspect(RoiHitRight, 100, 0);
    QCOMPARE(proxy->roi(), QRect(1000, 500, 1100, 0));
}

void TestScreenProxy::keys()
{
    // Each key: accepted, then the region's x and y, RoiChanged and Done so
    // far, and "!" when its release was accepted too.
    const auto proxy = makeProxy(QRect(1, 0, 3839, 2160), RoiConstrainNone);
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    QSignalSpy dones(proxy.get(), &ScreenProxy::Done);
    const auto press = [&](int code) {
        const bool accepted = key(proxy.get(), QEvent::KeyPress, code);
        return QString("%1 %2,%3 %4 %5")
                   .arg(accepted)
                   .arg(proxy->roi().x())
                   .arg(proxy->roi().y())
                   .arg(changed.count())
                   .arg(dones.count())
            + (key(proxy.get(), QEvent::KeyRelease, code) ? "!" : "");
    };
    QCOMPARE(press(Qt::Key_Left), "1 0,0 1 0!");
    QCOMPARE(press(Qt::Key_Left), "1 0,0 2 0!"); // at the border, still reported
    QCOMPARE(press(Qt::Key_Up), "1 0,0 3 0!");
    QCOMPARE(press(Qt::Key_Right), "1 1,0 4 0!"); // the border is the screen less the region
    QCOMPARE(press(Qt::Key_Down), "1 1,0 5 0!");
    proxy->SetRoiGeometry(2840, 1560, 1000, 600);
    QCOMPARE(press(Qt::Key_Down), "1 2840,1560 6 0!");
    QCOMPARE(press(Qt::Key_Up), "1 2840,1559 7 0!");
    for (int code : { Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter })
        press(code);
    // Keys the editor has no use for are its own too: none reaches the
    // window's preset and zoom keys.
    for (int code : { Qt::Key_1, Qt::Key_L, Qt::Key_Plus, Qt::Key_Minus })
        QCOMPARE(press(code), "1 2840,1559 7 3!");
    // Offline or not editable, every key goes on to the window.
    proxy->SetOnlineState(false);
    QCOMPARE(press(Qt::Key_1), "0 2840,1559 7 3");
    proxy->SetOnlineState(true);
    proxy->SetEditable(false);
    QCOMPARE(press(Qt::Key_Right), "0 2840,1559 7 3");
}

void TestScreenProxy::painting()
{
    const QColor grey(54, 54, 54);
    const QColor blue(67, 149, 194);
    const auto proxy = makeProxy(QRect(1000, 500, 800, 300), RoiConstrainMoveOnly); // pixels (100, 50) to (179, 79)
    proxy->SetScreenFillColor(grey);
    proxy->SetRoiFillColor(blue);
    QImage image = render(proxy.get());
    QCOMPARE(image.pixelColor(102, 52), blue);
    QCOMPARE(image.pixelColor(101, 79), QColor(Qt::black)); // the region's outline
    QCOMPARE(image.pixelColor(101, 80), grey);
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black)); // the screen's
    proxy->SetOnlineState(false);
    image = render(proxy.get());
    QCOMPARE(image.pixelColor(102, 52).alpha(), 0);
    QCOMPARE(image.pixelColor(383, 215), QColor(Qt::black));
    QCOMPARE(image.pixelColor(200, 215), QColor(Qt::black));

    ScreenProxyIcon icon(nullptr, QRect(0, 0, 384, 216));
    icon.SetScreenSize(3840, 2160);
    icon.SetRoiGeometry(1000, 500, 400, 300);
    QPixmap red(8, 8);
    red.fill(Qt::red);
    icon.setPixmap(red);
    image = render(&icon);
    QCOMPARE(image.pixelColor(100, 50), QColor(Qt::red));
    QCOMPARE(image.pixelColor(139, 79), QColor(Qt::red));
    QCOMPARE(image.pixelColor(140, 80), QColor(Qt::black));
}

void TestScreenProxy::sizeLabels()
{
    // Screen label red, region label green, both in 11 points whatever the
    // widget's own font; the region's label sits inside it at its bottom when
    // it fits, else just below it, and never below the screen.
    const QColor red(255, 0, 0);
    const QColor green(0, 255, 0);
    const auto proxy = makeProxy(A, RoiConstrainFree);
    proxy->SetScreenFillColor(QColor(54, 54, 54));
    proxy->SetRoiFillColor(QColor(67, 149, 194));
    proxy->SetScreenTextColor(red);
    proxy->SetRoiTextColor(green);
    QFont tiny = proxy->font();
    tiny.setPointSize(5);
    proxy->setFont(tiny);
    QFont font = proxy->font();
    font.setPointSize(11);
    const QFontMetrics metrics(font);
    const QRect screenLabel = inked(render(proxy.get()), red);
    QVERIFY2(std::abs(screenLabel.width() - metrics.horizontalAdvance("3840x2160")) < 6,
        qPrintable(QString::number(screenLabel.width())));
    QVERIFY(screenLabel.top() >= 0 && screenLabel.bottom() < metrics.height());

    // A region (x 100, bottom 150 in pixels) just wide enough for its label:
    // the text is four pixels wider than the room it needs.
    int width = 1000;
    for (int pass = 0; pass < 3; ++pass)
        width = (metrics.boundingRect(QString("%1x1000").arg(width)).width() - 2) * 10;
    struct Case
    {
        QRect roi;
        int top, bottom; // the rows the label's ink must lie in
    };
    const int th = metrics.boundingRect("0").height();
    const Case cases[] = {
        { { 1000, 500, 2000, 1000 }, 150 - th, 150 },
        { { 1000, 500, width, 1000 }, 150 - th, 150 },
        { { 1000, 500, width - 30, 1000 }, 150, 150 + th },
        { { 1000, 1160, width - 30, 1000 }, 216 - th, 216 },
    };
    for (const Case& c : cases) {
        proxy->SetRoiGeometry(c.roi.x(), c.roi.y(), c.roi.width(), c.roi.height());
        const QRect label = inked(render(proxy.get()), green);
        // Centred on the region.
        const int centre = ScreenProxy::ScreenToUi(c.roi.x() + c.roi.width() / 2, 0.1);
        QVERIFY2(label.top() >= c.top && label.bottom() <= c.bottom && std::abs(label.center().x() - centre) <= 2,
            qPrintable(QString("%1: %2..%3 at %4")
                           .arg(c.roi.width())
                           .arg(label.top())
                           .arg(label.bottom())
                           .arg(label.center().x())));
    }
}

void TestScreenProxy::matrix()
{
    MatrixScreenProxy grid(nullptr, QRect(0, 0, 70, 100));
    grid.SetScreenSize(700, 1000);
    grid.SetEditable(true);
    QSignalSpy downs(&grid, &ScreenProxy::MouseDown);
    const auto press = [&grid](int x, int y) {
        mouse(&grid, QEvent::MouseButtonPress, QPoint(x, y));
        return QPoint(grid.selectedCol(), grid.selectedRow());
    };
    grid.SetCols(0);
    grid.SetRows(7); // cells of 14 pixels, the last row ends at 98
    QCOMPARE(press(69, 99), QPoint(0, 6));
    QCOMPARE(press(30, 28), QPoint(0, 1)); // a grid line belongs to the cell above
    QCOMPARE(press(30, 100), QPoint(0, 1)); // outside: no change
    grid.SetBezel(2);
    int x, y, w, h;
    grid.CalculateSelectedCellValues(x, y, w, h);
    QCOMPARE(QRect(x, y, w, h), QRect(2, 144, 696, 138));
    grid.SetRows(100); // cells of one pixel
    QCOMPARE(press(0, 50), QPoint(0, 49));
    grid.SetRows(200); // cells of no pixels
    grid.SetCols(3);
    QCOMPARE(press(69, 50), QPoint(2, 0));
    QCOMPARE(downs.count(), 5);
}

// The panes' picture of a window over the frame: blue on grey without a size
// label, moved from any point of it and never resized; off, the frame darker
// and the window inert, grey as well when it follows.
void TestScreenProxy::windowPicture()
{
    const QColor blue(67, 149, 194);
    const QColor grey(54, 54, 54);
    const QColor dark(39, 39, 39);
    ScreenProxy picture(nullptr, QRect(0, 0, 384, 216));
    paneui::setupWindowPicture(&picture, QSize(3840, 2160), A); // pixels (100, 50) to (199, 109)
    QCOMPARE(picture.roi(), A);
    // Every pixel inside the outlines is the fill: above the window, where the
    // frame's label would go, and in the window, where its own would.
    const auto filled = [](const QImage& image, const QRect& area, const QColor& fill) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (image.pixelColor(x, y) != fill)
                    return false;
            }
        }
        return true;
    };
    const QRect aboveWindow(1, 1, 382, 48);
    const QRect inWindow(101, 51, 98, 58);
    QImage image = render(&picture);
    QVERIFY(filled(image, aboveWindow, grey));
    QVERIFY(filled(image, inWindow, blue));
    // Its corner moves it, 10 frame units a pixel.
    const auto dragCorner = [&picture](const QPoint& by) {
        mouse(&picture, QEvent::MouseButtonPress, QPoint(100, 50));
        mouse(&picture, QEvent::MouseMove, QPoint(100, 50) + by);
        mouse(&picture, QEvent::MouseButtonRelease, QPoint(100, 50) + by);
    };
    dragCorner(QPoint(20, 10));
    QCOMPARE(picture.roi(), A.translated(200, 100));
    picture.SetRoiGeometry(A.x(), A.y(), A.width(), A.height());

    paneui::showWindowPicture(&picture, false, false);
    image = render(&picture);
    QCOMPARE(image.pixelColor(300, 180), dark);
    QCOMPARE(image.pixelColor(150, 60), blue);
    dragCorner(QPoint(20, 10));
    QCOMPARE(picture.roi(), A);
    paneui::showWindowPicture(&picture, false, true);
    QCOMPARE(render(&picture).pixelColor(150, 60), grey);

    paneui::showWindowPicture(&picture, true, true);
    image = render(&picture);
    QVERIFY(filled(image, aboveWindow, grey));
    QVERIFY(filled(image, inWindow, blue));
    dragCorner(QPoint(-10, 5));
    QCOMPARE(picture.roi(), A.translated(-100, 50));
}

QUV_TEST_MAIN_WITH(TestScreenProxy, PanesApplication)
#include "test_screenproxy.moc"
