// The real program as a child process, each run with a preference store of
// its own: how it ends on the signals of a desktop (logout, kill, Ctrl-C, a
// closed terminal), on an X display, and when there is no display or the one
// named does not answer; and with a preference store that is not a regular
// file, whose box a signal does not wait for. Then the signal bridge in this process: a signal
// that waits for the event loop, a second one during the shutdown, nohup. And
// the font warm-up that main starts first.

#include "app/fontwarmup.h"
#include "app/shutdownsignals.h"
#include "quvtest.h"

#include <csignal>
#include <dlfcn.h>
#include <initializer_list>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <fontconfig/fontconfig.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

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
QStringList s_fcInitEntered;
QStringList s_fcInitReturned;

QString threadName()
{
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return QString::fromLatin1(name);
}

// The names of the threads that entered fontconfig's start so far, and of
// those that have come back from it.
QStringList fcInitEntered()
{
    QMutexLocker lock(&s_fcInitMutex);
    return s_fcInitEntered;
}

QStringList fcInitReturned()
{
    QMutexLocker lock(&s_fcInitMutex);
    return s_fcInitReturned;
}

} // namespace

// fontconfig's start, defined in this program: the warm-up's call reaches it
// (and Qt's may), and it notes the calling thread's name before and after
// the library's own start runs. On the warm-up's thread it holds the start
// open a while first, as a slow disk would, so that an end that does not
// wait for it is seen.
extern "C" FcBool FcInit()
{
    const QString name = threadName();
    {
        QMutexLocker lock(&s_fcInitMutex);
        s_fcInitEntered.append(name);
    }
    if (name == QLatin1String("fontwarmup"))
        QThread::msleep(100);
    static const auto library = reinterpret_cast<FcBool (*)()>(dlsym(RTLD_NEXT, "FcInit"));
    const FcBool result = library ? library() : FcFalse;
    {
        QMutexLocker lock(&s_fcInitMutex);
        s_fcInitReturned.append(name);
    }
    return result;
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
    void cleanupTestCase()
    {
        m_xServer.terminate();
        m_xServer.waitForFinished(10000);
    }
    void endings_data();
    void endings();
    void storeNotAFile_data();
    void storeNotAFile();
    void signalBridge();
    void fontsWarmUpOnItsThread();

private:
    QString xDisplay();

    QProcess m_xServer;
    QString m_xDisplay;
};

// An X server of the test's own, started at the first call: its display
// name, or empty where Xvfb is not installed. Started as xvfb-run starts it,
// it resets itself whenever its last client leaves.
QString TestProgram::xDisplay()
{
    if (m_xServer.state() == QProcess::NotRunning) {
        m_xServer.setStandardErrorFile(QProcess::nullDevice());
        m_xServer.start(QStringLiteral("Xvfb"),
            { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24") });
        if (!m_xServer.waitForStarted(10000))
            return {};
        // It writes its display's number once it accepts connections.
        const QDeadlineTimer deadline(20000);
        while (!m_xServer.canReadLine() && m_xServer.state() == QProcess::Running && !deadline.hasExpired())
            m_xServer.waitForReadyRead(100);
        const QByteArray number = m_xServer.readLine().trimmed();
        if (!number.isEmpty())
            m_xDisplay = QLatin1Char(':') + QString::fromLatin1(number);
    }
    return m_xDisplay;
}

void TestProgram::endings_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");
    // What the one line given for want of a display names.
    QTest::addColumn<QByteArray>("named");
    const QStringList offscreen { QStringLiteral("QT_QPA_PLATFORM=offscreen") };
    QTest::newRow("SIGTERM: logout, kill") << int(SIGTERM) << offscreen << QStringList() << QByteArray();
    QTest::newRow("SIGINT: Ctrl-C") << int(SIGINT) << offscreen << QStringList() << QByteArray();
    QTest::newRow("SIGHUP: terminal closed; platform as argument")
        << int(SIGHUP) << QStringList() << QStringList { QStringLiteral("-platform"), QStringLiteral("offscreen") }
        << QByteArray();
    QTest::newRow("SIGTERM on an X display that answers")
        << int(SIGTERM) << QStringList { QStringLiteral("DISPLAY=<test's own>") } << QStringList() << QByteArray();
    QTest::newRow("no display") << 0 << QStringList() << QStringList() << QByteArrayLiteral("DISPLAY");

    // A stale DISPLAY (an ssh session's, a service's) and a compositor gone.
    int silent = 7100;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(silent)))
        ++silent;
    const QByteArray silentX = ':' + QByteArray::number(silent);
    QTest::newRow("X display that does not answer")
        << 0 << QStringList { QStringLiteral("DISPLAY=") + QString::fromLatin1(silentX) } << QStringList()
        << QByteArray("\"" + silentX + "\" (DISPLAY) does not answer");
    QTest::newRow("Wayland display that does not answer")
        << 0 << QStringList { QStringLiteral("WAYLAND_DISPLAY=quv-gone-0") } << QStringList()
        << QByteArrayLiteral("\"quv-gone-0\" (WAYLAND_DISPLAY) does not answer");
}

void TestProgram::endings()
{
    QFETCH(int, signalNumber);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, named);
    QTemporaryDir config;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        variables.remove(QLatin1String(name));
    for (const QString& variable : qAsConst(environment))
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    if (variables.value(QStringLiteral("DISPLAY")) == QLatin1String("<test's own>")) {
        const QString display = xDisplay();
        if (display.isEmpty())
            QSKIP("Xvfb is not installed (Debian package xvfb)");
        variables.insert(QStringLiteral("DISPLAY"), display);
        // No GL driver; and libxkbcommon-x11 hands strndup a length-bounded
        // buffer without a terminating NUL, which AddressSanitizer's strict
        // string checks take for an overflow.
        variables.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
        variables.insert(QStringLiteral("ASAN_OPTIONS"),
            variables.value(QStringLiteral("ASAN_OPTIONS"))
                .replace(QLatin1String("strict_string_checks=1"), QLatin1String("strict_string_checks=0")));
    }
    variables.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(variables);
    program.start(QStringLiteral(QUV_PROGRAM), arguments);
    QVERIFY(program.waitForStarted());
    if (signalNumber) {
        // A signal sent before the handlers are in place would end it at once.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return program.state() != QProcess::Running
                    || catches(program.processId(), { SIGHUP, SIGINT, SIGTERM });
            },
            20000));
        QVERIFY2(program.state() == QProcess::Running, program.readAllStandardError().constData());
        QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    }
    QVERIFY(program.waitForFinished(20000));
    const QByteArray errors = program.readAllStandardError();
    fputs(errors.constData(), stderr);

    if (!signalNumber) {
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY(errors.endsWith('\n') && errors.contains(named) && errors.contains("xvfb-run"));
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

void TestProgram::storeNotAFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("node");
    QTest::addColumn<bool>("link");
    QTest::addColumn<QString>("kind");
    // Ends the program while the box is open.
    QTest::addColumn<int>("signalNumber");
    const QString application = QStringLiteral("quv/QUV Taqo Control.conf");
    QTest::newRow("folder") << application << "folder" << false << "it is a folder" << int(SIGTERM);
    QTest::newRow("named pipe") << application << "pipe" << false << "it is a named pipe" << int(SIGINT);
    QTest::newRow("socket") << application << "socket" << false << "it is a socket" << int(SIGHUP);
    QTest::newRow("link to a named pipe") << application << "pipe" << true << "it is a named pipe" << int(SIGTERM);
    QTest::newRow("link to a device") << application << "device" << true << "it is a device" << int(SIGTERM);
    // Read by every instance after the application's own.
    QTest::newRow("organisation's file a named pipe")
        << "quv.conf" << "pipe" << false << "it is a named pipe" << int(SIGTERM);
}

// Something else than a file in the store's place: the program starts on its
// defaults without opening it (a named pipe would hold it in open() for
// ever), shows the box that names it once, ends on a signal while the box
// waits for an answer as it would at any other time, and leaves what it found
// in place, also as root.
void TestProgram::storeNotAFile()
{
    QFETCH(QString, file);
    QFETCH(QString, node);
    QFETCH(bool, link);
    QFETCH(QString, kind);
    QFETCH(int, signalNumber);
    QTemporaryDir config;
    QVERIFY(QDir(config.path()).mkdir(QStringLiteral("quv")));
    const QString store = config.filePath(file);
    const QString made = link ? config.filePath(node) : store;
    const QByteArray madeName = QFile::encodeName(made);
    mode_t type = S_IFDIR;
    if (node == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(made));
    } else if (node == QLatin1String("pipe")) {
        type = S_IFIFO;
        QCOMPARE(mkfifo(madeName.constData(), 0600), 0);
    } else if (node == QLatin1String("socket")) {
        type = S_IFSOCK;
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(madeName.size()) < sizeof address.sun_path);
        qstrcpy(address.sun_path, madeName.constData());
        const int socketFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(socketFd >= 0);
        const int bound = bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        close(socketFd);
        QCOMPARE(bound, 0);
    } else {
        // The null device's numbers: nothing happens should it be opened.
        type = S_IFCHR;
        if (mknod(madeName.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("a device node can be made by root only");
    }
    if (link)
        QVERIFY(QFile::link(made, store));

    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    variables.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess program;
    program.setProcessEnvironment(variables);
    program.start(QStringLiteral(QUV_PROGRAM), QStringList());
    QVERIFY(program.waitForStarted());
    // The box's text goes to the debug output as the box opens.
    const QByteArray shown
        = QFile::encodeName(QStringLiteral("The preference file \"%1\" could not be saved: %2.").arg(store, kind));
    QByteArray errors;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     errors += program.readAllStandardError();
                     return errors.contains(shown) || program.state() != QProcess::Running;
                 },
                 20000),
        errors.constData());
    QVERIFY2(program.state() == QProcess::Running, errors.constData());
    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    const bool finished = program.waitForFinished(20000);
    errors += program.readAllStandardError();
    fputs(errors.constData(), stderr);
    QVERIFY2(finished, "the program did not end on the signal while its box was open");
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);
    QCOMPARE(program.exitCode(), signalNumber);
    // One box; the line at exit says that the settings are lost.
    QCOMPARE(errors.count(QByteArrayLiteral("\nThe preference file")), 1);
    QVERIFY(errors.contains("Settings written at exit are lost."));

    struct stat after = {};
    QCOMPARE(stat(madeName.constData(), &after), 0);
    QCOMPARE(after.st_mode & S_IFMT, type);
    QCOMPARE(QFileInfo(store).isSymLink(), link);
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

// The warm-up reads the font configuration on a thread of its own, named,
// and its end waits until that thread is out of fontconfig.
void TestProgram::fontsWarmUpOnItsThread()
{
    {
        FontsWarmUp warmUp;
        QTRY_VERIFY(fcInitEntered().contains(QLatin1String("fontwarmup")));
    }
    QVERIFY(fcInitReturned().contains(QLatin1String("fontwarmup")));
}

QUV_TEST_MAIN(TestProgram)
#include "test_program.moc"
