// The controller poll and the joystick bridge against SDL's virtual joystick.
// The test "plugs" virtual sticks that every start of SDL then finds, as it
// would find a real one, so the re-creation of SDL after a rescan re-opens them.

#include <csignal>
#include <dlfcn.h>
#include <sys/wait.h>
#include <tuple>

#include <QSignalSpy>

#include <SDL.h>

#include "app/controlbase.h"
#include "app/sdljoystick.h"
#include "quvtest.h"

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

ControlBase* plugAndStart(const QByteArray& name, int axes, int buttons)
{
    s_plugged = { { name, axes, buttons } };
    return ControlBase::GetInstance();
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
    void cleanup()
    {
        ControlBase::ReleaseInstance();
        SdlJoystick::ReleaseInstance();
    }

    // First: the warm-up counts the events of the whole process.
    void warmUpAndEventPerPoll()
    {
        s_plugged = { { "Test VM stick", 4, 29 } };
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        joystick->joystickOpen(0);
        SDL_JoystickSetVirtualAxis(stick(), 0, 20000);
        QList<int> axis0;
        for (int poll = 0; poll < 40 && axis0.size() < 11; ++poll) {
            SDL_JoystickSetVirtualButton(stick(), 5, Uint8(poll % 2)); // an event for each poll
            joystick->getdata();
            if (!joystick->axes.isEmpty())
                axis0.append(joystick->axes.at(0));
        }
        QCOMPARE(axis0, (QList<int> { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20000 }));

        SdlJoystick::ReleaseInstance(); // the count survives a new start
        SdlJoystick::GetInstance()->joystickOpen(0);
        SDL_JoystickSetVirtualAxis(stick(), 0, -20000);
        SdlJoystick::GetInstance()->getdata();
        QCOMPARE(SdlJoystick::GetInstance()->axes.value(0), -20000);
    }

    void controlMapAndNormalize()
    {
        ControlMap map;
        const std::tuple<MapType, int, TaqoOp> buttons[] = { { 1, 12, 100 }, { 1, 27, 306 }, { 1, 28, 307 },
            { 1, 16, 401 }, { 0, 16, 0 }, { 1, 29, 0 }, { 0, 0, 404 }, { 0, 1, 0 }, { 0, 12, 201 } };
        for (const auto& [layout, button, op] : buttons) {
            map.mapTypeSet(layout);
            QCOMPARE(std::make_tuple(map.mapType(), map.buttonOp(button), map.buttonSupported(button)),
                std::make_tuple(layout, op, op != 0));
        }
        for (MapType layout : { 0, 1 }) {
            map.mapTypeSet(layout);
            QVERIFY(map.axesIsReverse(1) && !map.axesIsReverse(2) && !map.axesIsReverse(4));
            QCOMPARE(QList<int>({ map.axesOp(1), map.axesOp(2), map.axesOp(3), map.axesOp(4), map.axesDeadZone(3) }),
                QList<int>({ 1001, 1002, layout * 1003, 0, 4096 }));
        }
        QCOMPARE(QList<bool>({ map.buttonOpIsPush(399), map.buttonOpIsPush(400), map.buttonOpIsPush(406),
                     map.buttonOpIsPush(407) }),
            QList<bool>({ false, true, true, false }));
        QCOMPARE(ControlBase::mapType("Taqo VM-1") * 2 + ControlBase::mapType("vm"), 2);

        const std::tuple<int, bool, double> raws[] = { { 4096, false, 0 }, { -4096, false, 0 },
            { 4097, false, 1 / 28671.0 }, { -4097, false, -1 / 28672.0 }, { -32768, false, -1 }, { 32767, true, -1 } };
        for (const auto& [raw, reverse, value] : raws) {
            bool active = value == 0;
            QCOMPARE(ControlBase::deadzoneNormalize(raw, 4096, reverse, active), value);
            QCOMPARE(active, value != 0);
        }
    }

    void buttonsAxesAndRepeatFilter()
    {
        ControlBase* control = plugAndStart("X VM", 4, 29);
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

    void failedOpenAndDelete()
    {
        s_failOpen = true;
        ControlBase* control = plugAndStart("X VM", 4, 29);
        s_failOpen = false;
        QVERIFY(!control->joystickAttached() && SdlJoystick::GetInstance()->joystickName().isEmpty());

        // The control thread deletes the object; the next one is new.
        quvtest::MessageLog log;
        delete control;
        QCOMPARE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
        QVERIFY(ControlBase::GetInstance()->joystickAttached());
        QCOMPARE(log.count("joystickSetup"), 1);
    }

    // Each rescan starts SDL again, which finds the sticks plugged at that time.
    void rescanReopens()
    {
        ControlBase* control = plugAndStart("X VM", 4, 29);
        QSignalSpy pushes(control, &ControlBase::sig_buttonPush);
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        s_plugged = { { "Pad", 1, 16 } }; // an X axis without a Y: no XY signals
        control->slot_usbRescan();
        control->slot_controlPoll();
        QVERIFY(control->joystickAttached());
        SDL_JoystickSetVirtualAxis(stick(), 0, 30000);
        for (bool down : { true, false }) {
            SDL_JoystickSetVirtualButton(stick(), 0, down);
            control->slot_controlPoll();
        }
        QCOMPARE(QList<QVariantList>(pushes), (QList<QVariantList> { { 404, true }, { 404, false } }));
        QCOMPARE(xy.size(), 0);
        s_plugged.clear();
        control->slot_usbRescan();
        control->slot_controlPoll();
        QVERIFY(!control->joystickAttached());
    }

    // SDL, started a second time by a rescan, leaves SIGTERM to end the process.
    void sigtermEndsTheProcess()
    {
        const pid_t child = fork();
        if (child == 0) {
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
            signal(SIGTERM, SIG_DFL); // as in the application, not the test's crash handler
            ControlBase::GetInstance()->slot_usbRescan();
            ControlBase::GetInstance()->slot_controlPoll();
            raise(SIGTERM);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status), 143);
    }
};

QUV_TEST_MAIN(TestController)
#include "test_controller.moc"
