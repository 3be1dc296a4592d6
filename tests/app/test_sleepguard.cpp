// The sleep guard against a private dbus-daemon with a stand-in service:
// logind's inhibitor held by its descriptor, the PowerManagement fallback,
// and no bus at all.

#include "app/disableappsleep.h"
#include "quvtest.h"

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QScopeGuard>
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
        QMutexLocker lock(&mutex);
        calls.append(message.member() + QLatin1Char(' ') + arguments.join(QLatin1Char('|')));
        return connection.send(message.member() == QLatin1String("Inhibit") ? message.createReply(answer)
                                                                            : message.createReply());
    }

    QMutex mutex;
    QStringList calls;
    std::atomic<int> readEnd { -1 };
};

} // namespace

class TestSleepGuard : public QObject
{
    Q_OBJECT

private slots:
    void guard_data();
    void guard();
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
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), { "--session", "--nofork", "--print-address" });
    if (!QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000))
        QSKIP("dbus-daemon cannot be started (Debian package dbus)");
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("fake"));
    QThread serviceThread;
    Inhibitors fake;
    fake.moveToThread(&serviceThread);
    serviceThread.start();
    const auto stop = qScopeGuard([&] {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
        serviceThread.quit();
        serviceThread.wait();
    });
    QVERIFY(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), &fake));
    QVERIFY(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"), &fake));
    for (const QString& service : services)
        QVERIFY(bus.registerService(service));

    QFETCH(bool, systemBus);
    QFETCH(bool, sessionBus);
    const QString none = QStringLiteral("unix:path=/nonexistent/bus");
    quvtest::MessageLog log;
    auto guard = std::make_unique<DisableAppSleep>(systemBus ? address : none, sessionBus ? address : none);
    char byte;
    QCOMPARE(fake.calls, calls.mid(0, 1));
    QVERIFY(fake.readEnd < 0 || read(fake.readEnd, &byte, 1) < 0);
    guard.reset();
    QTRY_COMPARE(fake.calls, calls);
    // logind's inhibition ends as its descriptor closes.
    QTRY_VERIFY(fake.readEnd < 0 || read(fake.readEnd, &byte, 1) == 0);
    QCOMPARE(log.count(QStringLiteral("DisableAppSleep: no sleep inhibitor answers on D-Bus; idle sleep stays allowed")),
        calls.isEmpty() ? 1 : 0);
}

QUV_TEST_MAIN(TestSleepGuard)
#include "test_sleepguard.moc"
