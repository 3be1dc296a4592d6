// The segment slider: captions and zoom factors, kinds and ranges, the type
// change that keeps or resets the range, click-to-position, and the caption
// colours as painted.

#include <QImage>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>

#include "mouseevents.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvtest.h"

Q_DECLARE_METATYPE(SegSliderType)

namespace {

// A slider with access to the style's handle and groove rectangles.
class ProbeSlider : public SegmentSlider
{
public:
    using SegmentSlider::SegmentSlider;

    QRect subControl(QStyle::SubControl control)
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, control, this);
    }
};

using quvtest::mouse;

void press(QWidget* widget, const QPoint& pos, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(widget, QEvent::MouseButtonPress, pos, button);
}

void release(QWidget* widget, const QPoint& pos, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(widget, QEvent::MouseButtonRelease, pos, button);
}

// The caption's colour in area as "white", "amber" (rgb(255,205,1)), "orange"
// (rgb(240,151,1)) or "dark", allowing for smoothing; "mixed" when it is none
// of them alone, with the pixel counts.
QString captionColour(const QImage& image, const QRect& area)
{
    int white = 0, amber = 0, orange = 0, dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c(image.pixel(x, y));
            const double r = c.red(), g = c.green(), b = c.blue();
            white += r > 200 && g > 200 && b > 200;
            amber += r > 170 && g > 0.74 * r && g < 0.86 * r && b < 0.3 * r;
            orange += r > 170 && g > 0.55 * r && g < 0.7 * r && b < 0.3 * r;
            dark += r < 50 && g < 50 && b < 50;
        }
    }
    if (white > 5 && amber == 0 && orange == 0)
        return QStringLiteral("white");
    if (amber > 5 && white == 0 && orange == 0)
        return QStringLiteral("amber");
    if (orange > 5 && white == 0 && amber == 0)
        return QStringLiteral("orange");
    if (dark > 5 && white == 0 && amber == 0 && orange == 0)
        return QStringLiteral("dark");
    return QStringLiteral("mixed: white %1 amber %2 orange %3 dark %4").arg(white).arg(amber).arg(orange).arg(dark);
}

} // namespace

class TestSegmentSlider : public QObject
{
    Q_OBJECT

private slots:
    void captions_data();
    void captions();
    void zoomCurve();
    void kindsAndRanges();
    void typeChangeKeepsOrResetsRange();
    void clickToPosition();
    void clickNeverDividesByZero();
    void captionColours_data();
    void captionColours();
};

void TestSegmentSlider::captions_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("caption");

    // Zoom: the targets, the worked values between them, and beyond the last row.
    QTest::newRow("optical 0") << 0 << 0 << "1.0x";
    QTest::newRow("optical 5656") << 5656 << 0 << "2.0x";
    QTest::newRow("optical 16384") << 16384 << 0 << "12.0x";
    QTest::newRow("optical above the table") << 40000 << 0 << "431x";
    QTest::newRow("super 22976") << 22976 << 1 << "20.0x";
    QTest::newRow("super above the table") << 22977 << 1 << "16.5x";
    QTest::newRow("digital 31424") << 31424 << 2 << "144x";
    QTest::newRow("digital just under 100") << 28700 << 2 << "99.4x";
    QTest::newRow("digital just over 100") << 28800 << 2 << "101x";
    QTest::newRow("far outside the camera's range") << 2000000000 << 0 << "infx";
    // Iris: a table, then the value.
    QTest::newRow("iris 0") << 0 << 3 << "Close";
    QTest::newRow("iris 13") << 13 << 3 << "f1.8";
    QTest::newRow("iris 14") << 14 << 3 << "14";
    QTest::newRow("iris negative") << -1 << 3 << "-1";
    // Iris and gain: the widest iris, then gain in 3 dB steps.
    QTest::newRow("iris+gain 12") << 12 << 4 << "2.0/0";
    QTest::newRow("iris+gain 13") << 13 << 4 << "1.8/0";
    QTest::newRow("iris+gain 14") << 14 << 4 << "1.8/3";
    QTest::newRow("iris+gain negative") << -1 << 4 << "1.8/-42";
    // Gain.
    QTest::newRow("gain 0") << 0 << 5 << "0dB";
    QTest::newRow("gain 11") << 11 << 5 << "33dB";
    QTest::newRow("gain 12") << 12 << 5 << "12";
    // Focus scale 10..1500.
    QTest::newRow("focus 0") << 0 << 6 << "10";
    QTest::newRow("focus 57344") << 57344 << 6 << "1500";
    // Mini: none; no kind: the value.
    QTest::newRow("mini") << 3 << 7 << "";
    QTest::newRow("no kind -1") << 1234 << -1 << "1234";
}

void TestSegmentSlider::captions()
{
    QFETCH(int, value);
    QFETCH(int, type);
    QFETCH(QString, caption);
    QCOMPARE(SegmentSlider::valueString(value, SegSliderType(type)), caption);
}

void TestSegmentSlider::zoomCurve()
{
    // The corrected curve passes through every target ...
    const struct
    {
        int value;
        SegSliderType type;
        double factor;
    } targets[] = {
        { 0, SegSliderOpticalZoom, 1.0 },
        { 5656, SegSliderOpticalZoom, 2.0 },
        { 16384, SegSliderOpticalZoom, 12.0 },
        { 31424, SegSliderDigitalZoom, 144.0 },
        { 0, SegSliderSuperZoom, 1.0 },
        { 5656, SegSliderSuperZoom, 2.0 },
        { 16384, SegSliderSuperZoom, 12.0 },
        { 22976, SegSliderSuperZoom, 20.0 },
    };
    for (const auto& target : targets) {
        QVERIFY2(qAbs(SegmentSlider::calculateZoom(target.value, target.type) - target.factor) < 1e-9,
            qPrintable(QStringLiteral("%1 of type %2").arg(target.value).arg(target.type)));
    }
    // ... optical zoom uses the digital table ...
    QCOMPARE(SegmentSlider::calculateZoom(8192, SegSliderOpticalZoom),
        SegmentSlider::calculateZoom(8192, SegSliderDigitalZoom));
    // ... and never falls while the lens moves toward tele.
    for (SegSliderType type : { SegSliderDigitalZoom, SegSliderSuperZoom }) {
        const int end = type == SegSliderSuperZoom ? 22976 : 31424;
        double previous = SegmentSlider::calculateZoom(0, type);
        for (int value = 16; value <= end; value += 16) {
            const double factor = SegmentSlider::calculateZoom(value, type);
            QVERIFY2(factor >= previous, qPrintable(QStringLiteral("type %1 falls at %2").arg(type).arg(value)));
            previous = factor;
        }
    }
}

void TestSegmentSlider::kindsAndRanges()
{
    SegmentSlider slider(Qt::Horizontal);
    QCOMPARE(int(slider.sliderType()), -1);
    QVERIFY(slider.styleSheet().isEmpty());

    const int maxima[] = { 16384, 22976, 31424, 13, 28, 11, 57344, 5 };
    for (int type = 0; type < 8; ++type) {
        slider.setSliderType(SegSliderType(type));
        QCOMPARE(int(slider.sliderType()), type);
        QCOMPARE(slider.minimum(), 0);
        QCOMPARE(slider.maximum(), maxima[type]);
    }
    // A value outside 0..7 keeps the range and takes the plain look.
    slider.setRange(-64, 64);
    slider.setSliderType(SegSliderType(8));
    QCOMPARE(int(slider.sliderType()), 8);
    QCOMPARE(slider.minimum(), -64);
    QCOMPARE(slider.maximum(), 64);
    QVERIFY(slider.styleSheet().contains(QLatin1String("slider_horiz_on_25.png")));
}

void TestSegmentSlider::typeChangeKeepsOrResetsRange()
{
    SegmentSlider slider(Qt::Horizontal);
    slider.setSliderType(SegSliderMini);
    // The settings panes widen a mini slider after setting its kind.
    slider.setRange(0, 255);
    slider.setValue(200);
    slider.setStyleSheet(QStringLiteral("x"));
    QSignalSpy changes(&slider, &QSlider::valueChanged);

    // The same kind again changes nothing: range, value and sheet stay.
    slider.setSliderType(SegSliderMini);
    QCOMPARE(slider.maximum(), 255);
    QCOMPARE(slider.value(), 200);
    QCOMPARE(slider.styleSheet(), QStringLiteral("x"));
    QCOMPARE(changes.count(), 0);

    // Another kind resets the range; the clamped value is announced unless blocked.
    slider.setSliderType(SegSliderOpticalZoom);
    slider.setValue(16384);
    changes.clear();
    slider.setSliderType(SegSliderIris);
    QCOMPARE(slider.maximum(), 13);
    QCOMPARE(slider.value(), 13);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 13);

    changes.clear();
    slider.setSliderType(SegSliderDigitalZoom);
    slider.setValue(20000);
    changes.clear();
    {
        const QSignalBlocker blocker(&slider);
        slider.setSliderType(SegSliderOpticalZoom);
    }
    QCOMPARE(slider.value(), 16384);
    QCOMPARE(changes.count(), 0);
}

void TestSegmentSlider::clickToPosition()
{
    QWidget window;
    window.resize(500, 80);
    auto* slider = new ProbeSlider(Qt::Horizontal, &window);
    slider->setSliderType(SegSliderOpticalZoom);
    slider->setGeometry(10, 10, 441, 60);
    slider->setValue(8192);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy changes(slider, &QSlider::valueChanged);

    const QRect handle = slider->subControl(QStyle::SC_SliderHandle);
    const QRect groove = slider->subControl(QStyle::SC_SliderGroove);
    QCOMPARE(handle.width(), 47);
    const int y = groove.center().y();

    // A press on the handle: a plain slider drag, no jump.
    press(slider, handle.center());
    QVERIFY(slider->isSliderDown());
    release(slider, handle.center());
    QCOMPARE(slider->value(), 8192);
    QCOMPARE(changes.count(), 0);

    // A right press off the handle leaves the value.
    press(slider, QPoint(groove.left() + 5, y), Qt::RightButton);
    release(slider, QPoint(groove.left() + 5, y), Qt::RightButton);
    QCOMPARE(slider->value(), 8192);
    QCOMPARE(changes.count(), 0);

    // A left press at the groove's far right end jumps to the maximum once,
    // and the drag goes on from there.
    press(slider, QPoint(groove.right(), y));
    QCOMPARE(slider->value(), 16384);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 16384);
    QVERIFY(slider->isSliderDown());
    mouse(slider, QEvent::MouseMove, QPoint(groove.center().x(), y));
    QVERIFY(slider->value() > 7000 && slider->value() < 9500);
    release(slider, QPoint(groove.center().x(), y));
    QVERIFY(!slider->isSliderDown());

    // The far left end gives the minimum; a point in between the proportional value.
    press(slider, QPoint(groove.left(), y));
    QCOMPARE(slider->value(), 0);
    release(slider, QPoint(groove.left(), y));
    const int a = groove.left() + 47 / 2;
    const int b = groove.right() - 47 / 2;
    const int x = a + (b - a) / 4 + 30; // off the handle, now at 0
    press(slider, QPoint(x, y));
    QCOMPARE(slider->value(), qRound(16384.0 * (x - a) / (b - a)));
    release(slider, QPoint(x, y));

    // Negative ranges round half up like positive ones (the settings panes' -64..64).
    slider->setSliderType(SegSliderMini);
    slider->setRange(-64, 64);
    slider->setValue(64);
    const QRect miniHandle = slider->subControl(QStyle::SC_SliderHandle);
    const QRect miniGroove = slider->subControl(QStyle::SC_SliderGroove);
    const int ma = miniGroove.left() + miniHandle.width() / 2;
    const int mb = miniGroove.right() - miniHandle.width() / 2;
    for (int px = ma; px < miniHandle.left(); px += 7) {
        press(slider, QPoint(px, miniGroove.center().y()));
        const double t = double(px - ma) / (mb - ma);
        QCOMPARE(slider->value(), int(std::floor(-64 * (1 - t) + 64 * t + 0.5)));
        release(slider, QPoint(px, miniGroove.center().y()));
        slider->setValue(64);
    }
}

void TestSegmentSlider::clickNeverDividesByZero()
{
    // A slider no wider than its handle leaves the handle nowhere to move to:
    // a press beside the handle (above or below it) must not throw the value
    // to an end. A vertical slider takes its presses as a plain QSlider does
    // (one page step), never as a jump computed from x.
    QWidget window;
    window.resize(200, 200);
    auto* narrow = new ProbeSlider(Qt::Horizontal, &window);
    narrow->setSliderType(SegSliderOpticalZoom);
    narrow->setGeometry(0, 0, 47, 60);
    narrow->setValue(100);
    auto* vertical = new ProbeSlider(&window);
    vertical->setOrientation(Qt::Vertical);
    vertical->setRange(0, 100);
    vertical->setPageStep(10);
    vertical->setGeometry(100, 0, 30, 190);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QRect handle = narrow->subControl(QStyle::SC_SliderHandle);
    QVERIFY(handle.top() > 2 && handle.bottom() < 57);
    for (int x : { 0, 23, 46 }) {
        for (int y : { 2, 57 }) {
            press(narrow, QPoint(x, y));
            release(narrow, QPoint(x, y));
            QCOMPARE(narrow->value(), 100);
        }
    }

    for (int y : { 0, 40, 150, 189 }) {
        vertical->setValue(50);
        const QRect vhandle = vertical->subControl(QStyle::SC_SliderHandle);
        const QPoint at(vhandle.center().x(), y);
        if (vhandle.contains(at))
            continue;
        press(vertical, at);
        release(vertical, at);
        QVERIFY2(qAbs(vertical->value() - 50) <= 10, qPrintable(QString::number(vertical->value())));
    }
}

void TestSegmentSlider::captionColours_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("colour");

    QTest::newRow("optical") << 0 << 16384 << true << "white";
    QTest::newRow("super beyond it") << 1 << 16385 << true << "amber";
    QTest::newRow("digital beyond it") << 2 << 30000 << true << "orange";
    QTest::newRow("iris+gain at the widest iris") << 4 << 13 << true << "white";
    QTest::newRow("iris+gain with gain") << 4 << 28 << true << "orange";
    QTest::newRow("disabled super beyond") << 1 << 20000 << false << "dark";
}

void TestSegmentSlider::captionColours()
{
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(bool, enabled);
    QFETCH(QString, colour);

    ProbeSlider slider(Qt::Horizontal);
    slider.setSliderType(SegSliderType(type));
    slider.resize(441, 60);
    slider.setValue(value);
    slider.setEnabled(enabled);
    const QImage image = slider.grab().toImage();
    // The middle of the handle, clear of its border and of the groove beside it.
    const QRect area = slider.subControl(QStyle::SC_SliderHandle).adjusted(4, 4, -4, -4);

    QCOMPARE(captionColour(image, area), colour);
}

QUV_TEST_MAIN_WITH(TestSegmentSlider, PanesApplication)
#include "test_segmentslider.moc"
