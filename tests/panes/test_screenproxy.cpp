// The region editor: letterboxing, hit bands and cursors, each kind of drag
// with its constraint, the lost-release and modifier cases, keys, painting
// and the grid variant. Mouse events carry exact global positions.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>

#include "panes/screenproxy.h"
#include "panesapplication.h"
#include "quvtest.h"

namespace {

void mouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons held,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    // The global position only has to move with the local one.
    QMouseEvent event(type, QPointF(pos), QPointF(pos + QPoint(500, 300)), button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

bool key(QWidget* widget, QEvent::Type type, int code)
{
    QKeyEvent event(type, code, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

// 3840 x 2160 frame units at 0.1 pixel per unit.
ScreenProxy* makeProxy(const QRect& roi, int constrain, const QSize& aspect = QSize(0, 0))
{
    auto* proxy = new ScreenProxy(nullptr, QRect(0, 0, 384, 216));
    proxy->SetScreenSize(3840, 2160);
    proxy->SetRoiGeometry(roi.x(), roi.y(), roi.width(), roi.height());
    proxy->SetContrain(RoiConstrain(constrain), aspect.width(), aspect.height());
    proxy->SetEditable(true);
    return proxy;
}

const QRect kRoi(1000, 500, 1600, 900); // pixels (100, 50) to (259, 139)

} // namespace

class TestScreenProxy : public QObject
{
    Q_OBJECT

private slots:
    void letterbox_data();
    void letterbox();
    void hitAndCursor_data();
    void hitAndCursor();
    void drag_data();
    void drag();
    void altKeyRestartsTheDrag();
    void keys_data();
    void keys();
    void painting();
    void matrix();
};

void TestScreenProxy::letterbox_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<double>("scaleX");
    QTest::addColumn<double>("scaleY");
    QTest::newRow("narrow box") << QRect(10, 10, 400, 300) << QSize(3840, 2160) << QRect(10, 47, 400, 225)
                                << 400 / 3840.0 << 225 / 2160.0;
    QTest::newRow("ePTZ") << QRect(1, 1, 415, 234) << QSize(3840, 2160) << QRect(1, 1, 415, 233) << 415 / 3840.0
                          << 233 / 2160.0;
    QTest::newRow("spot") << QRect(3, 54, 224, 126) << QSize(3840, 2160) << QRect(3, 54, 224, 126) << 224 / 3840.0
                          << 126 / 2160.0;
    QTest::newRow("tall") << QRect(0, 0, 101, 100) << QSize(1, 3) << QRect(34, 0, 33, 100) << 33.0 << 100 / 3.0;
    QTest::newRow("wide") << QRect(0, 0, 100, 101) << QSize(3, 1) << QRect(0, 34, 100, 33) << 100 / 3.0 << 33.0;
    QTest::newRow("empty screen") << QRect(5, 6, 70, 80) << QSize(0, 100) << QRect(5, 6, 70, 80) << 1.0 << 1.0;
    QTest::newRow("empty frame") << QRect(5, 6, 0, 80) << QSize(3840, 2160) << QRect(5, 6, 0, 80) << 1.0 << 1.0;
}

void TestScreenProxy::letterbox()
{
    QFETCH(QRect, frame);
    QFETCH(QSize, screen);
    ScreenProxy proxy(nullptr, frame);
    proxy.SetScreenSize(screen.width(), screen.height());
    QTEST(proxy.geometry(), "geometry");
    QTEST(proxy.horizontalScale(), "scaleX");
    QTEST(proxy.verticalScale(), "scaleY");
    QRect fit;
    ScreenProxy::ScaleAspectToFit(0, 5, 10, 10, fit);
    QCOMPARE(fit, QRect(0, 0, 0, 0));
    QCOMPARE(ScreenProxy::ScreenToUi(-25, 0.1), -3); // halves away from zero
    QCOMPARE(ScreenProxy::UiToScreen(7, 0.0), 0);
}

void TestScreenProxy::hitAndCursor_data()
{
    QTest::addColumn<int>("constrain");
    QTest::addColumn<QRect>("roi");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("hit");
    QTest::addColumn<int>("cursor");
    const QRect tiny(1000, 500, 10, 10); // one pixel
    QTest::newRow("top-left") << 1 << kRoi << QPoint(100, 50) << 5 << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-left band end") << 1 << kRoi << QPoint(105, 55) << 5 << int(Qt::SizeFDiagCursor);
    QTest::newRow("body, bands at most 6") << 1 << kRoi << QPoint(106, 56) << 9 << int(Qt::OpenHandCursor);
    QTest::newRow("top") << 1 << kRoi << QPoint(180, 52) << 2 << int(Qt::SizeVerCursor);
    QTest::newRow("bottom") << 1 << kRoi << QPoint(180, 139) << 3 << int(Qt::SizeVerCursor);
    QTest::newRow("above bottom band") << 1 << kRoi << QPoint(180, 133) << 9 << int(Qt::OpenHandCursor);
    QTest::newRow("left") << 1 << kRoi << QPoint(100, 100) << 1 << int(Qt::SizeHorCursor);
    QTest::newRow("before right band") << 1 << kRoi << QPoint(253, 100) << 9 << int(Qt::OpenHandCursor);
    QTest::newRow("right") << 1 << kRoi << QPoint(254, 100) << 4 << int(Qt::SizeHorCursor);
    QTest::newRow("top-right") << 1 << kRoi << QPoint(259, 50) << 6 << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-left") << 1 << kRoi << QPoint(100, 139) << 7 << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-right") << 1 << kRoi << QPoint(259, 139) << 8 << int(Qt::SizeFDiagCursor);
    QTest::newRow("right of it") << 1 << kRoi << QPoint(260, 100) << 0 << int(Qt::ArrowCursor);
    QTest::newRow("above it") << 1 << kRoi << QPoint(180, 49) << 0 << int(Qt::ArrowCursor);
    QTest::newRow("below it") << 1 << kRoi << QPoint(180, 140) << 0 << int(Qt::ArrowCursor);
    QTest::newRow("left of it") << 1 << kRoi << QPoint(99, 100) << 0 << int(Qt::ArrowCursor);
    QTest::newRow("one pixel has bands") << 1 << tiny << QPoint(100, 50) << 5 << int(Qt::SizeFDiagCursor);
    QTest::newRow("move-only corner") << 3 << kRoi << QPoint(100, 50) << 9 << int(Qt::OpenHandCursor);
    QTest::newRow("move-only outside") << 3 << kRoi << QPoint(260, 100) << 0 << int(Qt::ArrowCursor);
    QTest::newRow("no editing") << 0 << kRoi << QPoint(180, 100) << 9 << int(Qt::ArrowCursor);
}

void TestScreenProxy::hitAndCursor()
{
    QFETCH(int, constrain);
    QFETCH(QRect, roi);
    QFETCH(QPoint, point);
    std::unique_ptr<ScreenProxy> proxy(makeProxy(roi, constrain));
    QTEST(int(proxy->GetRoiHit(point)), "hit");
    mouse(proxy.get(), QEvent::MouseMove, point, Qt::NoButton, Qt::NoButton);
    QTEST(int(proxy->cursor().shape()), "cursor");
}

void TestScreenProxy::drag_data()
{
    QTest::addColumn<int>("constrain");
    QTest::addColumn<QSize>("aspect");
    QTest::addColumn<QRect>("roi");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("delta"); // pixels
    QTest::addColumn<int>("held"); // buttons during the move
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<int>("changes");
    const QSize none(0, 0);
    const QSize hd(16, 9);
    const int left = Qt::LeftButton;
    const QRect a(1000, 500, 1000, 600); // pixels (100, 50) to (199, 109)
    QTest::newRow("left edge stops 4 short")
        << 1 << none << a << QPoint(100, 80) << left << 0 << QPoint(200, 0) << left << QRect(1996, 500, 4, 600) << 1;
    QTest::newRow("body stops at the border") << 1 << none << a << QPoint(150, 80) << left << 0 << QPoint(1000, 0)
                                              << left << QRect(2840, 500, 1000, 600) << 1;
    QTest::newRow("right edge stops 4 short")
        << 1 << none << a << QPoint(199, 80) << left << 0 << QPoint(-500, 0) << left << QRect(1000, 500, 4, 600) << 1;
    QTest::newRow("bottom edge stops 4 short")
        << 1 << none << a << QPoint(150, 109) << left << 0 << QPoint(0, -100) << left << QRect(1000, 500, 1000, 4) << 1;
    QTest::newRow("top-left") << 1 << none << a << QPoint(100, 50) << left << 0 << QPoint(-20, -10) << left
                              << QRect(800, 400, 1200, 700) << 1;
    QTest::newRow("top-right") << 1 << none << a << QPoint(199, 50) << left << 0 << QPoint(10, 10) << left
                               << QRect(1000, 600, 1100, 500) << 1;
    QTest::newRow("bottom-left") << 1 << none << a << QPoint(100, 109) << left << 0 << QPoint(10, -10) << left
                                 << QRect(1100, 500, 900, 500) << 1;
    QTest::newRow("bottom-right") << 1 << none << a << QPoint(199, 109) << left << 0 << QPoint(10, 5) << left
                                  << QRect(1000, 500, 1100, 650) << 1;
    QTest::newRow("outside emits unchanged")
        << 1 << none << a << QPoint(20, 20) << left << 0 << QPoint(30, 0) << left << a << 1;
    QTest::newRow("fixed top edge") << 2 << hd << kRoi << QPoint(180, 52) << left << 0 << QPoint(0, -20) << left
                                    << QRect(644, 300, 1956, 1100) << 1;
    QTest::newRow("fixed left edge") << 2 << hd << kRoi << QPoint(100, 100) << left << 0 << QPoint(-16, 0) << left
                                     << QRect(840, 410, 1760, 990) << 1;
    QTest::newRow("fixed right edge") << 2 << hd << kRoi << QPoint(259, 100) << left << 0 << QPoint(16, 0) << left
                                      << QRect(1000, 500, 1760, 990) << 1;
    QTest::newRow("fixed bottom edge") << 2 << hd << kRoi << QPoint(180, 139) << left << 0 << QPoint(0, 9) << left
                                       << QRect(1000, 500, 1760, 990) << 1;
    QTest::newRow("fixed top-right") << 2 << hd << kRoi << QPoint(259, 50) << left << 0 << QPoint(16, -9) << left
                                     << QRect(1000, 410, 1760, 990) << 1;
    QTest::newRow("fixed bottom-left") << 2 << hd << kRoi << QPoint(100, 139) << left << 0 << QPoint(-16, 9) << left
                                       << QRect(840, 500, 1760, 990) << 1;
    QTest::newRow("fixed body") << 2 << hd << kRoi << QPoint(180, 100) << left << 0 << QPoint(-3, 2) << left
                                << QRect(970, 520, 1600, 900) << 1;
    QTest::newRow("negative aspect is free") << 2 << QSize(16, -9) << kRoi << QPoint(259, 100) << left << 0
                                             << QPoint(16, 0) << left << QRect(1000, 500, 1760, 900) << 1;
    QTest::newRow("shift keeps the shape") << 1 << none << kRoi << QPoint(259, 100) << left << int(Qt::ShiftModifier)
                                           << QPoint(16, 0) << left << QRect(1000, 500, 1760, 990) << 1;
    QTest::newRow("shift on move-only moves") << 3 << none << kRoi << QPoint(259, 100) << left << int(Qt::ShiftModifier)
                                              << QPoint(16, 0) << left << QRect(1160, 500, 1600, 900) << 1;
    QTest::newRow("alt held: 1 unit a pixel") << 1 << none << a << QPoint(150, 80) << left << int(Qt::AltModifier)
                                              << QPoint(7, -2) << left << QRect(1007, 498, 1000, 600) << 1;
    QTest::newRow("right press, hover") << 1 << none << a << QPoint(150, 80) << int(Qt::RightButton) << 0
                                        << QPoint(30, 0) << 0 << a << 0;
    QTest::newRow("release went elsewhere")
        << 1 << none << a << QPoint(150, 80) << left << 0 << QPoint(30, 0) << 0 << a << 0;
    QTest::newRow("no editing") << 0 << none << a << QPoint(150, 80) << left << 0 << QPoint(30, 0) << left << a << 0;
}

void TestScreenProxy::drag()
{
    QFETCH(int, constrain);
    QFETCH(QSize, aspect);
    QFETCH(QRect, roi);
    QFETCH(QPoint, press);
    QFETCH(int, button);
    QFETCH(int, modifiers);
    QFETCH(QPoint, delta);
    QFETCH(int, held);
    QFETCH(QRect, expected);
    QFETCH(int, changes);
    std::unique_ptr<ScreenProxy> proxy(makeProxy(roi, constrain, aspect));
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    QSignalSpy downs(proxy.get(), &ScreenProxy::MouseDown);
    QSignalSpy ups(proxy.get(), &ScreenProxy::MouseUp);
    const auto mods = Qt::KeyboardModifiers(modifiers);
    mouse(proxy.get(), QEvent::MouseButtonPress, press, Qt::MouseButton(button), Qt::MouseButtons(button), mods);
    mouse(proxy.get(), QEvent::MouseMove, press + delta, Qt::NoButton, Qt::MouseButtons(held), mods);
    QCOMPARE(proxy->roi(), expected);
    QCOMPARE(changed.count(), changes);
    if (changes)
        QCOMPARE(changed.last().at(0).toRect(), expected);
    // Released, the region no longer follows the pointer.
    mouse(proxy.get(), QEvent::MouseButtonRelease, press + delta, Qt::MouseButton(button), Qt::NoButton, mods);
    mouse(proxy.get(), QEvent::MouseMove, press + delta + QPoint(50, 20), Qt::NoButton, Qt::NoButton);
    QCOMPARE(proxy->roi(), expected);
    QCOMPARE(changed.count(), changes);
    QCOMPARE(downs.count(), 1);
    QCOMPARE(ups.count(), constrain == 0 ? 0 : 1);
}

void TestScreenProxy::altKeyRestartsTheDrag()
{
    std::unique_ptr<ScreenProxy> proxy(makeProxy(QRect(1000, 500, 1000, 600), RoiConstrainFree));
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    const auto move = [&](int x, Qt::KeyboardModifiers mods) {
        mouse(proxy.get(), QEvent::MouseMove, QPoint(x, 80), Qt::NoButton, Qt::LeftButton, mods);
        return proxy->roi().x();
    };
    mouse(proxy.get(), QEvent::MouseButtonPress, QPoint(150, 80), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(proxy->cursor().shape(), Qt::ClosedHandCursor);
    QCOMPARE(move(160, Qt::NoModifier), 1100);
    QVERIFY(key(proxy.get(), QEvent::KeyPress, Qt::Key_Alt));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toRect().x(), 1100);
    QCOMPARE(move(167, Qt::AltModifier), 1107);
    QVERIFY(key(proxy.get(), QEvent::KeyRelease, Qt::Key_Alt));
    QCOMPARE(changed.count(), 4);
    QCOMPARE(move(177, Qt::NoModifier), 1207);
    // The hand opens where the body was let go, also off the region.
    mouse(proxy.get(), QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(proxy->cursor().shape(), Qt::OpenHandCursor);

    // Alt pressed here and released while another widget had the focus: the
    // next drag goes by the modifiers the mouse reports.
    QVERIFY(key(proxy.get(), QEvent::KeyPress, Qt::Key_Alt));
    mouse(proxy.get(), QEvent::MouseButtonPress, QPoint(150, 80), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(move(160, Qt::NoModifier), 1307);
}

void TestScreenProxy::keys_data()
{
    QTest::addColumn<bool>("editable");
    QTest::addColumn<int>("constrain");
    QTest::addColumn<QRect>("roi");
    QTest::addColumn<int>("key");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<int>("changes");
    QTest::addColumn<int>("dones");
    QTest::addColumn<bool>("accepted");
    const QRect origin(0, 0, 1000, 600);
    const QRect corner(2840, 1560, 1000, 600);
    QTest::newRow("left at the border") << true << 3 << origin << int(Qt::Key_Left) << origin << 1 << 0 << true;
    QTest::newRow("up at the border") << true << 3 << origin << int(Qt::Key_Up) << origin << 1 << 0 << true;
    QTest::newRow("right") << true << 3 << origin << int(Qt::Key_Right) << QRect(1, 0, 1000, 600) << 1 << 0 << true;
    QTest::newRow("down") << true << 3 << origin << int(Qt::Key_Down) << QRect(0, 1, 1000, 600) << 1 << 0 << true;
    QTest::newRow("right at the border") << true << 3 << corner << int(Qt::Key_Right) << corner << 1 << 0 << true;
    QTest::newRow("down at the border") << true << 3 << corner << int(Qt::Key_Down) << corner << 1 << 0 << true;
    QTest::newRow("left") << true << 3 << corner << int(Qt::Key_Left) << QRect(2839, 1560, 1000, 600) << 1 << 0 << true;
    QTest::newRow("up") << true << 3 << corner << int(Qt::Key_Up) << QRect(2840, 1559, 1000, 600) << 1 << 0 << true;
    QTest::newRow("no mouse editing") << true << 0 << origin << int(Qt::Key_Right) << QRect(1, 0, 1000, 600) << 1 << 0
                                      << true;
    QTest::newRow("escape") << true << 3 << origin << int(Qt::Key_Escape) << origin << 0 << 1 << true;
    QTest::newRow("return") << true << 3 << origin << int(Qt::Key_Return) << origin << 0 << 1 << true;
    QTest::newRow("enter") << true << 3 << origin << int(Qt::Key_Enter) << origin << 0 << 1 << true;
    QTest::newRow("other keys go on") << true << 3 << origin << int(Qt::Key_1) << origin << 0 << 0 << false;
    QTest::newRow("not editable") << false << 3 << origin << int(Qt::Key_Right) << origin << 0 << 0 << false;
}

void TestScreenProxy::keys()
{
    QFETCH(bool, editable);
    QFETCH(int, constrain);
    QFETCH(QRect, roi);
    QFETCH(int, key);
    QFETCH(int, changes);
    std::unique_ptr<ScreenProxy> proxy(makeProxy(roi, constrain));
    proxy->SetEditable(editable);
    QSignalSpy changed(proxy.get(), &ScreenProxy::RoiChanged);
    QSignalSpy dones(proxy.get(), &ScreenProxy::Done);
    QTEST(::key(proxy.get(), QEvent::KeyPress, key), "accepted");
    QTEST(proxy->roi(), "expected");
    QCOMPARE(changed.count(), changes);
    QTEST(int(dones.count()), "dones");
    if (changes)
        QTEST(changed.last().at(0).toRect(), "expected");
    // Only Alt's release is the editor's.
    QVERIFY(!::key(proxy.get(), QEvent::KeyRelease, key));
}

void TestScreenProxy::painting()
{
    // Drawn without the window's background, so offline shows what stays.
    const auto render = [](QWidget* widget) {
        QImage image(widget->size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    const QColor screenFill(54, 54, 54);
    const QColor roiFill(67, 149, 194);
    std::unique_ptr<ScreenProxy> proxy(makeProxy(QRect(1000, 500, 40, 40), RoiConstrainMoveOnly));
    proxy->SetScreenFillColor(screenFill);
    proxy->SetRoiFillColor(roiFill);
    proxy->SetScreenTextColor(QColor(0, 0, 0, 0));
    proxy->SetRoiTextColor(Qt::white);
    QImage image = render(proxy.get());
    QCOMPARE(image.pixelColor(102, 52), roiFill);
    QCOMPARE(image.pixelColor(100, 50), QColor(Qt::black)); // the region's outline
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black)); // the screen's
    QCOMPARE(image.pixelColor(300, 30), screenFill);
    // The "40x40" label does not fit the 4-pixel region: it sits just below.
    int above = 0;
    int below = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).lightness() > 200)
                ++(y < 54 ? above : below);
        }
    }
    QCOMPARE(above, 0);
    QVERIFY(below > 10);
    // A region that holds its label: the outline ends on its last row.
    proxy->SetRoiGeometry(1000, 500, 800, 300);
    image = render(proxy.get());
    QCOMPARE(image.pixelColor(101, 79), QColor(Qt::black));
    QCOMPARE(image.pixelColor(101, 80), screenFill);

    proxy->SetOnlineState(false);
    image = render(proxy.get());
    QCOMPARE(image.pixelColor(102, 52).alpha(), 0);
    QCOMPARE(image.pixelColor(300, 30).alpha(), 0);
    QCOMPARE(image.pixelColor(383, 215), QColor(Qt::black));

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

void TestScreenProxy::matrix()
{
    MatrixScreenProxy grid(nullptr, QRect(0, 0, 70, 100));
    grid.SetScreenSize(700, 1000);
    grid.SetEditable(true);
    QSignalSpy downs(&grid, &ScreenProxy::MouseDown);
    const auto press = [&grid](const QPoint& p) {
        mouse(&grid, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        return QPoint(grid.selectedCol(), grid.selectedRow());
    };
    grid.SetCols(0);
    grid.SetRows(7); // cells of 14 pixels, the last row ends at 98
    QCOMPARE(press(QPoint(69, 99)), QPoint(0, 6));
    QCOMPARE(press(QPoint(30, 28)), QPoint(0, 1)); // a grid line belongs to the cell above
    QCOMPARE(press(QPoint(30, 29)), QPoint(0, 2));
    QCOMPARE(press(QPoint(30, 100)), QPoint(0, 2)); // outside: no change
    grid.SetBezel(2);
    int x, y, w, h;
    grid.CalculateSelectedCellValues(x, y, w, h);
    QCOMPARE(QRect(x, y, w, h), QRect(2, 287, 696, 138));
    grid.SetRows(100); // cells of one pixel
    QCOMPARE(press(QPoint(0, 50)), QPoint(0, 49));
    grid.SetRows(200); // cells of no pixels
    grid.SetCols(3);
    QCOMPARE(press(QPoint(69, 50)), QPoint(2, 0));
    QCOMPARE(downs.count(), 6);
}

QUV_TEST_MAIN_WITH(TestScreenProxy, PanesApplication)
#include "test_screenproxy.moc"
