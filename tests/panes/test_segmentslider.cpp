// The segment slider: captions and zoom factors, kinds and ranges, the type
// change that keeps or resets the range, click-to-position, and the caption
// colours as painted.

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>

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

void press(QWidget* widget, const QPoint& pos, Qt::MouseButton button)
{
    QMouseEvent event(
        QEvent::MouseButtonPress, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void release(QWidget* widget, const QPoint& pos, Qt::MouseButton button)
{
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, Qt::NoButton,
        Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void move(QWidget* widget, const QPoint& pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(
        QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Counts the pixels of area that pass a test.
template<typename Test> int countPixels(const QImage& image, const QRect& area, Test test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (test(QColor(image.pixel(x, y))))
                ++count;
        }
    }
    return count;
}

bool isWhite(const QColor& c)
{
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}

// Amber rgb(255,205,1) and orange rgb(240,151,1) text, allowing for smoothing.
bool isAmber(const QColor& c)
{
    return c.red() > 170 && c.green() > 0.74 * c.red() && c.green() < 0.86 * c.red() && c.blue() < 0.3 * c.red();
}

bool isOrange(const QColor& c)
{
    return c.red() > 170 && c.green() > 0.55 * c.red() && c.green() < 0.7 * c.red() && c.blue() < 0.3 * c.red();
}

bool isDark(const QColor& c)
{
    return c.red() < 50 && c.green() < 50 && c.blue() < 50;
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
    void styleSheets();
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
    QTest::newRow("optical 8192") << 8192 << 0 << "3.2x";
    QTest::newRow("optical 16384") << 16384 << 0 << "12.0x";
    QTest::newRow("optical above the table") << 40000 << 0 << "431x";
    QTest::newRow("super 8192") << 8192 << 1 << "3.8x";
    QTest::newRow("super 22976") << 22976 << 1 << "20.0x";
    QTest::newRow("super above the table") << 22977 << 1 << "16.5x";
    QTest::newRow("digital 16384") << 16384 << 2 << "12.0x";
    QTest::newRow("digital 31424") << 31424 << 2 << "144x";
    QTest::newRow("digital just under 100") << 28700 << 2 << "99.4x";
    QTest::newRow("digital just over 100") << 28800 << 2 << "101x";
    QTest::newRow("far outside the camera's range") << 2000000000 << 0 << "infx";
    // Iris: a table, then the value.
    QTest::newRow("iris 0") << 0 << 3 << "Close";
    QTest::newRow("iris 7") << 7 << 3 << "f4.8";
    QTest::newRow("iris 13") << 13 << 3 << "f1.8";
    QTest::newRow("iris 14") << 14 << 3 << "14";
    QTest::newRow("iris negative") << -1 << 3 << "-1";
    // Iris and gain: the widest iris, then gain in 3 dB steps.
    QTest::newRow("iris+gain 0") << 0 << 4 << "Close";
    QTest::newRow("iris+gain 12") << 12 << 4 << "2.0/0";
    QTest::newRow("iris+gain 13") << 13 << 4 << "1.8/0";
    QTest::newRow("iris+gain 14") << 14 << 4 << "1.8/3";
    QTest::newRow("iris+gain 28") << 28 << 4 << "1.8/45";
    QTest::newRow("iris+gain negative") << -1 << 4 << "1.8/-42";
    // Gain.
    QTest::newRow("gain 0") << 0 << 5 << "0dB";
    QTest::newRow("gain 11") << 11 << 5 << "33dB";
    QTest::newRow("gain 12") << 12 << 5 << "12";
    QTest::newRow("gain negative") << -2 << 5 << "-2";
    // Focus scale 10..1500.
    QTest::newRow("focus 0") << 0 << 6 << "10";
    QTest::newRow("focus 28672") << 28672 << 6 << "755";
    QTest::newRow("focus 57344") << 57344 << 6 << "1500";
    // Mini: none; no kind: the value.
    QTest::newRow("mini") << 3 << 7 << "";
    QTest::newRow("no kind 9") << 5 << 9 << "5";
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
    QCOMPARE(slider.orientation(), Qt::Horizontal);
    QCOMPARE(SegmentSlider().orientation(), QSlider().orientation());

    const int maxima[] = { 16384, 22976, 31424, 13, 28, 11, 57344, 5 };
    for (int type = 0; type < 8; ++type) {
        slider.setSliderType(SegSliderType(type));
        QCOMPARE(int(slider.sliderType()), type);
        QCOMPARE(slider.minimum(), 0);
        QCOMPARE(slider.maximum(), maxima[type]);
    }
    // A value outside 0..7 keeps the range and takes the plain look.
    slider.setRange(-64, 64);
    slider.setSliderType(SegSliderType(9));
    QCOMPARE(int(slider.sliderType()), 9);
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

void TestSegmentSlider::styleSheets()
{
    SegmentSlider slider(Qt::Horizontal);
    slider.setSliderType(SegSliderOpticalZoom);
    // The plain look, as one line.
    QCOMPARE(slider.styleSheet(),
        QStringLiteral(
            "QSlider {background: transparent;}QSlider::groove:horizontal {border-image: "
            "url(:/media/slider_horiz_on_25.png);background: transparent;background-repeat: "
            "no-repeat;height:17px;}QSlider::sub-page:horizontal {border-image: "
            "url(:/media/slider_horiz_on_25.png);}QSlider::sub-page:horizontal:disabled {border-image: "
            "url(:/media/slider_horiz_disabled_25.png);}QSlider::add-page:horizontal {background-image: "
            "url(:/media/slider_horiz_off_25.png);background-position: top "
            "right;}QSlider::add-page:horizontal:disabled {background-image: "
            "url(:/media/slider_horiz_disabled_25.png);background-position: top right;}QSlider::handle:horizontal "
            "{background: transparent;border-image: url(:/media/fader_on_25.png);background-repeat: "
            "no-repeat;margin-top: -9px;margin-bottom: -9px;width:47;}QSlider::handle:horizontal:hover {border-image: "
            "url(:/media/fader_on_press_25.png);}QSlider::handle:horizontal:disabled {border-image: "
            "url(:/media/fader_disabled_25.png);}"));
    const QString plain = slider.styleSheet();
    for (SegSliderType type : { SegSliderIris, SegSliderGain, SegSliderFocus }) {
        slider.setSliderType(type);
        QCOMPARE(slider.styleSheet(), plain);
    }

    slider.setSliderType(SegSliderDigitalZoom);
    const QString digital = slider.styleSheet();
    QVERIFY(digital.startsWith(
        QLatin1String("QSlider {background: transparent;}QSlider::groove:horizontal {background-image: "
                      "url(:/media/slider_horiz_zoomdig_on_25.png);background-position: top left;background: "
                      "transparent;background-repeat: no-repeat;height:17px;}")));
    QCOMPARE(digital.count(QLatin1String("zoomdig")), 3);
    QVERIFY(digital.contains(QLatin1String("slider_horiz_zoomdig_off_25.png")));

    // The two other ramps differ from it only in the ramp's name.
    slider.setSliderType(SegSliderSuperZoom);
    QCOMPARE(slider.styleSheet(), QString(digital).replace(QLatin1String("zoomdig"), QLatin1String("zoomsuper")));
    slider.setSliderType(SegSliderIrisGain);
    QCOMPARE(slider.styleSheet(), QString(digital).replace(QLatin1String("zoomdig"), QLatin1String("apertdig")));

    slider.setSliderType(SegSliderMini);
    const QString mini = slider.styleSheet();
    QVERIFY(mini.contains(QLatin1String("height:13px;")));
    QVERIFY(mini.contains(QLatin1String("margin-top: -3px;margin-bottom: -3px;width:12;}")));
    QVERIFY(mini.endsWith(
        QLatin1String("QSlider::handle:horizontal:disabled {border-image: url(:/media/fader_mini_disabled.png);}")));
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
    press(slider, handle.center(), Qt::LeftButton);
    QVERIFY(slider->isSliderDown());
    release(slider, handle.center(), Qt::LeftButton);
    QCOMPARE(slider->value(), 8192);
    QCOMPARE(changes.count(), 0);

    // A right press off the handle leaves the value.
    press(slider, QPoint(groove.left() + 5, y), Qt::RightButton);
    release(slider, QPoint(groove.left() + 5, y), Qt::RightButton);
    QCOMPARE(slider->value(), 8192);
    QCOMPARE(changes.count(), 0);

    // A left press at the groove's far right end jumps to the maximum once,
    // and the drag goes on from there.
    press(slider, QPoint(groove.right(), y), Qt::LeftButton);
    QCOMPARE(slider->value(), 16384);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.at(0).at(0).toInt(), 16384);
    QVERIFY(slider->isSliderDown());
    move(slider, QPoint(groove.center().x(), y), Qt::LeftButton);
    QVERIFY(slider->value() > 7000 && slider->value() < 9500);
    release(slider, QPoint(groove.center().x(), y), Qt::LeftButton);
    QVERIFY(!slider->isSliderDown());

    // The far left end gives the minimum; a point in between the proportional value.
    press(slider, QPoint(groove.left(), y), Qt::LeftButton);
    QCOMPARE(slider->value(), 0);
    release(slider, QPoint(groove.left(), y), Qt::LeftButton);
    const int a = groove.left() + 47 / 2;
    const int b = groove.right() - 47 / 2;
    const int x = a + (b - a) / 4 + 30; // off the handle, now at 0
    press(slider, QPoint(x, y), Qt::LeftButton);
    QCOMPARE(slider->value(), qRound(16384.0 * (x - a) / (b - a)));
    release(slider, QPoint(x, y), Qt::LeftButton);

    // Negative ranges round half up like positive ones (the settings panes' -64..64).
    slider->setSliderType(SegSliderMini);
    slider->setRange(-64, 64);
    slider->setValue(64);
    const QRect miniHandle = slider->subControl(QStyle::SC_SliderHandle);
    const QRect miniGroove = slider->subControl(QStyle::SC_SliderGroove);
    const int ma = miniGroove.left() + miniHandle.width() / 2;
    const int mb = miniGroove.right() - miniHandle.width() / 2;
    for (int px = ma; px < miniHandle.left(); px += 7) {
        press(slider, QPoint(px, miniGroove.center().y()), Qt::LeftButton);
        const double t = double(px - ma) / (mb - ma);
        QCOMPARE(slider->value(), int(std::floor(-64 * (1 - t) + 64 * t + 0.5)));
        release(slider, QPoint(px, miniGroove.center().y()), Qt::LeftButton);
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
    for (int x = 0; x < 47; x += 2) {
        for (int y : { 2, 57 }) {
            press(narrow, QPoint(x, y), Qt::LeftButton);
            release(narrow, QPoint(x, y), Qt::LeftButton);
            QCOMPARE(narrow->value(), 100);
        }
    }

    for (int y = 0; y < 190; y += 10) {
        vertical->setValue(50);
        const QRect vhandle = vertical->subControl(QStyle::SC_SliderHandle);
        const QPoint at(vhandle.center().x(), y);
        if (vhandle.contains(at))
            continue;
        press(vertical, at, Qt::LeftButton);
        release(vertical, at, Qt::LeftButton);
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
    QTest::newRow("super at the optical end") << 1 << 16384 << true << "white";
    QTest::newRow("super beyond it") << 1 << 16385 << true << "amber";
    QTest::newRow("digital at the optical end") << 2 << 16384 << true << "white";
    QTest::newRow("digital beyond it") << 2 << 30000 << true << "orange";
    QTest::newRow("iris+gain at the widest iris") << 4 << 13 << true << "white";
    QTest::newRow("iris+gain with gain") << 4 << 28 << true << "orange";
    QTest::newRow("disabled super beyond") << 1 << 20000 << false << "dark";
    QTest::newRow("disabled gain") << 5 << 11 << false << "dark";
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

    const int white = countPixels(image, area, isWhite);
    const int amber = countPixels(image, area, isAmber);
    const int orange = countPixels(image, area, isOrange);
    const int dark = countPixels(image, area, isDark);
    const QString counts
        = QStringLiteral("white %1 amber %2 orange %3 dark %4").arg(white).arg(amber).arg(orange).arg(dark);
    if (colour == QLatin1String("white")) {
        QVERIFY2(white > 5 && amber == 0 && orange == 0, qPrintable(counts));
    } else if (colour == QLatin1String("amber")) {
        QVERIFY2(amber > 5 && white == 0 && orange == 0, qPrintable(counts));
    } else if (colour == QLatin1String("orange")) {
        QVERIFY2(orange > 5 && white == 0 && amber == 0, qPrintable(counts));
    } else {
        QVERIFY2(dark > 5 && white == 0 && amber == 0 && orange == 0, qPrintable(counts));
    }
}

QUV_TEST_MAIN_WITH(TestSegmentSlider, PanesApplication)
#include "test_segmentslider.moc"
