// The panes' widgets on a real X server (Xvfb): the eight slider kinds with
// their captions (and a disabled one), both variants of the zoom group (the
// large one zooming toward tele), the camera pane on a simulated camera, and
// two region editors. Each screen is saved for a person to judge; a few
// pixels are checked so that a missing image shows as a failure.

#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/jogcontroller.h"
#include "panes/panebase.h"
#include "panes/panecamera.h"
#include "panes/screenproxy.h"
#include "panes/segmentslider.h"
#include "panesapplication.h"
#include "quvapp/quvcombobox.h"
#include "quvtest.h"
#include "screengrab.h"
#include "simulatedcameraset.h"

using quvtest::hexBytes;

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
    void regionEditors();
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

    // A camera in full manual exposure at f4.0, 1/60 and 12 dB, with automatic focus on.
    SimulatedCameraSet cameras;
    QVERIFY(cameras.waitForCamera());
    quvtest::CamSim* sim = cameras.sim();
    sim->setValue(hexBytes("04 39"), hexBytes("03"));
    sim->setWord(hexBytes("04 4B"), 12);
    sim->setWord(hexBytes("04 4A"), 6);
    sim->setWord(hexBytes("04 4C"), 5);
    sim->setWord(hexBytes("04 48"), 0x3000);
    sim->setWord(hexBytes("04 47"), 0x1000);

    QDialog form;
    form.setWindowTitle(QStringLiteral("camera pane"));
    form.setGeometry(20, 20, 662, 393);
    auto* pane = new PaneCamera(cameras.set(), &form);
    pane->setGeometry(0, 0, 662, 393);
    pane->uiSetup();
    pane->uiSync(false);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QStringLiteral("panes-camera.png"));
    QVERIFY(screen.copy(form.geometry()).save(path));
    qInfo("screenshot: %s", qPrintable(path));

    QCOMPARE(pane->apertureSlider()->value(), 8);
    QCOMPARE(pane->shutterCombo()->currentText(), QStringLiteral("1/60"));
    QCOMPARE(pane->gainSlider()->value(), 4);
    QVERIFY(pane->autoFocusToggle()->isChecked() && !pane->focusSlider()->isEnabled());
    // The pictures reached the screen: the checked mode button, the switched-on
    // toggle and the tracks left of the enabled handles are lit blue.
    QVERIFY(bluePixels(screen, pane->manualButton()) > 20 && bluePixels(screen, pane->autoFocusToggle()) > 300);
    QCOMPARE(bluePixels(screen, pane->brightButton()) + bluePixels(screen, pane->autoExposureToggle()), 0);
    for (SegmentSlider* slider : { pane->apertureSlider(), pane->gainSlider() }) {
        const QColor filled(screen.pixel(slider->mapToGlobal(QPoint(30, slider->height() / 2))));
        QVERIFY2(filled.blue() > filled.red() + 60, qPrintable(filled.name()));
    }
}

void TestPanesScreenshot::regionEditors()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    // The ePTZ picture's proportions: a move-only HD window in the UHD frame,
    // beside a free region resized by its bottom-right corner, both with their
    // size labels shown.
    QDialog form;
    form.setWindowTitle(QStringLiteral("region editors"));
    form.setGeometry(20, 20, 700, 280);
    const QColor blue(67, 149, 194);
    const QColor grey(54, 54, 54);
    const QColor text(220, 220, 220);
    const auto make = [&](const QRect& frame, const QRect& roi, RoiConstrain constrain, const char* caption) {
        auto* label = new QLabel(QString::fromLatin1(caption), &form);
        label->setStyleSheet(QStringLiteral("color: rgb(146,146,146)"));
        label->setGeometry(frame.x(), 8, frame.width(), 16);
        auto* proxy = new ScreenProxy(&form, frame);
        proxy->SetScreenSize(3840, 2160);
        proxy->SetRoiGeometry(roi.x(), roi.y(), roi.width(), roi.height());
        proxy->SetContrain(constrain, 0, 0);
        proxy->SetEditable(true);
        proxy->SetRoiFillColor(blue);
        proxy->SetScreenFillColor(grey);
        proxy->SetScreenTextColor(text);
        proxy->SetRoiTextColor(text);
        return proxy;
    };
    ScreenProxy* window
        = make(QRect(10, 30, 415, 234), QRect(960, 540, 1920, 1080), RoiConstrainMoveOnly, "Move only: the HD window");
    ScreenProxy* region = make(QRect(440, 30, 250, 234), QRect(1200, 700, 800, 500), RoiConstrainFree, "Free region");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // A drag of the free region's bottom-right corner 60 pixels right and 50 down.
    const auto send = [region](QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, pos, region->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(region, &event);
    };
    const QPoint corner(ScreenProxy::ScreenToUi(2000, region->horizontalScale()) - 1,
        ScreenProxy::ScreenToUi(1200, region->verticalScale()) - 1);
    QCOMPARE(region->GetRoiHit(corner), RoiHitBottomRight);
    send(QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, corner + QPoint(60, 50), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, corner + QPoint(60, 50), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(region->roi(), QRect(1200, 700, 1722, 1266));

    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QStringLiteral("panes-regions.png"));
    QVERIFY(screen.copy(form.frameGeometry().adjusted(-8, -8, 8, 8)).save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // Both pictures are letterboxed to 16:9; each region is blue on the grey
    // screen, with light label text at the top of the screen.
    QCOMPARE(window->geometry(), QRect(10, 30, 415, 233));
    QCOMPARE(region->geometry(), QRect(440, 76, 250, 141));
    for (ScreenProxy* proxy : { window, region }) {
        const QRect roi(ScreenProxy::ScreenToUi(proxy->roi().x(), proxy->horizontalScale()),
            ScreenProxy::ScreenToUi(proxy->roi().y(), proxy->verticalScale()),
            ScreenProxy::ScreenToUi(proxy->roi().width(), proxy->horizontalScale()),
            ScreenProxy::ScreenToUi(proxy->roi().height(), proxy->verticalScale()));
        QCOMPARE(screen.pixelColor(proxy->mapToGlobal(roi.topLeft() + QPoint(3, 3))), blue);
        QCOMPARE(screen.pixelColor(proxy->mapToGlobal(QPoint(3, proxy->height() - 4))), grey);
        int lit = 0;
        for (int x = 0; x < proxy->width(); ++x) {
            for (int y = 1; y < 12; ++y)
                lit += screen.pixelColor(proxy->mapToGlobal(QPoint(x, y))).lightness() > 150 ? 1 : 0;
        }
        QVERIFY2(lit > 20, qPrintable(QString::number(lit)));
    }
}

QUV_TEST_MAIN_WITH(TestPanesScreenshot, PanesApplication)
#include "test_panesscreenshot.moc"
