// The real program as a child process, each run with a preference store of
// its own: how it ends on the signals of a desktop (logout, kill, Ctrl-C, a
// closed terminal) and when there is no display. Then the signal bridge in
// this process: a signal that waits for the event loop, a second one during
// the shutdown, nohup. And the font warm-up that main starts first.

#include "app/fontwarmup.h"
#include "app/shutdownsignals.h"
#include "quvtest.h"

#include <csignal>
#include <dlfcn.h>
#include <initializer_list>
#include <pthread.h>

#include <fontconfig/fontconfig.h>

#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

namespace {

using Handler = void (*)(int);

Handler disposition(int signalNumber)
{
    struct sigaction current = {};
    sigaction(signalNumber, nullptr, &current);
    return current.sa_handler;
}

void setDisposition(int signalNumber, Handler handler)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

// Whether process pid has handlers for all these signals (its "SigCgt" mask).
bool catches(qint64 pid, std::initializer_list<int> signalNumbers)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
        for (int signalNumber : signalNumbers) {
            if (!(mask & (quint64(1) << (signalNumber - 1))))
                return false;
        }
        return true;
    }
    return false;
}

QMutex s_fcInitMutex;
QStringList s_fcInitThreads;

// The names of the threads that started fontconfig so far.
QStringList fcInitThreads()
{
    QMutexLocker lock(&s_fcInitMutex);
    return s_fcInitThreads;
}

} // namespace

// fontconfig's start, defined in this program: the warm-up's call reaches it
// (and Qt's may), and it notes the calling thread's name before the library's
// own start runs.
extern "C" FcBool FcInit()
{
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    {
        QMutexLocker lock(&s_fcInitMutex);
        s_fcInitThreads.append(QString::fromLatin1(name));
    }
    static const auto library = reinterpret_cast<FcBool (*)()>(dlsym(RTLD_NEXT, "FcInit"));
    return library ? library() : FcFalse;
}

class TestProgram : public QObject
{
    Q_OBJECT

private slots:
    // Children inherit ignored signals: none is ignored here, whatever
    // started the run (nohup, a background job).
    void initTestCase()
    {
        for (int signalNumber : { SIGHUP, SIGINT, SIGTERM }) {
            if (disposition(signalNumber) == SIG_IGN)
                setDisposition(signalNumber, SIG_DFL);
        }
    }
    void endings_data();
    void endings();
    void signalBridge();
    void fontsWarmUpOnItsThread();
};

void TestProgram::endings_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    const QStringList offscreen { QStringLiteral("QT_QPA_PLATFORM=offscreen") };
    QTest::newRow("SIGTERM: logout, kill") << int(SIGTERM) << offscreen << QStringList();
    QTest::newRow("SIGINT: Ctrl-C") << int(SIGINT) << offscreen << QStringList();
    QTest::newRow("SIGHUP: terminal closed; platform as argument")
        << int(SIGHUP) << QStringList() << QStringList { QStringLiteral("-platform"), QStringLiteral("offscreen") };
    QTest::newRow("no display") << 0 << QStringList() << QStringList();
}

void TestProgram::endings()
{
    QFETCH(int, signalNumber);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QTemporaryDir config;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        variables.remove(QLatin1String(name));
    for (const QString& variable : qAsConst(environment))
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    variables.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(variables);
    program.start(QStringLiteral(QUV_PROGRAM), arguments);
    QVERIFY(program.waitForStarted());
    if (signalNumber) {
        // A signal sent before the handlers are in place would end it at once.
        QVERIFY(QTest::qWaitFor([&] { return catches(program.processId(), { SIGHUP, SIGINT, SIGTERM }); }, 20000));
        QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    }
    QVERIFY(program.waitForFinished(20000));
    const QByteArray errors = program.readAllStandardError();
    fputs(errors.constData(), stderr);

    if (!signalNumber) {
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY(errors.endsWith('\n') && errors.contains("DISPLAY") && errors.contains("xvfb-run"));
        return;
    }
    // Ended by the signal itself, as without the handlers: a shell reports
    // 128 + the signal's number (143, 130, 129). For such an end QProcess
    // gives a crash with the signal's number as the exit code.
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    QCOMPARE(program.exitCode(), signalNumber);
    // Written by closing the window and by its destruction.
    const QSettings store(config.filePath(QStringLiteral("quv/QUV Taqo Control.conf")), QSettings::IniFormat);
    QVERIFY(store.contains(QStringLiteral("mainWindow/geometry")));
    QVERIFY(store.contains(QStringLiteral("prefs/camZoomSpeed")));
}

void TestProgram::signalBridge()
{
    // QtTest's own handlers, or the defaults.
    const Handler interrupt = disposition(SIGINT);
    const Handler terminate = disposition(SIGTERM);
    struct sigaction hangup = {};
    sigaction(SIGHUP, nullptr, &hangup);
    setDisposition(SIGHUP, SIG_IGN);
    {
        ShutdownSignals bridge;
        QVERIFY(bridge.isInstalled());
        // Started under nohup: the hangup stays ignored.
        QVERIFY(disposition(SIGHUP) == SIG_IGN);
        QSignalSpy caught(&bridge, &ShutdownSignals::sig_caught);
        raise(SIGINT);
        QCoreApplication::processEvents();
        QVERIFY(caught.isEmpty());
        // Reported once the application listens.
        bridge.listen();
        QVERIFY(caught.wait(10000));
        QCOMPARE(caught.takeFirst().at(0).toInt(), int(SIGINT));
        // A second signal during the shutdown is part of it: not reported,
        // and not taken by its default action, which would end this process.
        raise(SIGTERM);
        raise(SIGHUP);
        QCoreApplication::processEvents();
        QVERIFY(caught.isEmpty());
        QCOMPARE(bridge.caught(), int(SIGINT));
    }
    QVERIFY(disposition(SIGINT) == interrupt && disposition(SIGTERM) == terminate);
    QVERIFY(disposition(SIGHUP) == SIG_IGN);

    // A later object takes all three, and gives each back.
    sigaction(SIGHUP, &hangup, nullptr);
    {
        ShutdownSignals again;
        QVERIFY(again.isInstalled() && disposition(SIGHUP) != hangup.sa_handler);
    }
    QVERIFY(disposition(SIGHUP) == hangup.sa_handler);
    QVERIFY(disposition(SIGINT) == interrupt && disposition(SIGTERM) == terminate);
}

// The warm-up reads the font configuration on a thread of its own, named.
void TestProgram::fontsWarmUpOnItsThread()
{
    fontsWarmUp();
    QTRY_VERIFY(fcInitThreads().contains(QLatin1String("fontwarmup")));
}

QUV_TEST_MAIN(TestProgram)
#include "test_program.moc"
