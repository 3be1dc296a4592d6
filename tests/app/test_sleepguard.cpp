// The sleep guard against a private message bus with a stand-in service:
// logind's inhibitor held by its descriptor, the PowerManagement fallback,
// and no bus at all.

#include "app/disableappsleep.h"
#include "quvtest.h"

#include <memory>

#include <QProcess>

namespace {

const QString NO_BUS = QStringLiteral("unix:path=/nonexistent/bus");

// Starts program and waits for its first line of output.
QString firstLine(QProcess& process, const QString& program, const QStringList& arguments)
{
    process.start(program, arguments);
    return QTest::qWaitFor([&] { return process.canReadLine(); }, 10000) ? QString::fromUtf8(process.readLine()).trimmed()
                                                                         : QString();
}

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
    QTest::addColumn<QString>("service");
    QTest::addColumn<bool>("systemBus");
    QTest::addColumn<bool>("sessionBus");
    QTest::addColumn<QStringList>("calls");
    const QStringList logind { "Inhibit idle|QUV Taqo Control|Batch processing files|block", "released" };
    const QStringList power { "Inhibit QUV Taqo Control|Batch processing files", "UnInhibit 42" };
    QTest::newRow("logind") << "logind" << true << true << logind;
    QTest::newRow("power management") << "pm" << false << true << power;
    QTest::newRow("no logind on the system bus") << "pm" << true << true << power;
    QTest::newRow("no bus") << "pm" << false << false << QStringList();
}

void TestSleepGuard::guard()
{
    QFETCH(QString, service);
    QFETCH(QStringList, calls);
    QProcess daemon;
    const QString address = firstLine(daemon, QStringLiteral("dbus-daemon"),
        { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address") });
    if (address.isEmpty())
        QSKIP("dbus-daemon cannot be started (Debian package dbus)");
    QProcess fake;
    QCOMPARE(firstLine(fake, QStringLiteral(FAKE_SLEEP_SERVICE), { address, service }), QStringLiteral("ready"));

    QFETCH(bool, systemBus);
    QFETCH(bool, sessionBus);
    auto guard = std::make_unique<DisableAppSleep>(systemBus ? address : NO_BUS, sessionBus ? address : NO_BUS);
    auto next = [&] {
        return QTest::qWaitFor([&] { return fake.canReadLine(); }, calls.isEmpty() ? 500 : 10000)
            ? QString::fromUtf8(fake.readLine()).trimmed()
            : QString();
    };
    QCOMPARE(next(), calls.value(0));
    QVERIFY(!fake.canReadLine());
    guard.reset();
    QCOMPARE(next(), calls.value(1));
    QVERIFY(!fake.waitForReadyRead(200));

    fake.kill();
    daemon.kill();
    fake.waitForFinished();
    daemon.waitForFinished();
}

QUV_TEST_MAIN(TestSleepGuard)
#include "test_sleepguard.moc"
