// The real program as a child process, each run with a preference store of
// its own: how it ends on the signals of a desktop (logout, kill, Ctrl-C, a
// closed terminal), on an X display (also one that refuses the first
// connections, as one that resets itself does), and when Qt cannot open the
// platform it chooses: no display, one named that does not answer or refuses,
// a platform without a plugin or a screen; and with a preference store that
// is not a regular file, whose box a signal does not wait for. Then the
// signal bridge in this process: a signal that waits for the event loop, a
// second one during the shutdown, nohup. And the font warm-up that main
// starts first.

#include "app/fontwarmup.h"
#include "app/shutdownsignals.h"
#include "quvtest.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include <fontconfig/fontconfig.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocalServer>
#include <QMutex>
#include <QProcess>
#include <QRandomGenerator>
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

// The abstract Unix socket of X display number, where libxcb looks first.
sockaddr_un xSocketAddress(int number, socklen_t& size)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
    std::memcpy(address.sun_path + 1, path.constData(), size_t(path.size()));
    size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(path.size()));
    return address;
}

// Passes on what arrived from one side; false once either side has closed.
bool relay(int from, int to)
{
    char buffer[65536];
    const ssize_t size = ::read(from, buffer, sizeof buffer);
    if (size < 0 && errno == EINTR)
        return true;
    if (size <= 0)
        return false;
    for (ssize_t sent = 0; sent < size;) {
        const ssize_t part = ::send(to, buffer + sent, size_t(size - sent), MSG_NOSIGNAL);
        if (part <= 0)
            return false;
        sent += part;
    }
    return true;
}

// An X display of the test's own in front of its Xvfb, refusing its first
// clients as a server that resets itself may: the first setup it is sent is
// answered "failed" with a reason, the second with the connection closed
// without a word (as a resetting Xvfb does); every later connection is passed
// on to the Xvfb byte for byte, on a thread of the stand-in's own. A
// connection that sends no setup (one that only looks whether a server
// listens) is passed on too.
class RefusingXServer
{
public:
    static constexpr const char* reason = "quv stand-in: not yet";

    RefusingXServer() = default;
    ~RefusingXServer()
    {
        // Closing the write end wakes the thread.
        if (m_wake[1] >= 0)
            ::close(m_wake[1]);
        if (m_thread.joinable())
            m_thread.join();
        for (int fd : { m_listener, m_wake[0] }) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    RefusingXServer(const RefusingXServer&) = delete;
    RefusingXServer& operator=(const RefusingXServer&) = delete;

    // Listens at a display number no X server uses, in front of the X
    // display ":number"; its name, or empty.
    QString start(const QString& target)
    {
        m_target = target.mid(1).toInt();
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listener < 0 || ::pipe2(m_wake, O_CLOEXEC) != 0)
            return {};
        for (int number = 7300; number < 7400; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))
                || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            socklen_t size = 0;
            const sockaddr_un address = xSocketAddress(number, size);
            if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
                if (::listen(m_listener, 8) != 0)
                    return {};
                m_thread = std::thread(&RefusingXServer::run, this);
                return QStringLiteral(":%1").arg(number);
            }
        }
        return {};
    }

    int refused() const { return m_refused; }

private:
    void run()
    {
        pthread_setname_np(pthread_self(), "xstandin");
        // Each client's connection with its own to the Xvfb.
        std::vector<std::pair<int, int>> pairs;
        for (;;) {
            std::vector<pollfd> ready { { m_wake[0], POLLIN, 0 }, { m_listener, POLLIN, 0 } };
            for (const auto& pair : pairs) {
                ready.push_back({ pair.first, POLLIN, 0 });
                ready.push_back({ pair.second, POLLIN, 0 });
            }
            if (::poll(ready.data(), ready.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (ready[0].revents)
                break;
            std::vector<std::pair<int, int>> open;
            for (size_t i = 0; i < pairs.size(); ++i) {
                const short client = ready[2 + 2 * i].revents;
                const short server = ready[3 + 2 * i].revents;
                const bool alive = (!client || relay(pairs[i].first, pairs[i].second))
                    && (!server || relay(pairs[i].second, pairs[i].first));
                if (alive) {
                    open.push_back(pairs[i]);
                } else {
                    ::close(pairs[i].first);
                    ::close(pairs[i].second);
                }
            }
            pairs.swap(open);
            if (ready[1].revents & POLLIN) {
                const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0 && m_refused < 2 && refuse(client))
                    ::close(client);
                else if (client >= 0)
                    pairs.emplace_back(client, connectTarget());
                if (!pairs.empty() && pairs.back().second < 0) {
                    ::close(pairs.back().first);
                    pairs.pop_back();
                }
            }
        }
        for (const auto& pair : pairs) {
            ::close(pair.first);
            ::close(pair.second);
        }
    }

    // Reads the client's setup request (byte order, protocol version, the
    // lengths of its authorisation, then that) and refuses it; false for a
    // client that sends none.
    bool refuse(int client)
    {
        pollfd ready { client, POLLIN, 0 };
        unsigned char setup[12];
        if (::poll(&ready, 1, 10000) != 1 || ::recv(client, setup, sizeof setup, MSG_WAITALL) != ssize_t(sizeof setup))
            return false;
        const bool littleEndian = setup[0] == 'l';
        const auto get16
            = [&](const unsigned char* at) { return littleEndian ? at[0] | at[1] << 8 : at[0] << 8 | at[1]; };
        const auto padded = [](size_t size) { return (size + 3) / 4 * 4; };
        std::vector<unsigned char> authorisation(padded(size_t(get16(setup + 6))) + padded(size_t(get16(setup + 8))));
        if (!authorisation.empty())
            ::recv(client, authorisation.data(), authorisation.size(), MSG_WAITALL);
        if (m_refused++ == 0) {
            // "Failed": the reason's length, protocol 11.0, the words that
            // follow in units of 4 bytes, and the reason.
            const size_t length = std::strlen(reason);
            std::vector<unsigned char> reply(8 + padded(length), 0);
            const auto put16 = [&](unsigned char* at, size_t value) {
                at[littleEndian ? 0 : 1] = (unsigned char)(value & 0xff);
                at[littleEndian ? 1 : 0] = (unsigned char)(value >> 8);
            };
            reply[1] = (unsigned char)length;
            put16(&reply[2], 11);
            put16(&reply[6], padded(length) / 4);
            std::memcpy(&reply[8], reason, length);
            ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        return true;
    }

    int connectTarget() const
    {
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        socklen_t size = 0;
        const sockaddr_un address = xSocketAddress(m_target, size);
        if (server >= 0 && ::connect(server, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
            ::close(server);
            return -1;
        }
        return server;
    }

    int m_listener = -1;
    int m_wake[2] = { -1, -1 };
    int m_target = 0;
    std::atomic<int> m_refused { 0 };
    std::thread m_thread;
};

// Whether Qt's own Wayland platform plugin is installed (Debian package qtwayland5).
bool waylandPluginInstalled()
{
    const QDir platforms(QLibraryInfo::location(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({ QStringLiteral("libqwayland*") }, QDir::Files).isEmpty();
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
        for (QProcess* server : { &m_xServer, &m_refusingXServer }) {
            server->terminate();
            server->waitForFinished(10000);
        }
    }
    void endings_data();
    void endings();
    void storeNotAFile_data();
    void storeNotAFile();
    void signalBridge();
    void fontsWarmUpOnItsThread();

private:
    static QString startXServer(QProcess& server, const QStringList& arguments);
    QString xDisplay();
    QString refusingXDisplay();

    QProcess m_xServer;
    QString m_xDisplay;
    // Holds the cookie of the X server that refuses.
    QTemporaryDir m_authority;
    QProcess m_refusingXServer;
    QString m_refusingXDisplay;
};

// Starts an X server as xvfb-run starts it (it resets itself whenever its
// last client leaves): its display name, or empty where Xvfb is not installed.
QString TestProgram::startXServer(QProcess& server, const QStringList& arguments)
{
    server.setStandardErrorFile(QProcess::nullDevice());
    server.start(QStringLiteral("Xvfb"),
        QStringList { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
            QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24") }
            + arguments);
    if (!server.waitForStarted(10000))
        return {};
    // It writes its display's number once it accepts connections.
    const QDeadlineTimer deadline(20000);
    while (!server.canReadLine() && server.state() == QProcess::Running && !deadline.hasExpired())
        server.waitForReadyRead(100);
    const QByteArray number = server.readLine().trimmed();
    return number.isEmpty() ? QString() : QLatin1Char(':') + QString::fromLatin1(number);
}

// An X server of the test's own, started at the first call.
QString TestProgram::xDisplay()
{
    if (m_xServer.state() == QProcess::NotRunning)
        m_xDisplay = startXServer(m_xServer, {});
    return m_xDisplay;
}

// An X server of the test's own that refuses every client without its cookie,
// started at the first call with an authority file that holds one (made with
// xauth); empty where Xvfb or xauth is not installed.
QString TestProgram::refusingXDisplay()
{
    if (m_refusingXServer.state() == QProcess::NotRunning && m_authority.isValid()) {
        const QString file = m_authority.filePath(QStringLiteral("server"));
        QByteArray cookie(16, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(cookie.data()), cookie.size() / 4);
        QProcess xauth;
        xauth.start(QStringLiteral("xauth"),
            { QStringLiteral("-q"), QStringLiteral("-f"), file, QStringLiteral("add"), QStringLiteral(":0"),
                QStringLiteral("MIT-MAGIC-COOKIE-1"), QString::fromLatin1(cookie.toHex()) });
        if (!xauth.waitForFinished(10000) || xauth.exitStatus() != QProcess::NormalExit || xauth.exitCode() != 0)
            return {};
        m_refusingXDisplay = startXServer(m_refusingXServer, { QStringLiteral("-auth"), file });
    }
    return m_refusingXDisplay;
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
    // Tried again for a while, as an X server resetting itself refuses.
    QTest::newRow("SIGTERM on an X display that refuses at first")
        << int(SIGTERM) << QStringList { QStringLiteral("DISPLAY=<refusing at first>") } << QStringList()
        << QByteArray();
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

    // The display Qt chooses fails, whatever else answers.
    const QString silentDisplay = QStringLiteral("DISPLAY=") + QString::fromLatin1(silentX);
    QTest::newRow("stale DISPLAY, Wayland display that answers")
        << 0 << QStringList { silentDisplay, QStringLiteral("WAYLAND_DISPLAY=<listening>") } << QStringList()
        << QByteArray("\"" + silentX + "\" (DISPLAY) does not answer");
    QTest::newRow("Wayland session, Qt without a Wayland plugin")
        << 0
        << QStringList { QStringLiteral("XDG_SESSION_TYPE=wayland"), QStringLiteral("WAYLAND_DISPLAY=<listening>") }
        << QStringList() << QByteArrayLiteral("Qt has no \"wayland\" platform plugin (XDG_SESSION_TYPE=wayland)");
    QTest::newRow("QT_QPA_PLATFORM=xcb, X display that does not answer")
        << 0 << QStringList { silentDisplay, QStringLiteral("QT_QPA_PLATFORM=xcb") } << QStringList()
        << QByteArray("\"" + silentX + "\" (DISPLAY) does not answer");
    QTest::newRow("-platform xcb, X display that does not answer")
        << 0 << QStringList { silentDisplay } << QStringList { QStringLiteral("-platform"), QStringLiteral("xcb") }
        << QByteArray("\"" + silentX + "\" (DISPLAY) does not answer");
    QTest::newRow("-platform without a plugin")
        << 0 << QStringList() << QStringList { QStringLiteral("-platform"), QStringLiteral("nosuch") }
        << QByteArrayLiteral("Qt has no \"nosuch\" platform plugin (-platform)");
    QTest::newRow("X display that refuses")
        << 0 << QStringList { QStringLiteral("DISPLAY=<refusing>") } << QStringList()
        << QByteArrayLiteral("(DISPLAY) refuses the connection (Authorization required");

    // What the check lets through and Qt cannot open after all: a plugin
    // that does not start, a platform without a screen (no input devices
    // are opened).
    QTest::newRow("Wayland plugin that does not start")
        << 0
        << QStringList { QStringLiteral("XDG_SESSION_TYPE=wayland"), QStringLiteral("WAYLAND_DISPLAY=<listening>"),
               QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH=<stand-in>") }
        << QStringList() << QByteArrayLiteral("Qt could not open one (");
    QTest::newRow("platform without a screen")
        << 0 << QStringList { QStringLiteral("QT_QPA_FB_DISABLE_INPUT=1") }
        << QStringList { QStringLiteral("-platform"), QStringLiteral("linuxfb:fb=/nonexistent/fb0") }
        << QByteArrayLiteral("no screen to show the window on)");
}

void TestProgram::endings()
{
    QFETCH(int, signalNumber);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, named);
    QTemporaryDir config;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    // Whatever chooses Qt's platform comes from the row.
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE",
             "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH" })
        variables.remove(QLatin1String(name));
    for (const QString& variable : qAsConst(environment))
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    if (variables.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland") && waylandPluginInstalled())
        QSKIP(
            "Qt's Wayland platform plugin is installed: Qt would take the test's compositor, which speaks no Wayland");
    // A compositor's socket that accepts connections (and says nothing), in
    // a runtime folder of the row's own.
    QTemporaryDir runtime;
    QLocalServer compositor;
    if (variables.value(QStringLiteral("WAYLAND_DISPLAY")) == QLatin1String("<listening>")) {
        QVERIFY2(
            compositor.listen(runtime.filePath(QStringLiteral("quv-wayland-0"))), qPrintable(compositor.errorString()));
        variables.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        variables.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("quv-wayland-0"));
    }
    if (variables.value(QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH")) == QLatin1String("<stand-in>"))
        variables.insert(QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH"), QStringLiteral(QUV_STANDIN_PLATFORMS));
    if (variables.value(QStringLiteral("DISPLAY")) == QLatin1String("<refusing>")) {
        const QString display = refusingXDisplay();
        if (display.isEmpty())
            QSKIP("Xvfb or xauth is not installed (Debian packages xvfb, xauth)");
        variables.insert(QStringLiteral("DISPLAY"), display);
        // Without the cookie.
        variables.insert(QStringLiteral("XAUTHORITY"), config.filePath(QStringLiteral("no-authority")));
    }
    RefusingXServer refusingAtFirst;
    const QString xDisplayNamed = variables.value(QStringLiteral("DISPLAY"));
    if (xDisplayNamed == QLatin1String("<test's own>") || xDisplayNamed == QLatin1String("<refusing at first>")) {
        QString display = xDisplay();
        if (display.isEmpty())
            QSKIP("Xvfb is not installed (Debian package xvfb)");
        if (xDisplayNamed == QLatin1String("<refusing at first>")) {
            display = refusingAtFirst.start(display);
            QVERIFY(!display.isEmpty());
            // The stand-in passes bytes on, not the descriptors with which
            // Qt shares its window's memory with the server (MIT-SHM).
            variables.insert(QStringLiteral("QT_XCB_NO_MITSHM"), QStringLiteral("1"));
        }
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
    if (xDisplayNamed == QLatin1String("<refusing at first>")) {
        // Both refusals were met, and what libxcb wrote of the first kept.
        QCOMPARE(refusingAtFirst.refused(), 2);
        QVERIFY(!errors.contains(RefusingXServer::reason));
    }

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
    // Its socket file stays while it listens, to the end of the test.
    QLocalServer listener;
    if (node == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(made));
    } else if (node == QLatin1String("pipe")) {
        type = S_IFIFO;
        QCOMPARE(mkfifo(madeName.constData(), 0600), 0);
    } else if (node == QLatin1String("socket")) {
        type = S_IFSOCK;
        QVERIFY2(listener.listen(made), qPrintable(listener.errorString()));
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
