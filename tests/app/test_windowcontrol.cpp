// The main window's keys, controller actions and main menu, by the packets a
// simulated camera receives.

#include "app/scanprogressdialog.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "testwindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

// Cameras with IDs 0 and 2 in slots 1 and 3, slot 1 selected.
struct Rig
{
    Rig()
    {
        other.setWord(hexBytes("04 22"), 2);
        window.ports
            = { SerialPortDesc::forDevicePath(sim.devicePath()), SerialPortDesc::forDevicePath(other.devicePath()) };
    }
    // The packets starting with prefix since the last call, as "20 21 ..." (the byte after prefix).
    QString sent(const char* prefix)
    {
        QStringList bytes;
        for (const QByteArray& packet : quvtest::packetsStartingWith(sim.received(), hexBytes(prefix)))
            bytes.append(quvtest::hexString(packet.mid(hexBytes(prefix).size(), 1)));
        sim.clearReceived();
        return bytes.join(' ');
    }
    CamSim sim;
    CamSim other;
    apptest::TestWindow window;
};

void key(QObject* target, Qt::Key key, QEvent::Type type = QEvent::KeyPress, bool autoRepeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &event);
}

// Chooses the main menu's item with this text; the item texts in order, "*" before a checked one.
QStringList choose(apptest::TestWindow& window, const QString& text)
{
    QStringList items;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QuvMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QuvMenu*>(QApplication::activePopupWidget());
        QTRY_VERIFY(menu->isVisible());
        for (int i = 0; i < menu->count(); ++i)
            items.append((menu->itemChecked(i) ? "*" : "") + menu->itemText(i));
        QAction* item = menu->actionAt(menu->indexOfItemMatchingText(text));
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
    });
    window.slot_contextMainWindow(QPoint(5, 5));
    return items;
}

} // namespace

class TestWindowControl : public QObject
{
    Q_OBJECT

private slots:
    // Only the test scans: the countdown armed at start never runs out.
    void initTestCase() { paneclock::setSourceForTesting(apptest::testClock); }
    void init() { QSettings().clear(); }

    void zoomKeys()
    {
        Rig rig;
        QVERIFY(rig.window.scan());
        rig.sent("");
        QTest::keyClicks(&rig.window, "LLLJJJLK++--");
        QCOMPARE(
            rig.sent("81 01 04 07"), QStringLiteral("20 20 21 22 21 20 00 00 20 20 00 00 20 20 00 00 30 30 00 00"));
        key(&rig.window, Qt::Key_Right);
        key(&rig.window, Qt::Key_Left, QEvent::KeyPress, true);
        key(&rig.window, Qt::Key_Left);
        rig.window.selectPane(PaneTypeSettings); // no zoom toggles there, but the steps drive the camera pane
        QTest::keyClicks(&rig.window, "+LK");
        QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("20 20 00 00 20 20 00 00"));
        rig.window.cmdZoom(999);
        QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("00"));
    }

    void keysTakenEverywhere()
    {
        Rig rig;
        rig.sim.setValue(hexBytes("04 38"), hexBytes("03")); // manual focus
        rig.sim.setValue(hexBytes("04 39"), hexBytes("0D")); // bright mode: each step one brightness packet
        QVERIFY(rig.window.scan());
        QLineEdit field;
        rig.sent("");
        for (QEvent::Type type : { QEvent::KeyPress, QEvent::KeyRelease })
            key(&field, Qt::Key_Space, type);
        QVERIFY(field.text().isEmpty());
        QCOMPARE(rig.sent("81 01 04 38"), QStringLiteral("02 10"));
        for (int i = 0; i < 3; ++i) {
            key(&field, Qt::Key_Up, QEvent::KeyPress, i > 0);
            QVERIFY(rig.sim.waitForPacket(hexBytes("81 01 04 4D")));
            rig.sent("");
        }
    }

    void controller()
    {
        Rig rig;
        QVERIFY(rig.window.scan());
        rig.window.slot_controlButtonPush(404, true);
        rig.window.slot_controlButtonClick(202);
        QVERIFY(!rig.window.m_cameraButtons[2]->isChecked());
        rig.window.slot_controlButtonPush(404, false);
        rig.window.slot_controlButtonClick(201); // an empty slot
        QVERIFY(rig.window.m_cameraButtons[0]->isChecked());
        rig.window.slot_controlButtonClick(202);
        QCOMPARE(rig.window.m_deviceSet->selectedIndex(), 2);
        rig.window.slot_controlButtonClick(301);
        QVERIFY(rig.window.isMinimized());
        rig.window.slot_controlButtonClick(301);
        QVERIFY(!rig.window.isMinimized());
    }

    void mainMenu()
    {
        Rig rig;
        QVERIFY(rig.window.scan());
        const bool deepScan = DeviceInterface::deepScanEnabled();
        QCOMPARE(choose(rig.window, "Use Deep Rescan"),
            QStringList({ "Rescan for TaqoCams", QString(deepScan ? "*" : "") + "Use Deep Rescan", "",
                "Refresh UI Controls", "Lens Initialize", "", "Set Default", "Recall Default", "",
                "QUV Factory Default", "", "About..." }));
        QCOMPARE(DeviceInterface::deepScanEnabled(), !deepScan);
        rig.sent("");
        choose(rig.window, "Rescan for TaqoCams");
        const std::pair<const char*, const char*> items[]
            = { { "Lens Initialize", "81 01 04 19 01 FF" }, { "Set Default", "81 01 04 3F 01 7F FF" },
                  { "Refresh UI Controls", "81 09 04 00 FF" }, { "QUV Factory Default", "81 01 04 3F 00 7F FF" } };
        for (const auto& [item, packet] : items) {
            choose(rig.window, item);
            QVERIFY2(rig.sim.waitForPacket(hexBytes(packet)), item);
        }
        choose(rig.window, "About...");
        QCOMPARE(rig.window.m_statusDialog->windowTitle(), QStringLiteral("About TaqoControl"));
        quvtest::MessageLog log;
        rig.window.slot_contextCamera(QPoint(1, 2));
        QCOMPARE(log.messages(), QStringList("slot_contextCamera QPoint(1,2)"));
        DeviceInterface::setDeepScanEnabled(deepScan);
    }
};

QUV_TEST_GUI_MAIN(TestWindowControl)
#include "test_windowcontrol.moc"
