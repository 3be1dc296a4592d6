// Controller and keyboard input. The controller poll and the joystick bridge
// run against SDL's virtual joystick: the test "plugs" virtual sticks that
// every start of SDL then finds, as it would find a real one, so the
// re-creation of SDL after a rescan re-opens them. The main window's keys,
// controller actions and main menu are checked by the packets a simulated
// camera receives.

#include <csignal>
#include <dlfcn.h>
#include <sys/wait.h>
#include <tuple>

#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>

#include <SDL.h>

#include "app/controlbase.h"
#include "app/scanprogressdialog.h"
#include "app/sdljoystick.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "testwindow.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

QList<std::tuple<QByteArray, int, int>> s_plugged; // name, axes, buttons
bool s_failOpen = false;

template<typename F> F realSdl(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The opened virtual stick, to move its controls.
SDL_Joystick* stick()
{
    return SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(0));
}

void rescan(ControlBase* control)
{
    control->slot_usbRescan();
    control->slot_controlPoll();
}

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

// Chooses the main menu's item with this text; whether "Use Deep Rescan" was checked.
bool choose(apptest::TestWindow& window, const QString& text)
{
    bool deepScanChecked = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QuvMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QuvMenu*>(QApplication::activePopupWidget());
        deepScanChecked = menu->itemChecked(menu->indexOfItemMatchingText("Use Deep Rescan"));
        QAction* item = menu->actionAt(menu->indexOfItemMatchingText(text));
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(item).center());
    });
    window.slot_contextMainWindow(QPoint(5, 5));
    return deepScanChecked;
}

} // namespace

extern "C" int SDL_Init(Uint32 flags)
{
    const int result = realSdl<int (*)(Uint32)>("SDL_Init")(flags);
    for (const auto& [name, axes, buttons] : s_plugged) {
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        std::tie(desc.name, desc.naxes, desc.nbuttons) = std::make_tuple(name.constData(), axes, buttons);
        SDL_JoystickAttachVirtualEx(&desc);
    }
    return result;
}

// A listed joystick that cannot be opened (no access to its device node).
extern "C" SDL_Joystick* SDL_JoystickOpen(int index)
{
    return s_failOpen ? nullptr : realSdl<SDL_Joystick* (*)(int)>("SDL_JoystickOpen")(index);
}

class TestController : public QObject
{
    Q_OBJECT

private slots:
    // Only the test scans: the window's countdown armed at start never runs out.
    void initTestCase() { paneclock::setSourceForTesting(apptest::testClock); }
    void init() { QSettings().clear(); }
    void cleanup()
    {
        ControlBase::ReleaseInstance();
        SdlJoystick::ReleaseInstance();
        s_plugged.clear();
    }

    // First: the warm-up counts the events of the whole process.
    void buttonsAxesAndRepeatFilter()
    {
        s_plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        SDL_JoystickSetVirtualAxis(stick(), 0, 20000);
        QList<int> axis0;
        for (int poll = 0; poll < 40 && axis0.size() < 11; ++poll) {
            SDL_JoystickSetVirtualButton(stick(), 5, Uint8(poll % 2)); // an event for each poll
            control->slot_controlPoll();
            if (!joystick->axes.isEmpty())
                axis0.append(joystick->axes.at(0));
        }
        QCOMPARE(axis0, (QList<int> { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20000 }));
        QCOMPARE(joystick->axes.size() * 100 + joystick->buttons.size(), 429);
        SDL_JoystickSetVirtualButton(stick(), 5, 0);
        SDL_JoystickSetVirtualAxis(stick(), 0, 0);
        control->slot_controlPoll();
        QSignalSpy clicks(control, &ControlBase::sig_buttonClick);
        QSignalSpy pushes(control, &ControlBase::sig_buttonPush);
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        QSignalSpy z(control, &ControlBase::sig_joystickZ);
        QSignalSpy s(control, &ControlBase::sig_joystickS);
        for (bool down : { true, false }) {
            SDL_JoystickSetVirtualButton(stick(), 12, down);
            control->slot_controlPoll();
        }
        const int raw[] = { 32767, 32767, 4096, -32768 };
        for (int axis = 0; axis < 4; ++axis)
            SDL_JoystickSetVirtualAxis(stick(), axis, Sint16(raw[axis]));
        control->slot_controlPoll();
        control->slot_controlPoll(); // no event: the last values again, unchanged
        QCOMPARE(
            xy.mid(xy.size() - 2), (QList<QVariantList> { { 1.0, -1.0, true, true }, { 1.0, -1.0, true, false } }));
        QCOMPARE(z.last(), (QVariantList { 0.0, false, false }));
        QCOMPARE(s.mid(s.size() - 2), (QList<QVariantList> { { -1.0, true, true }, { -1.0, true, false } }));
        // Y at rest, X still out: on, and no change of zone.
        SDL_JoystickSetVirtualAxis(stick(), 0, -32768);
        SDL_JoystickSetVirtualAxis(stick(), 1, 0);
        control->slot_controlPoll();
        QCOMPARE(xy.last(), (QVariantList { -1.0, 0.0, true, false }));

        quvtest::MessageLog log;
        // Button 29 is in no table but is remembered: the (5, down) after it passes.
        const QList<QPair<unsigned, bool>> changes = { { 5, true }, { 5, true }, { 5, false }, { 5, true },
            { 27, true }, { 27, true }, { 5, true }, { 29, true }, { 5, true }, { 21, true }, { 21, false } };
        for (const auto& change : changes)
            control->buttonChanged(change.first, change.second);
        QCOMPARE(QList<QVariantList>(clicks),
            (QList<QVariantList> { { 100 }, { 107 }, { 107 }, { 306 }, { 306 }, { 107 }, { 107 } }));
        QCOMPARE(QList<QVariantList>(pushes), (QList<QVariantList> { { 406, true }, { 406, false } }));
        QCOMPARE(
            log.messages().filter(QRegularExpression("^filtered button press time=\\d+, button=5, down=1$")).size(), 1);
    }

    void controlMapAndNormalize()
    {
        ControlMap map;
        map.mapTypeSet(1);
        QCOMPARE(QList<int>({ map.buttonOp(28), map.buttonOp(16), map.axesOp(3) }), QList<int>({ 307, 401, 1003 }));
        map.mapTypeSet(0); // emptied first
        QCOMPARE(QList<int>({ map.buttonOp(16), map.buttonOp(12), map.axesOp(3), map.axesOp(4), map.mapType() }),
            QList<int>({ 0, 201, 0, 0, 0 }));
        QVERIFY(!map.buttonSupported(1) && map.buttonSupported(0) && map.axesIsReverse(1) && !map.axesIsReverse(2));
        QCOMPARE(ControlBase::mapType("Taqo VM-1") * 2 + ControlBase::mapType("vm"), 2);
        bool active[3] = { false, false, true };
        QCOMPARE(QList<double>({ ControlBase::deadzoneNormalize(4097, 4096, false, active[0]),
                     ControlBase::deadzoneNormalize(-4097, 4096, false, active[1]),
                     ControlBase::deadzoneNormalize(-4096, 4096, false, active[2]) }),
            QList<double>({ 1 / 28671.0, -1 / 28672.0, 0 }));
        QVERIFY(active[0] && active[1] && !active[2]);
    }

    // A failed open, then rescans: each starts SDL again, which finds the sticks plugged at that time.
    void openRescanAndDelete()
    {
        s_failOpen = true;
        s_plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        s_failOpen = false;
        QVERIFY(!control->joystickAttached() && !control->buttonPoll());
        QSignalSpy pushes(control, &ControlBase::sig_buttonPush);
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        s_plugged = { { "Pad", 1, 16 } }; // an X axis without a Y: no XY signals
        rescan(control);
        SDL_JoystickSetVirtualAxis(stick(), 0, 30000);
        for (bool down : { true, false }) {
            SDL_JoystickSetVirtualButton(stick(), 0, down);
            control->slot_controlPoll();
        }
        QCOMPARE(QList<QVariantList>(pushes), (QList<QVariantList> { { 404, true }, { 404, false } }));
        QCOMPARE(xy.size(), 0);
        s_plugged.clear();
        rescan(control);
        QVERIFY(!control->joystickAttached());

        // The control thread deletes the object; the next one is new.
        quvtest::MessageLog log;
        delete control;
        QCOMPARE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
        QVERIFY(!ControlBase::GetInstance()->joystickAttached());
        QCOMPARE(log.count("joystickSetup"), 1);
    }

    // SDL, started a second time by a rescan, leaves SIGTERM to end the process.
    void sigtermEndsTheProcess()
    {
        const pid_t child = fork();
        if (child == 0) {
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
            signal(SIGTERM, SIG_DFL); // as in the application, not the test's crash handler
            rescan(ControlBase::GetInstance());
            raise(SIGTERM);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status), 143);
    }

    void keys()
    {
        Rig rig;
        rig.sim.setValue(hexBytes("04 38"), hexBytes("03")); // manual focus
        rig.sim.setValue(hexBytes("04 39"), hexBytes("0D")); // bright mode: each step one brightness packet
        QVERIFY(rig.window.scan());
        rig.sent("");
        // Every change of zoom state goes out twice: the jog echoes it.
        QTest::keyClicks(&rig.window, "LLLJJJLK++--");
        QCOMPARE(
            rig.sent("81 01 04 07"), QStringLiteral("20 20 21 22 21 20 00 00 20 20 00 00 20 20 00 00 30 30 00 00"));
        QLineEdit field; // keys taken in every window
        QTest::keyClick(&field, Qt::Key_Right);
        QTest::simulateEvent(&field, true, Qt::Key_Left, Qt::NoModifier, QString(), true); // auto-repeat
        QTest::keyClick(&field, Qt::Key_Left);
        rig.window.selectPane(PaneTypeSettings); // no zoom toggles there, but the steps drive the camera pane
        QTest::keyClicks(&rig.window, "+LK");
        QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("20 20 00 00 20 20 00 00"));
        QTest::keyClick(&field, Qt::Key_Space);
        QVERIFY(field.text().isEmpty());
        QCOMPARE(rig.sent("81 01 04 38"), QStringLiteral("02 10"));
        for (int i = 0; i < 3; ++i) {
            QTest::simulateEvent(&field, true, Qt::Key_Up, Qt::NoModifier, QString(), i > 0);
            QVERIFY(rig.sim.waitForPacket(hexBytes("81 01 04 4D")));
            rig.sent("");
        }
    }

    void controllerAndMenu()
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

        const bool deepScan = DeviceInterface::deepScanEnabled();
        QCOMPARE(choose(rig.window, "Use Deep Rescan"), deepScan);
        QCOMPARE(DeviceInterface::deepScanEnabled(), !deepScan);
        DeviceInterface::setDeepScanEnabled(deepScan);
        choose(rig.window, "Rescan for TaqoCams");
        const std::pair<const char*, const char*> items[]
            = { { "Lens Initialize", "81 01 04 19 01 FF" }, { "Set Default", "81 01 04 3F 01 7F FF" },
                  { "Refresh UI Controls", "81 09 04 00 FF" }, { "QUV Factory Default", "81 01 04 3F 00 7F FF" } };
        for (const auto& [item, packet] : items) {
            choose(rig.window, item);
            QVERIFY2(rig.other.waitForPacket(hexBytes(packet)), item);
        }
        choose(rig.window, "About...");
        QCOMPARE(rig.window.m_statusDialog->windowTitle(), QStringLiteral("About TaqoControl"));
    }
};

QUV_TEST_GUI_MAIN(TestController)
#include "test_controller.moc"
