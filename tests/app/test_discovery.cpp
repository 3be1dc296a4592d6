// The main window with simulated cameras found by its rescans: camera
// buttons and selection, the serial-failure box, power, restart, slot
// swaps, a reload that meets a rescan, and the status strip.

#include "answering.h"
#include "app/statusstrip.h"
#include "device/deviceinterface.h"
#include "panes/panebase.h"
#include "quvtest.h"
#include "testwindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QSettings>

using apptest::Rig;
using apptest::TestWindow;
using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

// Waits for the packet while the window's timers run.
bool received(CamSim& sim, const char* packet, int timeout_ms = 10000)
{
    return QTest::qWaitFor([&] { return sim.waitForPacket(hexBytes(packet), 0); }, timeout_ms);
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    // Only the test moves the clock: no countdown runs out by itself.
    void initTestCase() { paneclock::setSourceForTesting(quvtest::steppedClock); }
    void init() { QSettings().clear(); }
    void buttonsAndOpenFailure();
    void powerAndRestart();
    void slotSwap();
    void reloadDuringRescan();
    void statusTexts_data();
    void statusTexts();
    void statusStrip();
    void zoomSpeedKept_data();
    void zoomSpeedKept();
};

void TestDiscovery::buttonsAndOpenFailure()
{
    Rig rig({ 3, 0 });
    rig.window.ports.append(SerialPortDesc::forDevicePath(QStringLiteral("/nonexistent/tty")));
    QVERIFY(rig.start());
    QPushButton* const* buttons = rig.window.m_cameraButtons;
    QCOMPARE(buttons[0]->toolTip(), QStringLiteral("Slot 1: Select Camera \"Cam ?\""));
    QVERIFY(buttons[0]->isChecked() && buttons[0]->text() == QLatin1String("Cam ?"));
    QCOMPARE(buttons[1]->toolTip(),
        QStringLiteral(
            "Slot 2: Camera Connection Error\nCheck camera data and power cables.\nWhen ready, select \"Rescan\""));
    QCOMPARE(buttons[2]->toolTip(), QStringLiteral("Slot 3: No camera connected"));
    QVERIFY(!buttons[2]->isEnabled() && buttons[3]->isEnabled() && buttons[2]->text().isEmpty());

    // The offline camera: one box, however often it is asked for; "Rescan" scans.
    const int scans = rig.window.scans;
    int boxes = 0;
    bool kept = false;
    const auto askAgain = [&] {
        kept = rig.window.m_openFailBox != nullptr;
        rig.window.slot_openFail();
        boxes = rig.window.findChildren<QMessageBox*>().size();
    };
    buttons[1]->click();
    QCOMPARE(rig.window.m_deviceSet->selectedIndex(), 1);
    QList<quvtest::Shown> shown;
    bool rescanned = false;
    QUV_ANSWER([&] { rescanned = QTest::qWaitFor([&] { return rig.window.scans == scans + 1; }, 10000); }, &shown,
        { "Rescan", QString(), askAgain });
    QVERIFY(rescanned);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Serial Connection Failed"));
    QVERIFY(kept);
    QCOMPARE(boxes, 1);
    QCOMPARE(rig.window.scans, scans + 1);
    QVERIFY(!rig.window.m_openFailBox);

    // A camera given a new name shows it once the pane reports the change.
    QVERIFY(rig.window.settle());
    rig.window.m_deviceSet->getAt(0)->deviceNameSet(QStringLiteral("Lobby"));
    emit rig.window.sig_resync(ResyncName);
    QCOMPARE(buttons[0]->text(), QStringLiteral("Lobby"));
    QCOMPARE(buttons[0]->toolTip(), QStringLiteral("Slot 1: Select Camera \"Lobby\""));
}

void TestDiscovery::powerAndRestart()
{
    Rig rig({ 0 });
    QVERIFY(rig.start());
    CamSim& sim = rig.sim(0);
    QVERIFY(rig.window.m_powerButton->isChecked() && rig.window.m_cameraButtons[0]->isChecked());
    rig.window.m_powerButton->click();
    QVERIFY(received(sim, "81 01 04 00 03 FF"));
    sim.clearReceived();
    rig.window.m_powerButton->click();
    QVERIFY(received(sim, "81 01 04 00 02 FF"));
    QVERIFY(!received(sim, "81 09 04 00 FF", 0));
    // Switched on, the camera is read again two seconds later, the panes' values too.
    QVERIFY(received(sim, "81 09 04 00 FF"));
    QVERIFY(received(sim, "81 09 04 39 FF"));

    // The settings pane's Apply asks for the restart.
    sim.clearReceived();
    emit rig.window.m_panes.at(PaneTypeSettings)->sig_resync(ResyncRestart);
    QVERIFY(received(sim, "81 01 04 19 03 FF"));
    QCOMPARE(rig.window.m_statusDialog->findChild<QLabel*>(QStringLiteral("textLabel"))->text(),
        QStringLiteral("Restarting TaqoCam..."));
    QVERIFY(!received(sim, "88 30 01 FF", 0));
    // Five seconds later the camera is opened and read again, and the dialog ends.
    QVERIFY(received(sim, "88 30 01 FF", 15000));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.window.m_statusDialog, 15000);
}

void TestDiscovery::slotSwap()
{
    Rig rig({ 2, 5 });
    QVERIFY(rig.start());
    DeviceSet& set = *rig.window.m_deviceSet;
    DeviceInterface* moving = set.getAt(2);
    rig.window.m_cameraButtons[2]->click();
    QCOMPARE(set.selectedIndex(), 2);

    // The settings pane gave the selected camera ID 5: it moves to slot 5,
    // and the camera that was there takes ID 2 with slot 2.
    moving->viscaSet(ViscaMsg::CameraId, 5, -1);
    emit rig.window.sig_resync(ResyncSlot);
    QCOMPARE(set.getAt(5), moving);
    QCOMPARE(set.selectedIndex(), 5);
    QCOMPARE(QSettings().value(QStringLiteral("prefs/selectedDevice")).toInt(), 5);
    QVERIFY(rig.window.m_cameraButtons[5]->isChecked());
    QVERIFY(received(rig.sim(1), "81 01 04 22 00 00 00 02 FF"));

    // An ID outside the slots is replaced by the slot's number.
    moving->viscaSet(ViscaMsg::CameraId, 8, -1);
    rig.sim(0).clearReceived();
    emit rig.window.sig_resync(ResyncSlot);
    QVERIFY(received(rig.sim(0), "81 01 04 22 00 00 00 05 FF"));
    QCOMPARE(set.getAt(5), moving);
}

void TestDiscovery::reloadDuringRescan()
{
    Rig rig({ 0 });
    QVERIFY(rig.start());
    // A rebuild that starts while the ports are listed puts the scan off to a
    // fresh countdown. The camera answers one of the last questions of its
    // re-read late, so that the rebuild is still under way when the scan looks.
    rig.window.onScan = [&] {
        rig.window.onScan = nullptr;
        rig.sim(0).addFault(CamSim::Rule(CamSim::Fault::Delay).matching(hexBytes("09 04 4E")).ms(1500).times(1));
        rig.window.m_deviceSet->deviceSetReloadSelected();
    };
    rig.window.rescan(true);
    QVERIFY(rig.window.m_statusDialog);
    QVERIFY(rig.window.settle());
    rig.window.tick(500);
    QCOMPARE(rig.window.scans, 3);
    QVERIFY(rig.window.settle());

    // The window hidden, the last camera unplugged while a reload is due.
    rig.window.hide();
    rig.window.ports.clear();
    rig.window.onScan = [&] {
        rig.sim(0).hangUp();
        QTimer::singleShot(0, &rig.window, &MainWindow::slot_pnpReloadOne);
    };
    QVERIFY(rig.window.scan());
    rig.window.onScan = nullptr;
    QCOMPARE(rig.window.m_deviceSet->deviceSetCount(), 0);
    QVERIFY(rig.window.m_paneFrame->isHidden() && !rig.window.m_heroLabel->isHidden());

    // The put-off reload finds no camera: it ends the factory default too.
    rig.window.m_factoryDefaultPending = true;
    QTRY_VERIFY(!rig.window.m_factoryDefaultPending);
    QVERIFY(!rig.window.m_statusDialog);

    // Later scans still work.
    CamSim again;
    rig.window.ports = { SerialPortDesc::forDevicePath(again.devicePath()) };
    QVERIFY(rig.window.scan());
    QCOMPARE(rig.window.m_deviceSet->deviceSetCount(), 1);
}

void TestDiscovery::statusTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const std::pair<int, const char*> formats[] = { { 1, "1080i29.97" }, { 4, "1080i25" }, { 6, "1080p29.97" },
        { 8, "1080p25" }, { 9, "720p59.94" }, { 12, "720p50" }, { 19, "1080p59.94" }, { 20, "1080p50" }, { 27, "NTSC" },
        { 28, "PAL" }, { 29, "UHDp29.97" }, { 30, "UHDp25" }, { 2, "-----" } };
    for (const auto& [format, text] : formats)
        QTest::addRow("format %d", format) << statusstrip::formatText(format, false) << text;
    QTest::newRow("UHD, ePTZ on") << statusstrip::formatText(30, true) << "1080p50";
    QTest::newRow("HD, ePTZ on") << statusstrip::formatText(9, true) << "720p59.94";
    QTest::newRow("ePTZ unknown") << statusstrip::eptzText(0) << "";
    QTest::newRow("digital zoom") << statusstrip::zoomText(31424, 2) << "144x";
    QTest::newRow("super zoom") << statusstrip::zoomText(22976, 4) << "20.0x";
}

void TestDiscovery::statusTexts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

void TestDiscovery::statusStrip()
{
    Rig rig({ 0 });
    QVERIFY(rig.start());
    DeviceInterface* camera = rig.window.m_deviceSet->get();
    camera->viscaSet(ViscaMsg::VideoFormat, 29, -1);
    camera->viscaSet(ViscaMsg::EptOnOff, VISCA_OFF, -1);
    camera->viscaSet(ViscaMsg::Shutter, 21, -1);
    rig.window.tick(100);
    QCOMPARE(rig.window.strip(), QStringLiteral("UHDp29.97|YUV|EPTZ Off|Joystick Off|f3.4/0dB|1/10000|1394mm|1.0x"));
    camera->viscaSet(ViscaMsg::EptOnOff, VISCA_ON, -1);
    camera->viscaSet(ViscaMsg::ExposureMode, 13, -1);
    rig.window.tick(100);
    QCOMPARE(rig.window.strip(), QStringLiteral("1080p59.94|YUV|EPTZ On|Joystick Off|9.6/0/0dB|1/10000|1394mm|1.0x"));
}

void TestDiscovery::zoomSpeedKept_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("speed");
    QTest::newRow("5") << QVariant(5) << 5;
    // Out of range or not a number: the zoom commands would carry its low three bits.
    QTest::newRow("-1") << QVariant(-1) << 0;
    QTest::newRow("99") << QVariant(99) << 7;
    QTest::newRow("fast") << QVariant("fast") << 0;
}

void TestDiscovery::zoomSpeedKept()
{
    // The speed stored at the last exit is every camera's on the next start,
    // and the exit stores it back.
    QFETCH(QVariant, stored);
    QFETCH(int, speed);
    QSettings().setValue(QStringLiteral("prefs/camZoomSpeed"), stored);
    Rig rig({ 2, 6 });
    QVERIFY(rig.start());
    const DeviceSet& set = *rig.window.m_deviceSet;
    QCOMPARE(set.get(), set.getAt(2));
    QCOMPARE(set.getAt(2)->zoomSpeed(), speed);
    QCOMPARE(set.getAt(6)->zoomSpeed(), speed);
    rig.sim(0).clearReceived();
    rig.window.paneZoom()->zoomTeleButton()->click();
    const QByteArray start = "81 01 04 07 2" + QByteArray::number(speed) + " FF";
    QVERIFY(received(rig.sim(0), start.constData()));
    // A Global preset from a file holds any number.
    set.getAt(6)->setZoomSpeed(12);
    QCOMPARE(set.getAt(6)->zoomSpeed(), 7);
    rig.window.preferenceWrite();
    QCOMPARE(QSettings().value(QStringLiteral("prefs/camZoomSpeed")).toInt(), speed);
}

QUV_TEST_MAIN_WITH(TestDiscovery, apptest::AppApplication)
#include "test_discovery.moc"
