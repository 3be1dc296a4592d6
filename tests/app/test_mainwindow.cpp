// The main window without cameras: start-up in the no-camera view, the
// preferences it restores, its layout and images, the status dialog, the USB
// settle countdown on a stepped clock, and shutdown.

#include "answering.h"
#include "app/controlbase.h"
#include "device/deviceinterface.h"
#include "device/taqonotifier.h"
#include "fakeusbbus.h"
#include "media/mediaresources.h"
#include "panes/panecamera.h"
#include "layoutsnapshot.h"
#include "quvtest.h"
#include "testwindow.h"

#include <memory>

#include <QButtonGroup>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <QUrl>

using apptest::TestWindow;

namespace {

QString checkedPreset(const TestWindow& window)
{
    return window.m_presetButtons[0]->group()->checkedButton()->text();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the desktop's browser.
    void openUrl(const QUrl& url) { m_opened = url; }

private slots:
    void initTestCase() { paneclock::setSourceForTesting(quvtest::steppedClock); }
    void init() { QSettings().clear(); }
    void startAndFirstScan();
    void preferences_data();
    void preferences();
    void unwritableStore();
    void layout();
    void images_data();
    void images();
    void statusDialog();
    void countdown();
    void controllerLinks();
    void shutdown();

private:
    QUrl m_opened;
};

void TestMainWindow::startAndFirstScan()
{
    QVERIFY(qApp->styleSheet().endsWith(QLatin1String("0px 0px;}QStackedWidget {border-image: none; "
                                                      "background-color: transparent;}")));
    TestWindow window;
    QCOMPARE(window.minimumSize(), QSize(762, 572));
    QCOMPARE(window.maximumSize(), QSize(762, 572));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.m_paneButtons.at(0)->isChecked());
    QCOMPARE(checkedPreset(window), QStringLiteral("1"));
    QVERIFY(!window.m_powerButton->isEnabled());
    for (QWidget* hidden : std::initializer_list<QWidget*> { window.m_paneFrame, window.m_cameraButtons[0],
             window.m_presetButtons[15], window.m_paneButtons.at(2), window.m_zoomLabel, window.m_joystickLabel })
        QVERIFY(hidden->isHidden());
    QVERIFY(!window.m_heroLabel->isHidden() && !window.m_waitingLabel->isHidden());

    // The countdown armed at start runs out 500 ms later; that tick only
    // scans. A scan that finds no port closes its dialog at once.
    window.tick(500);
    QCOMPARE(window.scans, 1);
    QCOMPARE(window.m_zoomLabel->text(), QStringLiteral("400x"));
    QVERIFY(!window.m_statusDialog && window.m_cameraButtons[0]->isHidden());
    window.tick(1000);
    QCOMPARE(window.scans, 1);
    QCOMPARE(window.strip(), QStringLiteral("-----|---|EPTZ Off|Joystick Off|Close/0dB|1/1|1500mm|1.0x"));

    // A warning stays at least three seconds; another post restarts the time.
    window.slot_postWarning(WarningFocusDuringAutoZoom);
    QCOMPARE(window.m_warningLabel->text(), QStringLiteral("Focus cannot be changed by user while Auto-zoom is active"));
    QVERIFY(!window.m_warningLabel->isHidden());
    window.tick(2000);
    window.slot_postWarning(WarningType(1));
    window.tick(2900);
    QVERIFY(!window.m_warningLabel->isHidden());
    window.tick(101);
    QVERIFY(window.m_warningLabel->isHidden());
}

void TestMainWindow::preferences_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("saved");
    QTest::addColumn<int>("pane");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<int>("shownPane");
    QTest::addColumn<int>("shownKind");
    QTest::newRow("index above, pane and kind out of range") << 40 << -1 << 5 << 3 << "16" << 0 << 0;
    QTest::newRow("index below, negative pane") << -3 << -1 << -1 << -2 << "1" << 0 << 0;
    QTest::newRow("camera default memory keeps the index") << 4 << 127 << 2 << 1 << "5" << 2 << 1;
    QTest::newRow("saved preset wins") << 4 << 7 << 1 << 2 << "8" << 1 << 2;
}

void TestMainWindow::preferences()
{
    QFETCH(int, index);
    QFETCH(int, saved);
    QFETCH(int, pane);
    QFETCH(int, kind);
    QFETCH(int, shownPane);
    QSettings settings;
    settings.setValue(QStringLiteral("prefs/presetIndex_selected"), index);
    settings.setValue(QStringLiteral("prefs/saved_preset"), saved);
    settings.setValue(QStringLiteral("prefs/selected_pane"), pane);
    settings.setValue(QStringLiteral("prefs/presetType_selected"), kind);
    settings.sync();
    TestWindow window;
    QTEST(checkedPreset(window), "checked");
    QCOMPARE(int(window.m_paneType), shownPane);
    QCOMPARE(QSettings().value(QStringLiteral("prefs/selected_pane")).toInt(), shownPane);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(!window.m_panes.at(i)->isHidden(), i == shownPane);
    QTEST(int(window.m_presetType), "shownKind");
}

void TestMainWindow::unwritableStore()
{
    // A folder in the store file's place stops every write, root's too. The
    // window tells it as it starts, though no preset action runs; the box
    // comes once in a run, so a later action shows none.
    const QString store = QSettings().fileName();
    QSettings().sync();
    QFile::remove(store);
    QVERIFY(QDir().mkpath(store));
    QList<quvtest::Shown> shown;
    std::unique_ptr<TestWindow> window;
    QUV_ANSWER([&] { window = std::make_unique<TestWindow>(); }, &shown, { "OK" });
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Preferences Not Saved"));
    QVERIFY(shown.first().text.startsWith(
        QStringLiteral("The preference file \"%1\" could not be saved: it is a folder.").arg(store)));
    QUV_ANSWER([&] { window->presetClear(2); }, &shown);
    QCOMPARE(shown.size(), 0);
    window.reset();
    QVERIFY(QDir().rmdir(store));
}

void TestMainWindow::layout()
{
    TestWindow window;
    // Every control's place, text, picture, tool tip and sheet in the no-camera view.
    QUV_VERIFY_LAYOUT(&window, "app/layouts/mainwindow.txt");
    QCOMPARE(window.m_presetButtons[7]->geometry(), QRect(369, 427, 25, 21));
    QCOMPARE(window.m_presetButtons[15]->x(), 642);
    QCOMPARE(window.m_cameraButtons[7]->geometry(), QRect(614, 460, 55, 36));
    QCOMPARE(window.m_heroLabel->geometry(), QRect(68, 80, 625, 412));
    QCOMPARE(window.m_paneFrame->geometry(), QRect(50, 50, 662, 462));
    QCOMPARE(window.m_paneButtons.at(2)->geometry(), QRect(346, 39, 133, 27));
    QCOMPARE(window.m_panes.at(0)->geometry(), QRect(0, 16, 662, 393));
    QCOMPARE(window.m_apertGainLabel->geometry(), QRect(480, 513, 63, 20));
    const std::pair<const char*, QRect> places[] = { { "powerButton", { 725, 10, 26, 28 } },
        { "warningLabel", { 7, 2, 650, 20 } }, { "waitingLabel", { 68, 452, 625, 20 } },
        { "logoLabel", { 332, 531, 97, 22 } }, { "presetTypeLabel", { 95, 422, 25, 25 } },
        { "formatLabel", { 59, 513, 78, 20 } }, { "colorSpaceLabel", { 142, 513, 36, 20 } },
        { "eptzLabel", { 183, 513, 56, 20 } }, { "joystickLabel", { 244, 513, 65, 20 } },
        { "zoomLabel", { 666, 513, 36, 20 } }, { "focusLabel", { 607, 513, 54, 20 } },
        { "shutterLabel", { 548, 513, 54, 20 } } };
    for (const auto& [name, rect] : places)
        QCOMPARE(window.findChild<QWidget*>(QLatin1String(name))->geometry(), rect);
    const QString cameraSheet = window.m_cameraButtons[0]->styleSheet();
    QVERIFY(cameraSheet.contains(QLatin1String("camera_off.png")) && !cameraSheet.contains(QLatin1String("preset")));
    QCOMPARE(window.m_paneButtons.at(2)->styleSheet().count(QLatin1String("active_settings")), 3);
    QVERIFY(window.m_paneButtons.at(1)->styleSheet().contains(QLatin1String("b_nonactive_eptz.png")));
    QVERIFY(window.m_paneButtons.at(0)->styleSheet().contains(QLatin1String("b_nonactive_camera.png")));

    window.uiEnableCameraEditing(true);
    QVERIFY(!window.m_joystickLabel->isHidden() && !window.m_paneFrame->isHidden());
    QVERIFY(window.m_powerButton->isEnabled() && window.m_heroLabel->isHidden());
    QVERIFY(window.m_warningLabel->isHidden());

    // The pane accessors give nothing while the pane list is incomplete.
    QCOMPARE(static_cast<PaneBase*>(window.paneCamera()), window.m_panes.at(0));
    window.m_paneButtons.at(1)->click();
    QCOMPARE(window.paneZoom(), window.m_panes.at(1));
    PaneBase* last = window.m_panes.takeLast();
    QVERIFY(!window.paneCamera() && !window.paneEptz() && !window.paneZoom());
    window.m_panes.append(last);
}

void TestMainWindow::images_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    const auto rows = [](std::initializer_list<const char*> names, QSize size) {
        for (const char* name : names)
            QTest::newRow(name) << QString::fromLatin1(name) << size;
    };
    // Button pictures are drawn at their natural size: each is exactly its button's.
    rows({ "b_active_camera", "b_nonactive_camera", "b_active_eptz", "b_nonactive_eptz", "b_active_settings",
             "b_nonactive_settings" },
        QSize(133, 27));
    rows({ "power_off", "power_on", "power_press", "power_disabled" }, QSize(26, 28));
    rows({ "preset_off", "preset_on", "preset_press", "preset_disabled" }, QSize(25, 21));
    rows({ "camera_off", "camera_on", "camera_press", "camera_disabled" }, QSize(55, 36));
    rows({ "preset_eptz", "preset_global", "preset_cam" }, QSize(25, 25));
    rows({ "taqocam_hero" }, QSize(625, 412));
    rows({ "quv_logo" }, QSize(97, 22));
    rows({ "taqo_icon" }, QSize(64, 64));
}

void TestMainWindow::images()
{
    QFETCH(QString, name);
    media::initResources();
    QTEST(QImage(QStringLiteral(":/media/%1.png").arg(name)).size(), "size");
}

void TestMainWindow::statusDialog()
{
    TestWindow window;
    window.dialogPost(3);
    ScanProgressDialog* dialog = window.m_statusDialog;
    auto* text = dialog->findChild<QLabel*>(QStringLiteral("textLabel"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("About TaqoControl"));
    QCOMPARE(text->text(), QStringLiteral("QUV TaqoControl version 3.0"));
    QVERIFY(dialog->isModal() && !(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));

    // Closed with its title-bar button, the dialog is only hidden: a scan shows it again.
    dialog->hide();
    window.dialogPost(0);
    QVERIFY(window.m_statusDialog == dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("TaqoControl Status"));
    QCOMPARE(text->text(), QStringLiteral("QUV TaqoControl version 3.0"));
    window.dialogText(QStringLiteral("x"));
    QCOMPARE(text->text(), QStringLiteral("x"));
    window.dialogClose();
    window.dialogClose();
    QVERIFY(window.findChildren<ScanProgressDialog*>().isEmpty());
    window.dialogPost(0);
    QCOMPARE(window.m_statusDialog->findChild<QLabel*>(QStringLiteral("textLabel"))->text(),
        QStringLiteral("Scanning for TaqoCam Devices..."));

    // A restart with no camera: the reload due five seconds later has nothing
    // to reload, so it ends the dialog and a pending factory default itself.
    window.m_factoryDefaultPending = true;
    emit window.sig_resync(ResyncRestart);
    QCOMPARE(window.m_statusDialog->findChild<QLabel*>(QStringLiteral("textLabel"))->text(),
        QStringLiteral("Restarting TaqoCam..."));
    window.slot_pnpReloadOne();
    QVERIFY(!window.m_statusDialog && !window.m_factoryDefaultPending);

    // The web page opens in the desktop's browser, whatever becomes of it.
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
    quvtest::MessageLog log;
    window.slot_about();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QVERIFY(m_opened.isValid() && !m_opened.host().isEmpty());
    QCOMPARE(log.count(QStringLiteral("slot_about")), 1);
}

void TestMainWindow::countdown()
{
    TestWindow window;
    // The window's own 100 ms timer ticks: once the clock is past the
    // countdown armed at start, the event loop alone runs the first scan.
    quvtest::clock_ms += 500;
    QTRY_COMPARE_WITH_TIMEOUT(window.scans, 1, 10000);
    // A burst of USB events: one scan, 500 ms after the last.
    QSignalSpy rescans(&window, &MainWindow::sig_usbRescan);
    for (int i = 0; i < 5; ++i) {
        pnpCallback(i % 2 ? 0xE0000101 : 0xE0000010, &window);
        window.tick(100);
    }
    window.tick(399);
    QCOMPARE(window.scans, 1);
    window.tick(1);
    QCOMPARE(window.scans, 2);
    QCOMPARE(rescans.count(), 1);
    pnpCallback(0xE0000020, &window);
    window.tick(1000);
    QCOMPARE(window.scans, 2);

    // A request while the set is busy becomes a fresh countdown.
    window.m_deviceSet->deviceSetCreate({ SerialPortDesc::forDevicePath(QStringLiteral("/nonexistent/tty")) }, true);
    window.rescan(true);
    QCOMPARE(rescans.count(), 1);
    QVERIFY(window.settle());
    window.tick(499);
    QCOMPARE(window.scans, 2);
    window.tick(1);
    QCOMPARE(window.scans, 3);
}

void TestMainWindow::controllerLinks()
{
    quvtest::MessageLog log;
    TestWindow window;
    ControlBase* controller = window.m_controlBase;
    // The controller's signals come through the window's event queue.
    emit controller->sig_buttonPush(TaqoOpHeldPresetSet, true);
    QVERIFY(!window.m_held405);
    QTRY_VERIFY(window.m_held405);
    // A rescan reaches the controller the same way; its next poll, on the
    // control thread, sets the joystick up again.
    const int setups = log.count(QStringLiteral("joystickSetup"));
    window.tick(500);
    QVERIFY(log.waitFor(QStringLiteral("joystickSetup"), setups + 1));
    // Every other signal of the controller reaches its slot.
    QVERIFY(QObject::disconnect(controller, SIGNAL(sig_joystickXY(double, double, bool, bool)), &window,
        SLOT(slot_joystickXY(double, double, bool, bool))));
    QVERIFY(QObject::disconnect(
        controller, SIGNAL(sig_joystickZ(double, bool, bool)), &window, SLOT(slot_joystickZ(double, bool, bool))));
    QVERIFY(QObject::disconnect(
        controller, SIGNAL(sig_joystickS(double, bool, bool)), &window, SLOT(slot_joystickS(double, bool, bool))));
    QVERIFY(QObject::disconnect(controller, SIGNAL(sig_buttonClick(int)), &window, SLOT(slot_controlButtonClick(int))));
}

void TestMainWindow::shutdown()
{
    // USB events come from a stand-in bus: each installed notifier reads its own source.
    FakeUsbBus bus;
    bus.attach();
    auto window = std::make_unique<TestWindow>();
    QCOMPARE(bus.openSources(), 1);
    window->move(40, 30);
    window->m_paneButtons.at(PaneTypeSettings)->click();
    window->m_deviceSet->get()->setZoomSpeed(6);
    const QPoint shown = window->pos();
    const QPointer<ControlBase> controller = window->m_controlBase;
    const QPointer<QThread> controlThread = window->m_controlThread;
    QVERIFY(controller && controlThread->isRunning());
    QCOMPARE(controlThread->objectName(), QStringLiteral("control"));
    // A stray Esc leaves the controller open; only a close ends it.
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY(window->isVisible() && lastClosed.isEmpty());
    window->close();
    window.reset();
    QVERIFY(!controller && !controlThread);
    // The notifier outlives the window, uninstalled: no event reaches the freed window.
    QCOMPARE(bus.openSources(), 0);
    QCOMPARE(QSettings().value(QStringLiteral("prefs/camZoomSpeed")).toInt(), 6);

    // A second window in the same process comes back where the first one was,
    // and takes the USB notifier's reports over.
    TestWindow again;
    QCOMPARE(again.pos(), shown);
    QCOMPARE(again.m_paneType, PaneTypeSettings);
    again.tick(400);
    _sPnpNotifier->DeviceChanged(nullptr, 0xE0000010, nullptr);
    again.tick(400);
    QCOMPARE(again.scans, 0);
}

QUV_TEST_MAIN_WITH(TestMainWindow, apptest::AppApplication)
#include "test_mainwindow.moc"
