// The panes' widgets on a real X server (Xvfb): the eight slider kinds with
// their captions (and a disabled one), and both variants of the zoom group,
// the large one zooming toward tele. The screen is saved for a person to
// judge; a few pixels are checked so that a missing image shows as a failure.

#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/jogcontroller.h"
#include "panes/panebase.h"
#include "panes/panecamera.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvtest.h"
#include "screengrab.h"

namespace {

// A pane that shows only its zoom group, built at (10, 10).
class ZoomGroupPane : public PaneBase
{
public:
    ZoomGroupPane(DeviceSet* set, QWidget* parent, int variant)
        : PaneBase(set, parent)
        , m_variant(variant)
    { }

    void uiSetup() override
    {
        PaneBase::uiSetup();
        uiSetupZoomGroup(10, 10, this, m_variant);
    }

private:
    int m_variant;
};

// The pixels of a widget on the screen that are lit blue.
int bluePixels(const QImage& screen, QWidget* widget)
{
    int count = 0;
    for (int y = 0; y < widget->height(); ++y) {
        for (int x = 0; x < widget->width(); ++x) {
            const QColor c(screen.pixel(widget->mapToGlobal(QPoint(x, y))));
            count += c.blue() > c.red() + 60 ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class TestPanesScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void slidersAndZoomGroups();
    void cameraPane();
};

void TestPanesScreenshot::slidersAndZoomGroups()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    QDialog form;
    form.setWindowTitle(QStringLiteral("panes"));
    form.setGeometry(20, 20, 680, 690);

    struct Row
    {
        const char* name;
        SegSliderType type;
        int value;
        bool enabled;
    };
    const Row rows[] = {
        { "Optical zoom", SegSliderOpticalZoom, 8192, true },
        { "Super zoom", SegSliderSuperZoom, 20000, true },
        { "Digital zoom", SegSliderDigitalZoom, 28000, true },
        { "Iris", SegSliderIris, 10, true },
        { "Iris + gain", SegSliderIrisGain, 20, true },
        { "Gain", SegSliderGain, 5, true },
        { "Focus", SegSliderFocus, 28672, true },
        { "Mini", SegSliderMini, 3, true },
        { "Focus (disabled)", SegSliderFocus, 40000, false },
    };
    QList<SegmentSlider*> sliders;
    int y = 14;
    for (const Row& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.name), &form);
        label->setStyleSheet(QStringLiteral("color: rgb(146,146,146)"));
        label->setGeometry(14, y + 12, 120, 20);
        auto* slider = new SegmentSlider(Qt::Horizontal, &form);
        slider->setSliderType(row.type);
        if (row.type == SegSliderMini)
            slider->setGeometry(140, y + 10, 264, 23);
        else
            slider->setGeometry(140, y, 441, 44);
        slider->setValue(row.value);
        slider->setEnabled(row.enabled);
        sliders.append(slider);
        y += 48;
    }

    // Both zoom groups on a camera set without cameras (the placeholder keeps the state).
    QObject owner;
    DeviceSet* cameras = new DeviceSet(&owner);
    auto* large = new ZoomGroupPane(cameras, &form, 1);
    large->setGeometry(14, y + 6, 640, 96);
    large->uiSetup();
    auto* small = new ZoomGroupPane(cameras, &form, 2);
    small->setGeometry(14, y + 112, 640, 76);
    small->uiSetup();

    // The large group zooms toward tele at speed 4; the small one shows super zoom.
    large->slot_zoomState(4, AutoZoom::ZoomingTele);
    large->zoomSlider()->blockSignals(true);
    large->zoomSlider()->setValue(11000);
    large->zoomSlider()->blockSignals(false);
    small->syncDZoomMode(4);
    small->zoomSlider()->blockSignals(true);
    small->zoomSlider()->setValue(19000);
    small->zoomSlider()->blockSignals(false);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage screen = quvtest::stableScreenGrab();
    QVERIFY(!screen.isNull());

    const QImage shot = screen.copy(form.frameGeometry().adjusted(-8, -8, 8, 8));
    const QString path = quvtest::artifactPath(QStringLiteral("panes-widgets.png"));
    QVERIFY(shot.save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // The pictures reached the screen: the blue fill left of a handle, the
    // dark track right of it, the checked tele button and the lit jog arrows.
    const auto at
        = [&screen](QWidget* widget, const QPoint& point) { return QColor(screen.pixel(widget->mapToGlobal(point))); };
    SegmentSlider* optical = sliders.at(0);
    const QColor filled = at(optical, QPoint(40, optical->height() / 2));
    QVERIFY2(filled.blue() > filled.red() + 60, qPrintable(filled.name()));
    const QColor empty = at(optical, QPoint(optical->width() - 30, optical->height() / 2));
    QVERIFY2(empty.lightness() < 50, qPrintable(empty.name()));

    QPushButton* tele = large->zoomTeleButton();
    QVERIFY(tele->isChecked());
    QVERIFY(!large->zoomWideButton()->isChecked());
    // The checked picture is lit blue, the unchecked one is grey.
    QVERIFY2(bluePixels(screen, tele) > 100, qPrintable(QString::number(bluePixels(screen, tele))));
    QCOMPARE(bluePixels(screen, large->zoomWideButton()), 0);

    JogController* jog = large->zoomJog();
    QCOMPARE(jog->zoomingState(), AutoZoom::ZoomingTele);
    QCOMPARE(jog->value(), 4);
    const QColor lit = at(jog, QPoint(jog->xPosForZoomInValue(4) + 10, 13));
    const QColor unlit = at(jog, QPoint(jog->xPosForZoomInValue(5) + 10, 13));
    QVERIFY2(lit.blue() > unlit.blue() + 60, qPrintable(lit.name() + QLatin1Char(' ') + unlit.name()));
    QVERIFY(small->zoomJog()->isHidden());
    QVERIFY(small->zoomDigitalLabel()->isVisible());
    QVERIFY(small->zoomRampIcon()->isVisible());

    delete cameras;
}

void TestPanesScreenshot::cameraPane()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    // Without a camera the pane shows full manual exposure; automatic focus is switched on.
    QDialog form;
    form.setWindowTitle(QStringLiteral("camera pane"));
    form.setGeometry(20, 20, 662, 393);
    QObject owner;
    DeviceSet* cameras = new DeviceSet(&owner);
    auto* pane = new PaneCamera(cameras, &form);
    pane->setGeometry(0, 0, 662, 393);
    pane->uiSetup();
    pane->uiSync(true);
    pane->autoFocusToggle()->setChecked(true);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QStringLiteral("panes-camera.png"));
    QVERIFY(screen.copy(form.geometry()).save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // The pictures reached the screen: the checked mode button and the switched-on toggle are lit blue.
    QVERIFY(bluePixels(screen, pane->manualButton()) > 20 && bluePixels(screen, pane->autoFocusToggle()) > 300);
    QCOMPARE(bluePixels(screen, pane->brightButton()) + bluePixels(screen, pane->autoExposureToggle()), 0);
    delete cameras;
}

QUV_TEST_MAIN_WITH(TestPanesScreenshot, PanesApplication)
#include "test_panesscreenshot.moc"
