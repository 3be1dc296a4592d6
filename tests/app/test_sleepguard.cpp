// The sleep guard against a private dbus-daemon with a stand-in service:
// logind's inhibitor held by its descriptor, the PowerManagement fallback,
// no bus at all, and a logind that answers late. The guard's own connections
// to the buses and its helper thread end with it.

#include "app/disableappsleep.h"
#include "quvtest.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QThread>

namespace {

// Answers every call on its own thread: Inhibit with four arguments (logind)
// with a pipe's write end, whose read end it keeps; Inhibit with two
// (PowerManagement) with the cookie 42.
class Inhibitors : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        QStringList arguments;
        for (const QVariant& argument : message.arguments())
            arguments.append(argument.toString());
        QVariant answer = 42u;
        int ends[2];
        if (arguments.size() == 4 && pipe(ends) == 0) {
            answer = QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
            close(ends[1]);
            fcntl(ends[0], F_SETFL, O_NONBLOCK);
            readEnd = ends[0];
        }
        {
            QMutexLocker lock(&mutex);
            calls.append(message.member() + QLatin1Char(' ') + arguments.join(QLatin1Char('|')));
        }
        // A slow service: the answer waits until the test lets it go.
        if (held)
            answer_sent.acquire();
        return connection.send(
            message.member() == QLatin1String("Inhibit") ? message.createReply(answer) : message.createReply());
    }

    QStringList recorded()
    {
        QMutexLocker lock(&mutex);
        return calls;
    }
    // The connections to this object's destroyed signal: a bus connection
    // that has served the object holds one until it has closed.
    int watchers() const { return receivers(SIGNAL(destroyed(QObject*))); }

    QMutex mutex;
    QStringList calls;
    std::atomic<int> readEnd { -1 };
    std::atomic<bool> held { false };
    QSemaphore answer_sent;
};

// A private dbus-daemon serving the stand-in on its own thread, under the given names.
struct FakeBus
{
    bool start(const QStringList& services)
    {
        daemon.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address" });
        if (!QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000))
            return false;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("fake"));
        fake.moveToThread(&serviceThread);
        serviceThread.start();
        bool registered = bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), &fake)
            && bus.registerVirtualObject(QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"), &fake);
        for (const QString& service : services)
            registered = bus.registerService(service) && registered;
        return registered;
    }
    // The connections to the bus, the stand-in's own among them.
    int clients()
    {
        const QDBusMessage reply = QDBusConnection(QStringLiteral("fake"))
                                       .call(QDBusMessage::createMethodCall("org.freedesktop.DBus",
                                           "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames"));
        int count = 0;
        for (const QString& name : reply.arguments().value(0).toStringList())
            count += name.startsWith(QLatin1Char(':')) ? 1 : 0;
        return count;
    }
    // Qt's connection, which lives on its own thread, closes some time after
    // the last handle to it goes, and may still reach the objects it serves
    // until then: the stand-in is let go first, and destroyed only once the
    // connection has closed.
    ~FakeBus()
    {
        fake.held = false;
        fake.answer_sent.release(100);
        for (const char* path : { "/org/freedesktop/login1", "/org/freedesktop/PowerManagement/Inhibit" })
            QDBusConnection(QStringLiteral("fake")).unregisterObject(QLatin1String(path));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
        if (!QTest::qWaitFor([&] { return fake.watchers() == 0; }, 10000))
            qFatal("FakeBus: the stand-in's bus connection did not close within 10 s");
        serviceThread.quit();
        serviceThread.wait();
    }

    QProcess daemon;
    QString address;
    QThread serviceThread;
    Inhibitors fake;
};

// True when the pipe's read end reaches end-of-file within timeout_ms. The
// inhibitor's descriptor has other copies (in the message that carried it, on
// the bus's threads and in the daemon) that are closed on their own time.
bool readsEndOfFile(int readEnd, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    pollfd entry { readEnd, POLLIN, 0 };
    int ready = 0;
    do {
        ready = poll(&entry, 1, int(deadline.remainingTime()));
    } while (ready < 0 && errno == EINTR);
    char byte;
    return ready == 1 && read(readEnd, &byte, 1) == 0;
}

// The names of this process's threads.
QStringList threadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            names.append(QString::fromUtf8(comm.readAll()).trimmed());
    }
    return names;
}

} // namespace

class TestSleepGuard : public QObject
{
    Q_OBJECT

private slots:
    void guard_data();
    void guard();
    void slowAnswer();
    void standardBuses();
};

void TestSleepGuard::guard_data()
{
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<bool>("systemBus");
    QTest::addColumn<bool>("sessionBus");
    QTest::addColumn<QStringList>("calls");
    const QStringList both { "org.freedesktop.login1", "org.freedesktop.PowerManagement" };
    const QStringList login1 { "org.freedesktop.login1" };
    const QStringList power { "org.freedesktop.PowerManagement" };
    const QStringList cookie { "Inhibit QUV Taqo Control|Batch processing files", "UnInhibit 42" };
    QTest::newRow("logind") << both << true << true
                            << QStringList { "Inhibit idle|QUV Taqo Control|Batch processing files|block" };
    QTest::newRow("power management") << both << false << true << cookie;
    QTest::newRow("no logind on the system bus") << power << true << true << cookie;
    QTest::newRow("no service") << login1 << false << true << QStringList();
    QTest::newRow("no bus") << both << false << false << QStringList();
}

void TestSleepGuard::guard()
{
    QFETCH(QStringList, services);
    QFETCH(QStringList, calls);
    FakeBus bus;
    if (!bus.start(services))
        QSKIP("dbus-daemon cannot be started (Debian package dbus)");
    Inhibitors& fake = bus.fake;

    QFETCH(bool, systemBus);
    QFETCH(bool, sessionBus);
    const QString none = QStringLiteral("unix:path=/nonexistent/bus");
    quvtest::MessageLog log;
    auto guard = std::make_unique<DisableAppSleep>(systemBus ? bus.address : none, sessionBus ? bus.address : none);
    char byte;
    // The request goes out from a thread of the guard's.
    QTRY_COMPARE(fake.recorded(), calls.mid(0, 1));
    QVERIFY(fake.readEnd < 0 || read(fake.readEnd, &byte, 1) < 0);
    guard.reset();
    QTRY_COMPARE(fake.recorded(), calls);
    // logind's inhibition ends as its descriptor closes.
    QTRY_VERIFY(fake.readEnd < 0 || read(fake.readEnd, &byte, 1) == 0);
    // The guard's connections are closed: only the stand-in's is left.
    QTRY_COMPARE(bus.clients(), 1);
    QCOMPARE(
        log.count(QStringLiteral("DisableAppSleep: no sleep inhibitor answers on D-Bus; idle sleep stays allowed")),
        calls.isEmpty() ? 1 : 0);
}

// The window is not held up by a slow logind: the guard is made while logind's answer is still to come, and
// takes the inhibitor when it comes, without asking the session's service.
void TestSleepGuard::slowAnswer()
{
    FakeBus bus;
    if (!bus.start({ "org.freedesktop.login1", "org.freedesktop.PowerManagement" }))
        QSKIP("dbus-daemon cannot be started (Debian package dbus)");
    bus.fake.held = true;
    auto guard = std::make_unique<DisableAppSleep>(bus.address, bus.address);
    QTRY_COMPARE(bus.fake.recorded().size(), 1);
    const QString requestThread = QStringLiteral("sleepguard");
    QVERIFY(threadNames().contains(requestThread)); // waiting for the answer
    bus.fake.answer_sent.release();
    char byte;
    QTRY_VERIFY(bus.fake.readEnd >= 0);
    QVERIFY(read(bus.fake.readEnd, &byte, 1) < 0); // held by the guard
    guard.reset();
    QVERIFY(readsEndOfFile(bus.fake.readEnd, 10000));
    // The join returns as soon as the exiting thread wakes it; the kernel
    // takes the thread's entry out of /proc/self/task only after that.
    QTRY_VERIFY_WITH_TIMEOUT(!threadNames().contains(requestThread), 10000);
    QCOMPARE(bus.fake.recorded(), QStringList { "Inhibit idle|QUV Taqo Control|Batch processing files|block" });
}

// As the window makes it, the guard asks the buses the environment names:
// logind on the system bus (out of reach here), then the session's service.
// Qt connects to each standard bus once, when it is first asked for, so no
// other test here uses them.
void TestSleepGuard::standardBuses()
{
    FakeBus bus;
    if (!bus.start({ "org.freedesktop.login1", "org.freedesktop.PowerManagement" }))
        QSKIP("dbus-daemon cannot be started (Debian package dbus)");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address.toUtf8());
    auto guard = std::make_unique<DisableAppSleep>();
    QTRY_COMPARE(bus.fake.recorded(), QStringList { "Inhibit QUV Taqo Control|Batch processing files" });
    guard.reset();
    QCOMPARE(bus.fake.recorded(), (QStringList { "Inhibit QUV Taqo Control|Batch processing files", "UnInhibit 42" }));
}

QUV_TEST_MAIN(TestSleepGuard)
#include "test_sleepguard.moc"
