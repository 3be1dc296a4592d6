// Controller and keyboard input. The controller poll and the joystick bridge
// run against SDL's virtual joystick: the test "plugs" virtual sticks that
// every start of SDL then finds, as it would find a real one, so the
// re-creation of SDL after a rescan re-opens them (virtualsticks.h). The
// program without SDL runs without a joystick. The main window's keys,
// controller actions and main menu are checked by the packets a simulated
// camera receives.

#include <algorithm>
#include <csignal>
#include <dlfcn.h>
#include <functional>
#include <memory>
#include <sys/wait.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

#include <SDL.h>

#include "answering.h"
#include "app/controlbase.h"
#include "app/scanprogressdialog.h"
#include "app/sdljoystick.h"
#include "camsim.h"
#include "device/deviceinterface.h"
#include "panes/panecamera.h"
#include "panes/paneeptz.h"
#include "panes/segmentslider.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvtest.h"
#include "testwindow.h"
#include "virtualsticks.h"

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

using apptest::sticks::failOpen;
using apptest::sticks::plugged;

// The opened virtual stick, to move its controls.
SDL_Joystick* stick()
{
    return apptest::sticks::first();
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
    // The packets a camera received starting with prefix since the last call, as "20 21 ..." (the byte
    // after prefix).
    QString sent(const char* prefix, CamSim* camera = nullptr)
    {
        camera = camera ? camera : &sim;
        QStringList bytes;
        for (const QByteArray& packet : quvtest::packetsStartingWith(camera->received(), hexBytes(prefix)))
            bytes.append(quvtest::hexString(packet.mid(hexBytes(prefix).size(), 1)));
        camera->clearReceived();
        return bytes.join(' ');
    }
    CamSim sim;
    CamSim other;
    apptest::TestWindow window;
};

// Chooses the main menu's item with this text, opened at (100, 100) of the
// window; *shown gets what the menu showed.
bool choose(apptest::TestWindow& window, const QString& text, quvtest::Shown* shown = nullptr)
{
    QList<quvtest::Shown> menus;
    QString failure;
    if (!quvtest::answerWhile([&] { window.slot_contextMainWindow(QPoint(100, 100)); }, { text }, &menus, &failure)) {
        QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
        return false;
    }
    QUV_COMPARE_OR_FALSE(menus.size(), 1);
    QUV_COMPARE_OR_FALSE(menus.first().className, QStringLiteral("QuvMenu"));
    QUV_COMPARE_OR_FALSE(menus.first().pos, window.mapToGlobal(QPoint(100, 100)) - QPoint(10, 10));
    if (shown)
        *shown = menus.first();
    return true;
}

// Polls the plugged stick, an event each time, until its axes report it
// pushed (the first ten events of the process report them at rest), then
// brings it back to rest; false when they never do.
bool warmUp(ControlBase* control, SdlJoystick* joystick)
{
    SDL_JoystickSetVirtualAxis(stick(), 0, 20000);
    bool reported = false;
    for (int poll = 0; poll < 40 && !reported; ++poll) {
        SDL_JoystickSetVirtualButton(stick(), 5, Uint8(poll % 2));
        control->slot_controlPoll();
        reported = !joystick->axes.isEmpty() && joystick->axes.at(0) == 20000;
    }
    SDL_JoystickSetVirtualButton(stick(), 5, 0);
    SDL_JoystickSetVirtualAxis(stick(), 0, 0);
    control->slot_controlPoll();
    return reported;
}

// Set in a run of this program that runs one test function alone.
const char* const FRESH_RUN = "QUV_CONTROLLER_FRESH_RUN";

// Runs the test function alone in a fresh run of this program; false, with
// the run's output, when it fails.
bool runFresh(const char* function)
{
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(FRESH_RUN), QStringLiteral("1"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QCoreApplication::applicationFilePath(), { QLatin1String(function) });
    QUV_VERIFY_OR_FALSE(run.waitForFinished(120000));
    const QByteArray output = run.readAll();
    if (run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0) {
        QTest::qFail(output.constData(), __FILE__, __LINE__);
        return false;
    }
    return true;
}

} // namespace

class TestController : public QObject
{
    Q_OBJECT

private slots:
    // Only the test scans: the window's countdown armed at start never runs out.
    void initTestCase()
    {
        paneclock::setSourceForTesting(quvtest::steppedClock);
        QVERIFY(apptest::sticks::install());
    }
    void init() { QSettings().clear(); }
    void cleanup()
    {
        ControlBase::ReleaseInstance();
        SdlJoystick::ReleaseInstance();
        plugged.clear();
    }

    // The first ten events of the process report every axis at rest, however
    // far the stick is pushed; the eleventh reports it. The count is the
    // process's own, so the check runs alone in a fresh run of this program.
    void firstTenEventsRestTheAxes()
    {
        if (!qEnvironmentVariableIsSet(FRESH_RUN)) {
            QVERIFY(runFresh("firstTenEventsRestTheAxes"));
            return;
        }
        plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        control->slot_usbRescan();
        control->slot_controlPoll(); // starts SDL, opens the stick and takes its first event
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        QList<int> axis0;
        if (!joystick->axes.isEmpty())
            axis0.append(joystick->axes.at(0));
        SDL_JoystickSetVirtualAxis(stick(), 0, 20000);
        for (int poll = 0; poll < 40 && axis0.size() < 11; ++poll) {
            SDL_JoystickSetVirtualButton(stick(), 5, Uint8(poll % 2)); // an event for each poll
            control->slot_controlPoll();
            if (!joystick->axes.isEmpty())
                axis0.append(joystick->axes.at(0));
        }
        QCOMPARE(axis0, (QList<int> { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20000 }));
    }

    // A poll reads every axis and button of the stick; button changes become
    // operations, the axes normalised values, and entering or leaving the
    // dead zone is a change.
    void buttonsAndAxes()
    {
        plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        rescan(control);
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        QVERIFY(warmUp(control, joystick));
        QCOMPARE(joystick->axes.size(), 4);
        QCOMPARE(joystick->buttons.size(), 29);
        QSignalSpy clicks(control, &ControlBase::sig_buttonClick);
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        QSignalSpy z(control, &ControlBase::sig_joystickZ);
        QSignalSpy s(control, &ControlBase::sig_joystickS);
        for (int button : { 12, 28 }) { // the first preset and the last button
            for (bool down : { true, false }) {
                SDL_JoystickSetVirtualButton(stick(), button, down);
                QCOMPARE(control->buttonPoll(), true);
            }
        }
        QCOMPARE(QList<QVariantList>(clicks), (QList<QVariantList> { { 100 }, { 307 } }));
        const int raw[] = { 32767, 32767, 4097, -4096 - 14336 };
        for (int axis = 0; axis < 4; ++axis)
            SDL_JoystickSetVirtualAxis(stick(), axis, Sint16(raw[axis]));
        for (bool entered : { true, false }) {
            joystick->getdata();
            QCOMPARE(control->joystickUpdate(), entered); // then the same values again
        }
        QCOMPARE(
            xy.mid(xy.size() - 2), (QList<QVariantList> { { 1.0, -1.0, true, true }, { 1.0, -1.0, true, false } }));
        QCOMPARE(z.last(), (QVariantList { 1 / 28671.0, true, false }));
        QCOMPARE(s.mid(s.size() - 2), (QList<QVariantList> { { -0.5, true, true }, { -0.5, true, false } }));
        // Y at rest, X still out: on, and no change of zone.
        SDL_JoystickSetVirtualAxis(stick(), 0, -32768);
        SDL_JoystickSetVirtualAxis(stick(), 1, 0);
        control->slot_controlPoll();
        QCOMPARE(xy.last(), (QVariantList { -1.0, 0.0, true, false }));
    }

    // The same change of the same button within 100 ms is a bounce, except
    // for the second pair of exposure buttons; a button in no table is
    // remembered all the same.
    void repeatFilter()
    {
        plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        rescan(control); // the stick's name chooses the button table
        QSignalSpy clicks(control, &ControlBase::sig_buttonClick);
        QSignalSpy pushes(control, &ControlBase::sig_buttonPush);
        // The last change passed is remembered for the whole process: a release
        // of button 0, which sends nothing, makes it one the changes below do not
        // repeat (filtered or not: an earlier test may have left it last).
        control->buttonChanged(0, false);
        quvtest::MessageLog log;
        // Button 29 is in no table but is remembered: the (5, down) after it passes.
        const QList<QPair<unsigned, bool>> changes
            = { { 5, true }, { 5, true }, { 5, false }, { 5, true }, { 27, true }, { 27, true }, { 28, true },
                  { 28, true }, { 5, true }, { 29, true }, { 5, true }, { 21, true }, { 21, false } };
        for (const auto& change : changes)
            control->buttonChanged(change.first, change.second);
        QCOMPARE(QList<QVariantList>(clicks),
            (QList<QVariantList> { { 107 }, { 107 }, { 306 }, { 306 }, { 307 }, { 307 }, { 107 }, { 107 } }));
        QCOMPARE(QList<QVariantList>(pushes), (QList<QVariantList> { { 406, true }, { 406, false } }));
        for (const char* line : { "^button press time=\\d+, button=5, down=1$", "^filtered button press time" })
            QCOMPARE(log.messages().filter(QRegularExpression(line)).size(), 1);
    }

    // A new controller measures its first change from its set-up: the same
    // change as the process's last one passes when it comes 100 ms or more
    // after the set-up.
    void repeatFilterStartsAtTheSetUp()
    {
        plugged = { { "X VM", 4, 29 } };
        for (int controller = 0; controller < 2; ++controller) {
            ControlBase* control = ControlBase::GetInstance();
            rescan(control);
            QElapsedTimer sinceSetUp;
            sinceSetUp.start();
            QSignalSpy clicks(control, &ControlBase::sig_buttonClick);
            QVERIFY(QTest::qWaitFor([&] { return sinceSetUp.elapsed() > 150; }));
            control->buttonChanged(5, true);
            QCOMPARE(QList<QVariantList>(clicks), (QList<QVariantList> { { 107 } }));
            ControlBase::ReleaseInstance();
        }
    }

    // Opening another stick closes the one open before.
    void openAnother()
    {
        plugged = { { "X VM", 4, 29 }, { "Pad", 1, 16 } };
        rescan(ControlBase::GetInstance());
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        const SDL_JoystickID first = joystick->joystickCurrent();
        QVERIFY(SDL_JoystickFromInstanceID(first));
        joystick->joystickOpen(1);
        QVERIFY(joystick->joystickOpened());
        QCOMPARE(joystick->joystickName(), QStringLiteral("Pad"));
        QVERIFY(!SDL_JoystickFromInstanceID(first));
    }

    void controlMap()
    {
        // The operations of each layout, sorted, and its buttons: on the camera joystick (1) presets 1 to 12
        // and camera slots 1 to 4, two buttons for each exposure step.
        const QList<int> ops[2] = { { 200, 201, 202, 203, 300, 301, 303, 304, 306, 307, 401, 403, 404, 406 },
            { 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 200, 201, 202, 203, 300, 301, 303, 304, 305,
                306, 306, 307, 307, 401, 403, 405, 406 } };
        QList<int> buttons[2] = { { 0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15 }, {} };
        for (int button = 0; button < 29; ++button)
            buttons[1].append(button);
        ControlMap map;
        for (MapType type : { 1, 0 }) { // each emptied first
            map.mapTypeSet(type);
            QList<int> mappedButtons, mappedOps, axes;
            for (int button = 0; button < 64; ++button) {
                if (map.buttonSupported(button)) {
                    mappedButtons.append(button);
                    mappedOps.append(map.buttonOp(button));
                }
            }
            std::sort(mappedOps.begin(), mappedOps.end());
            QList<bool> reversed;
            for (int axis = 0; axis < 5; ++axis) {
                axes.append(map.axesOp(axis));
                reversed.append(map.axesIsReverse(axis));
            }
            QCOMPARE(mappedOps, ops[type]);
            QCOMPARE(mappedButtons, buttons[type]);
            QCOMPARE(axes, (QList<int> { 1000, 1001, 1002, type == 1 ? 1003 : 0, 0 }));
            QCOMPARE(reversed, (QList<bool> { false, true, false, false, false }));
            QCOMPARE(map.mapType(), type);
        }
        QCOMPARE(map.buttonOp(1), 0);
        QVERIFY(!map.buttonOpIsPush(399));
        QVERIFY(map.buttonOpIsPush(400));
        QVERIFY(map.buttonOpIsPush(406));
        QVERIFY(!map.buttonOpIsPush(407));
        QCOMPARE(ControlBase::mapType("Taqo VM-1"), 1);
        QCOMPARE(ControlBase::mapType("vm"), 0);
    }

    void deadzoneNormalize()
    {
        const struct
        {
            int raw;
            bool reverse;
            double value; // 0: inactive
        } rows[] = { { 4096, false, 0.0 }, { 4097, false, 1 / 28671.0 }, { -4096, false, 0.0 },
            { -4097, false, -1 / 28672.0 }, { -32768, false, -1.0 }, { 32767, true, -1.0 } };
        for (const auto& row : rows) { // the negative half is one step longer
            bool active = row.value == 0.0;
            QCOMPARE(ControlBase::deadzoneNormalize(row.raw, 4096, row.reverse, active), row.value);
            QCOMPARE(active, row.value != 0.0);
        }
    }

    // A failed open, then rescans: each starts SDL again, which finds the sticks plugged at that time.
    void openRescanAndDelete()
    {
        failOpen = true;
        plugged = { { "X VM", 4, 29 } };
        ControlBase* control = ControlBase::GetInstance();
        rescan(control);
        failOpen = false;
        QVERIFY(!control->joystickAttached() && !control->buttonPoll());
        QVERIFY(SdlJoystick::GetInstance()->joystickName().isEmpty());
        QSignalSpy pushes(control, &ControlBase::sig_buttonPush);
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        plugged = { { "Pad", 1, 16 } }; // an X axis without a Y: no XY signals
        rescan(control);
        SDL_JoystickSetVirtualAxis(stick(), 0, 30000);
        for (bool down : { true, false }) {
            SDL_JoystickSetVirtualButton(stick(), 0, down);
            control->slot_controlPoll();
        }
        QCOMPARE(QList<QVariantList>(pushes), (QList<QVariantList> { { 404, true }, { 404, false } }));
        QCOMPARE(xy.size(), 0);
        plugged.clear();
        rescan(control);
        QVERIFY(!control->joystickAttached());

        // The control thread deletes the object; the next one is new.
        quvtest::MessageLog log;
        delete control;
        QCOMPARE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
        plugged = { { "X VM", 4, 29 } };
        control = ControlBase::GetInstance();
        QVERIFY(!control->joystickAttached());
        QCOMPARE(log.count("joystickSetup"), 0);
        rescan(control);
        QVERIFY(control->joystickAttached());
        QCOMPARE(log.count("joystickSetup"), 1);
    }

    // A new controller starts no SDL (and loads none): each rescan request starts it, and every start
    // has SDL leave the signals alone.
    void everyStartKeepsTheSignals()
    {
        ControlBase::ReleaseInstance();
        const int before = apptest::sticks::starts;
        ControlBase* control = ControlBase::GetInstance();
        control->slot_controlPoll();
        QCOMPARE(apptest::sticks::starts - before, 0);
        // Without a joystick yet, the public steps of a poll do nothing, and a
        // set-up finds none and starts no SDL.
        QSignalSpy xy(control, &ControlBase::sig_joystickXY);
        QVERIFY(!control->buttonProcess() && !control->joystickUpdate());
        QCOMPARE(xy.size(), 0);
        control->joystickSetup();
        QVERIFY(!control->joystickAttached());
        QCOMPARE(apptest::sticks::starts - before, 0);
        rescan(control);
        rescan(control);
        QCOMPARE(apptest::sticks::starts - before, 2);
        QCOMPARE(int(apptest::sticks::startsWithSignalHandlers), 0);
    }

    // A machine without SDL: one line says so, and the controller and the window run without a joystick.
    void withoutSdl()
    {
        {
            quvtest::MessageLog log;
            QVERIFY(!sdlapi::load("libSDL2-absent.so.0"));
            // A library, but not SDL, that nothing here has loaded (the X
            // test extension): it is let go again.
            const char* const notSdl = "libxcb-xtest.so.0";
            QVERIFY(!dlopen(notSdl, RTLD_NOW | RTLD_NOLOAD));
            QVERIFY(!sdlapi::load(notSdl));
            QVERIFY(!dlopen(notSdl, RTLD_NOW | RTLD_NOLOAD));
            const QStringList lines = log.messages();
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).startsWith("SdlJoystick: no joystick support: libSDL2-absent.so.0: "),
                qPrintable(lines.at(0)));
            QVERIFY2(
                lines.at(1).startsWith("SdlJoystick: no joystick support: ") && lines.at(1).contains("SDL_SetHint"),
                qPrintable(lines.at(1)));
        }
        const std::unique_ptr<const SdlApi> system(sdlapi::load(sdlapi::libraryName()));
        QVERIFY(system && system->JoystickGetButton == &SDL_JoystickGetButton);

        plugged = { { "Taqo VM", 4, 29 } };
        sdlapi::setForTesting(nullptr);
        const auto restore = qScopeGuard([] { apptest::sticks::install(); });
        SdlJoystick* joystick = SdlJoystick::GetInstance();
        QCOMPARE(joystick->joysticksCount(), 0);
        QCOMPARE(joystick->joystickNumAxes(), -1);
        QCOMPARE(joystick->joystickNumButtons(), -1);
        QCOMPARE(joystick->joystickCurrent(), -1);
        joystick->joystickOpen(0);
        joystick->getdata();
        QVERIFY(!joystick->joystickOpened());
        QVERIFY(joystick->joystickName().isEmpty());
        QVERIFY(joystick->axes.isEmpty());
        ControlBase* control = ControlBase::GetInstance();
        rescan(control);
        QVERIFY(!control->joystickAttached() && !control->buttonPoll());
        QVERIFY(!control->buttonProcess() && !control->joystickUpdate());
        control->slot_controlPoll();
        ControlBase::ReleaseInstance();
        {
            Rig rig;
            QVERIFY(rig.window.scan());
            rig.window.syncInfo();
            QCOMPARE(rig.window.m_joystickLabel->text(), QStringLiteral("Joystick Off"));
            rig.sent("");
            QTest::keyClick(&rig.window, Qt::Key_L);
            QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("20 20"));
        }
        QCOMPARE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
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

    // The window's own controller on its control thread: the strip, a rescan re-opening the stick, a button.
    void joystickDrivesTheWindow()
    {
        ControlBase::ReleaseInstance();
        plugged = { { "Taqo VM", 4, 29 } };
        const int before = apptest::sticks::starts;
        Rig rig;
        // Built, shown and polled on its control thread, the window has not started SDL: its first scan does.
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QVERIFY(QMetaObject::invokeMethod(
            rig.window.m_controlBase, "slot_controlPoll", Qt::BlockingQueuedConnection));
        QCOMPARE(apptest::sticks::starts - before, 0);
        rig.window.syncInfo();
        QCOMPARE(rig.window.m_joystickLabel->text(), QStringLiteral("Joystick Off"));
        QVERIFY(rig.window.scan());
        QTRY_VERIFY_WITH_TIMEOUT(rig.window.m_controlBase->joystickAttached(), 10000);
        rig.window.syncInfo();
        QCOMPARE(rig.window.m_joystickLabel->text(), QStringLiteral("Joystick On"));
        rig.sent("");
        SDL_JoystickSetVirtualButton(stick(), 24, 1); // zoom toward tele
        QTRY_VERIFY_WITH_TIMEOUT(rig.sim.waitForPacket(hexBytes("81 01 04 07 20 FF"), 0), 10000);
    }

    void keys()
    {
        Rig rig;
        rig.sim.setValue(hexBytes("04 38"), hexBytes("03")); // manual focus
        rig.sim.setValue(hexBytes("04 39"), hexBytes("0D")); // bright mode: each step one brightness packet
        QVERIFY(rig.window.scan());
        rig.sent("");
        auto* camera = qobject_cast<PaneCamera*>(rig.window.m_panes.at(PaneTypeCamera));
        // Every change of zoom state goes out twice: the jog echoes it. Return and Enter do nothing, though
        // the dialog has a default button.
        rig.window.m_paneButtons.at(PaneTypeEptz)->setDefault(true);
        QTest::keyClicks(&rig.window, "LLLJJJJJJLLLLLLLLLLLLK");
        QTest::keyClick(&rig.window, Qt::Key_Return);
        QTest::keyClick(&rig.window, Qt::Key_Enter);
        QTest::keyClicks(&rig.window, "++--");
        QCOMPARE(rig.sent("81 01 04 07"),
            QStringLiteral("20 20 21 22 21 20 00 00 30 30 31 32 31 30 00 00 "
                           "20 20 21 22 23 24 25 26 27 27 00 00 20 20 00 00 30 30 00 00"));
        QCOMPARE(rig.window.m_paneType, PaneTypeCamera);
        QLineEdit field(&rig.window); // keys taken in every widget of the window
        QTest::keyClick(&field, Qt::Key_Right);
        QTest::simulateEvent(&field, true, Qt::Key_Left, Qt::NoModifier, QString(), true); // auto-repeat
        QTest::keyClick(&field, Qt::Key_Left);
        rig.window.selectPane(PaneTypeSettings); // no zoom toggles there, but the steps drive the camera pane
        QTest::keyClicks(&rig.window, "+LK");
        QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("20 20 00 00 20 20 00 00"));
        // Momentary auto focus: Space (its auto-repeat does nothing), then the controller's push.
        QTest::simulateEvent(&field, true, Qt::Key_Space, Qt::NoModifier, QString(), true);
        QTest::keyClick(&field, Qt::Key_Space);
        rig.window.slot_controlButtonPush(406, true);
        rig.window.slot_controlButtonPush(406, false);
        QVERIFY(field.text().isEmpty());
        QCOMPARE(rig.sent("81 01 04 38"), QStringLiteral("02 10 02 10"));
        // Up steps on every press, auto-repeats included; Down once for a press and its release.
        SegmentSlider* brightness = camera->apertureSlider();
        const int bright = brightness->value();
        for (int i = 0; i < 3; ++i)
            QTest::simulateEvent(&field, true, Qt::Key_Up, Qt::NoModifier, QString(), i > 0);
        QTest::keyClick(&field, Qt::Key_Down);
        QCOMPARE(brightness->value(), bright + 2);
        const std::pair<const char*, int> presetKeys[] = { { "1", 0 }, { "0", 9 }, { "!", 10 }, { "^", 15 } };
        for (const auto& [text, index] : presetKeys) {
            QTest::keyClicks(&rig.window, text);
            QCOMPARE(QSettings().value("prefs/presetIndex_selected").toInt(), index);
        }

        // The controller: exposure steps; Z for the aperture while 401 is held (every second call at full
        // deflection), for the focus while 403 is held, else for the zoom; S for the focus.
        rig.window.slot_controlButtonClick(307);
        rig.window.slot_controlButtonClick(307);
        rig.window.slot_controlButtonClick(306);
        rig.window.slot_controlButtonPush(401, true);
        rig.window.slot_joystickZ(1.0, true, false);
        rig.window.slot_joystickZ(1.0, true, false);
        rig.window.slot_controlButtonPush(401, false);
        QCOMPARE(brightness->value(), bright + 4);
        SegmentSlider* focus = camera->focusSlider();
        const auto moves = [focus](const std::function<void()>& call) { // the pane thins its focus steps out
            const int before = focus->value();
            for (int i = 0; i < 4 && focus->value() == before; ++i)
                call();
            return focus->value() != before;
        };
        QVERIFY(moves([&] { rig.window.slot_joystickS(0.5, true, false); }));
        rig.window.slot_controlButtonPush(403, true);
        QVERIFY(moves([&] { rig.window.slot_joystickZ(-0.5, true, false); }));
        rig.window.slot_controlButtonPush(403, false);
        rig.window.slot_joystickZ(0.5, true, false);
        QVERIFY(rig.sim.waitForPacket(hexBytes("81 01 04 4D")) && rig.sim.waitForPacket(hexBytes("81 01 04 48")));
        QCOMPARE(rig.sent("81 01 04 07"), QStringLiteral("23 23"));
        rig.window.slot_controlButtonClick(300); // auto exposure, then back
        rig.window.slot_controlButtonClick(300);
        QCOMPARE(rig.sent("81 01 04 39"), QStringLiteral("00 0D"));
    }

    // A dialog over the window gets Space and the arrows as typed: the name of
    // a new ePTZ preset is edited with them, and the camera gets nothing. The
    // keys come as a user's do, through the application's event filters, to
    // the text field and, as the platform delivers them, to the dialog's window.
    void keysInDialogs()
    {
        Rig rig;
        rig.sim.setValue(hexBytes("04 38"), hexBytes("03")); // manual focus: Space would push the auto focus
        QVERIFY(rig.window.scan());
        rig.sim.clearReceived();
        QString answer;
        QTimer typist;
        connect(&typist, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            typist.stop();
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, "my cam 1");
            QWindow* window = dialog->windowHandle();
            QTest::keyClick(window, Qt::Key_Left);
            QTest::keyClick(window, Qt::Key_Left);
            QTest::keyClick(window, 'X');
            QTest::keyClick(window, Qt::Key_Space);
            QTest::keyClick(field, Qt::Key_Return);
            answer = dialog->isVisible() ? "the dialog stayed open" : "accepted";
            if (dialog->isVisible())
                dialog->reject();
        });
        typist.start(10);
        rig.window.presetSet(0);
        typist.stop();
        QCOMPARE(answer, QStringLiteral("accepted"));
        QCOMPARE(QSettings().value("Eptz0_preset_name").toString(), QStringLiteral("my camX  1"));

        // The window itself still takes them: Right zooms toward tele. The
        // camera's commands arrive in order, so any from the dialog's keys
        // would have come before it.
        QTest::keyClick(rig.window.windowHandle(), Qt::Key_Right);
        QVERIFY(rig.sim.waitForPacket(hexBytes("81 01 04 07 20 FF")));
        QStringList commands;
        for (const QByteArray& packet : quvtest::packetsStartingWith(rig.sim.received(), hexBytes("81 01")))
            commands.append(quvtest::hexString(packet));
        commands.removeDuplicates(); // the jog echoes a zoom command
        QCOMPARE(commands, QStringList("81 01 04 07 20 FF"));
    }

    void controllerAndMenu()
    {
        Rig rig;
        QVERIFY(rig.window.scan());
        // Camera slot buttons recall presets while 404 is held, and select no camera.
        rig.window.slot_controlButtonPush(404, true);
        for (int op : { 207, 202, 200 }) {
            rig.window.slot_controlButtonClick(op);
            QVERIFY(rig.window.m_presetButtons[op - 200]->isChecked());
        }
        QVERIFY(!rig.window.m_cameraButtons[2]->isChecked());
        rig.window.slot_controlButtonPush(404, false);
        rig.window.slot_controlButtonClick(201); // an empty slot
        QVERIFY(rig.window.m_cameraButtons[0]->isChecked());
        rig.window.slot_controlButtonClick(202);
        QCOMPARE(rig.window.m_deviceSet->selectedIndex(), 2);
        // Preset buttons store presets while 405 is held (camera memories here), else recall them.
        rig.window.m_presetType = PresetTypeCamera;
        rig.window.slot_controlButtonPush(405, true);
        for (int op : { 100, 115 })
            rig.window.slot_controlButtonClick(op);
        rig.window.slot_controlButtonPush(405, false);
        QCOMPARE(rig.sent("81 01 04 3F 01", &rig.other), QStringLiteral("00 0F"));
        rig.window.m_presetType = PresetTypeEptz;
        for (int op : { 115, 100 }) {
            rig.window.slot_controlButtonClick(op);
            QCOMPARE(QSettings().value("prefs/presetIndex_selected").toInt(), op - 100);
        }
        for (int op : { 303, 304, 304, 305 })
            rig.window.slot_controlButtonClick(op);
        QCOMPARE(rig.sent("81 01 04 07", &rig.other), QStringLiteral("20 20 00 00 30 30 00 00"));
        for (bool minimized : { true, false }) {
            rig.window.slot_controlButtonClick(301);
            QCOMPARE(rig.window.isMinimized(), minimized);
        }
        rig.window.showNormal();

        // The joystick's response curve, into the ePTZ pane whichever pane is shown.
        auto* eptz = qobject_cast<PaneEptz*>(rig.window.m_panes.at(PaneTypeEptz));
        const struct
        {
            double x, y;
            bool on;
            QPoint moved; // rounded
        } sticks[] = { { 0.05, -0.5, true, { 0, -14 } }, { 0.1, 0.1, true, { 0, 0 } }, { 0.2, 0.2, true, { 6, 5 } },
            { -0.35, 0.35, true, { -9, 7 } }, { 0.5, 0.4, true, { 18, 9 } }, { 0.7, -0.7, true, { 60, -45 } },
            { 0.8, -0.9, true, { 96, -180 } }, { 1.0, 0.6, true, { 384, 18 } }, { -1.0, -1.0, true, { -384, -288 } },
            { NAN, 0.8, true, { 0, 72 } }, { 0.0, 0.05, true, { 0, 0 } }, { 1.0, 1.0, false, { 0, 0 } } };
        for (const auto& stick : sticks) {
            eptz->slot_deltaXY(-eptz->spinX()->value(), -eptz->spinY()->value());
            rig.window.slot_joystickXY(stick.x, stick.y, stick.on, false);
            QCOMPARE(QPoint(int(eptz->spinX()->value()), int(eptz->spinY()->value())), stick.moved);
        }

        // The main menu, with "Use Deep Rescan" showing the deep scan and turning it over.
        const bool deepScan = DeviceInterface::deepScanEnabled();
        const QString deepItem = QStringLiteral("Use Deep Rescan");
        quvtest::Shown menu;
        QVERIFY(choose(rig.window, deepItem, &menu));
        // Each item by its text and data; separators are empty.
        QCOMPARE(menu.items,
            QStringList({ "Rescan for TaqoCams", (deepScan ? "*" : "") + deepItem, "", "Refresh UI Controls",
                "Lens Initialize", "", "Set Default", "Recall Default", "", "QUV Factory Default", "", "About..." }));
        QCOMPARE(menu.data, QStringList({ "0", "1", "", "2", "3", "", "4", "5", "", "8", "", "9" }));
        QCOMPARE(DeviceInterface::deepScanEnabled(), !deepScan);
        QVERIFY(choose(rig.window, "Rescan for TaqoCams", &menu)); // does nothing
        QCOMPARE(menu.items.at(1), (deepScan ? "" : "*") + deepItem);
        QCOMPARE(DeviceInterface::deepScanEnabled(), !deepScan);
        DeviceInterface::setDeepScanEnabled(deepScan);
        // Each entry by its packets; a recall reloads the camera, which ends before the next entry.
        const std::pair<const char*, const char*> items[] = { { "Set Default", "81 01 04 3F 01 7F FF" },
            { "Refresh UI Controls", "81 09 04 00 FF" }, { "Recall Default", "81 01 04 3F 02 7F FF" },
            { "QUV Factory Default", "81 01 04 3F 00 7F FF" }, { "Lens Initialize", "81 01 04 19 01 FF" } };
        for (const auto& [item, packet] : items) {
            rig.other.clearReceived();
            QVERIFY(choose(rig.window, item));
            QVERIFY2(rig.other.waitForPacket(hexBytes(packet)), item);
            QVERIFY(rig.window.settle());
            // The factory default clears the memory, recalls it and, after the reload, turns picture flip off.
            const bool factory = QByteArray(item) == "QUV Factory Default";
            QCOMPARE(rig.other.waitForPacket(hexBytes("81 01 04 66 02 FF"), 0), factory);
            if (factory)
                QCOMPARE(rig.sent("81 01 04 3F", &rig.other), QStringLiteral("00 02"));
        }
        // The lens initialised, the panes read the camera again.
        QTRY_VERIFY_WITH_TIMEOUT(rig.other.waitForPacket(hexBytes("81 09 04 00 FF"), 0), 10000);
        // A camera button's context request is logged; no menu.
        quvtest::MessageLog log;
        QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(3, 4));
        QApplication::sendEvent(rig.window.m_cameraButtons[0], &request);
        QVERIFY(log.count("slot_contextCamera QPoint(3,4)") == 1 && !QApplication::activePopupWidget());
        QVERIFY(choose(rig.window, "About..."));
        const QPointer<ScanProgressDialog> dialog = rig.window.m_statusDialog;
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("About TaqoControl"));
    }
};

QUV_TEST_GUI_MAIN(TestController)
#include "test_controller.moc"
