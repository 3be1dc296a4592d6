// The USB notifier over a stand-in bus: devices present at install, arrivals
// and removals through the event loop, the installing thread, Uninstall,
// the log lines and the string tables.

#include "device/linux/pnpkit.h"
#include "device/pnpnotifier.h"
#include "device/taqonotifier.h"
#include "fakeusbbus.h"
#include "quvtest.h"

#include <functional>
#include <memory>

#include <pthread.h>

#include <QCoreApplication>
#include <QMutex>
#include <QThread>

namespace {

constexpr unsigned long kArrived = 0xE0000101;
constexpr unsigned long kTerminated = 0xE0000010;
constexpr int kWaitMs = 10000;

using Messages = QVector<unsigned long>;

// Records each callback with the thread it ran on.
class Recorder
{
public:
    static void callback(unsigned long message, void* refcon)
    {
        auto* self = static_cast<Recorder*>(refcon);
        {
            QMutexLocker lock(&self->m_mutex);
            self->m_messages.append(message);
            self->m_threads.append(QThread::currentThread());
        }
        if (self->onCall)
            self->onCall(message);
    }

    int count() const
    {
        QMutexLocker lock(&m_mutex);
        return m_messages.size();
    }
    Messages messages() const
    {
        QMutexLocker lock(&m_mutex);
        return m_messages;
    }
    bool allOn(QThread* thread) const
    {
        QMutexLocker lock(&m_mutex);
        return std::all_of(m_threads.begin(), m_threads.end(), [thread](QThread* t) { return t == thread; });
    }

    std::function<void(unsigned long)> onCall; // runs on the callback's thread

private:
    mutable QMutex m_mutex;
    Messages m_messages;
    QVector<QThread*> m_threads;
};

// Exposes what the notifier keeps of the latest device.
class ProbeNotifier : public TaqoNotifier
{
public:
    using TaqoNotifier::TaqoNotifier;
    UInt32 locationId() const { return m_locationId; }
    std::string deviceName() const { return m_deviceName; }
};

QMutex s_logMutex;
QStringList s_logLines;

void captureLog(const char* line)
{
    QMutexLocker lock(&s_logMutex);
    s_logLines.append(QString::fromUtf8(line));
}

QStringList takeLog()
{
    QMutexLocker lock(&s_logMutex);
    QStringList lines;
    lines.swap(s_logLines);
    return lines;
}

QString logLine(const char* kind, const char* operation, const QString& text)
{
    return QString::asprintf("## %s:  0x%016lx:  %s:  ", kind, static_cast<unsigned long>(pthread_self()), operation)
        + text;
}

QString sizes(int interest, int match)
{
    return QString("m_deviceInterestList.size()=%1, m_deviceMatchList.size()=%2").arg(interest).arg(match);
}

// Turns the entry and exit traces on for one scope; stderr takes the mask lines.
class Tracing
{
public:
    Tracing() { PnpNotifier::SetDebugLogging(PnpNotifier::kTraceEntry | PnpNotifier::kTraceExit); }
    ~Tracing() { PnpNotifier::SetDebugLogging(0); }
};

const PnpDeviceInfo kDeviceA = FakeUsbBus::device("1-1", "1", "1", "TaqoRx");
const PnpDeviceInfo kDeviceB = FakeUsbBus::device("1-2", "1", "2");
const PnpDeviceInfo kDeviceC = FakeUsbBus::device("2-1.4", "2", "1.4", "Hub port four");

} // namespace

class TestPnpNotifier : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void strings_data();
    void strings();

    void presentDevicesBeforeInstallReturns();
    void devicesWithoutAddressAreSkipped();
    void arrivalsAndRemovals();
    void callbacksOnInstallingQThread();
    void uninstallTwice();
    void uninstallFromCallback();
    void installFailures();
    void interestMessagesForwarded();

private:
    std::unique_ptr<FakeUsbBus> m_bus;
};

void TestPnpNotifier::init()
{
    m_bus = std::make_unique<FakeUsbBus>();
    m_bus->attach();
    pnpkit::setLogSink(captureLog);
    takeLog();
}

void TestPnpNotifier::cleanup()
{
    pnpkit::setLogSink(nullptr);
    // Every test uninstalls: no event source may outlive it.
    const int open = m_bus->openSources();
    m_bus.reset();
    QCOMPARE(open, 0);
}

void TestPnpNotifier::strings_data()
{
    QTest::addColumn<bool>("isMessage"); // a message type, else a kernel result
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("success") << false << 0u << "";
    QTest::newRow("below the table") << false << 0xE00002BBu << "";
    QTest::newRow("2bc") << false << 0xE00002BCu << "general error";
    QTest::newRow("2ca") << false << 0xE00002CAu << "General I/O error";
    QTest::newRow("2cb undefined") << false << 0xE00002CBu << "";
    QTest::newRow("2dc undefined") << false << 0xE00002DCu << "";
    QTest::newRow("2f0") << false << 0xE00002F0u << "data was not found";
    QTest::newRow("above the table") << false << 0xE00002F1u << "";
    QTest::newRow("other system") << false << 0xE00003BCu << "";
    QTest::newRow("message 010") << true << 0xE0000010u << "kIOMessageServiceIsTerminated";
    QTest::newRow("message 101") << true << 0xE0000101u << "kIOMessageServiceIsAttemptingOpen";
    QTest::newRow("message 300") << true << 0xE0000300u << "kIOMessageSystemHasPoweredOn";
    QTest::newRow("unnamed message") << true << 0xE0000999u << "0xe0000999";
    QTest::newRow("next to a name") << true << 0xE0000011u << "0xe0000011";
    QTest::newRow("short") << true << 0x5u << "0x0005";
    QTest::newRow("zero") << true << 0u << "0x0000";
    QTest::newRow("five digits") << true << 0x12345u << "0x12345";
}

void TestPnpNotifier::strings()
{
    QFETCH(bool, isMessage);
    QFETCH(uint, code);
    QFETCH(QString, text);
    QCOMPARE(isMessage ? QString::fromStdString(PnpNotifier::MessageTypeToStr(code))
                       : QString::fromUtf8(PnpNotifier::KernResultToString(IOReturn(code))),
        text);
}

void TestPnpNotifier::presentDevicesBeforeInstallReturns()
{
    m_bus->setPresent({ kDeviceA, kDeviceB, kDeviceC });
    Recorder recorder;
    ProbeNotifier notifier(Recorder::callback, &recorder);

    // False although it worked: the per-device watches are no general-interest notifications.
    QVERIFY(!notifier.Install(nullptr));
    // Reported inside Install, before any event is processed.
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kArrived }));
    QVERIFY(recorder.allOn(QThread::currentThread()));
    QCOMPARE(notifier.locationId(), UInt32(0x02140000));
    QCOMPARE(notifier.deviceName(), std::string("Hub port four"));
    QVERIFY(takeLog().isEmpty());

    notifier.Uninstall();
}

void TestPnpNotifier::devicesWithoutAddressAreSkipped()
{
    const PnpDeviceInfo noBus = FakeUsbBus::device("3-1", "", "1");
    const PnpDeviceInfo badBus = FakeUsbBus::device("3-2", "three", "2");
    const PnpDeviceInfo badPort = FakeUsbBus::device("3-3", "3", "1.0");
    m_bus->setPresent({ noBus, badBus, badPort, kDeviceA });
    Recorder recorder;
    ProbeNotifier notifier(Recorder::callback, &recorder);

    quvtest::CaptureFd out(1);
    notifier.Install(nullptr);
    QCOMPARE(out.text(),
        QByteArray("IOCreatePlugInInterfaceForService returned 0xe00002f0.\n"
                   "QueryInterface returned -536870206.\n"));
    QCOMPARE(recorder.messages(), Messages({ kArrived }));
    QCOMPARE(notifier.locationId(), UInt32(0x01100000));
    QCOMPARE(notifier.deviceName(), std::string("TaqoRx"));

    // Skipped devices are not watched either; the arrival after them shows that their removals were handled.
    m_bus->send({ { "remove", noBus }, { "remove", badBus }, { "remove", badPort }, { "add", kDeviceB } });
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 2, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived }));

    notifier.Uninstall();
}

void TestPnpNotifier::arrivalsAndRemovals()
{
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(recorder.count(), 0);

    m_bus->plug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, kWaitMs);
    m_bus->plug(kDeviceB);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 2, kWaitMs);
    m_bus->unplug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kTerminated }));

    // Other actions, a second removal and the removal of a device never seen report nothing.
    m_bus->send({ { "change", kDeviceB }, { "bind", kDeviceB }, { "unbind", kDeviceB }, { "remove", kDeviceA },
        { "remove", kDeviceC } });
    m_bus->unplug(kDeviceB);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 4, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kTerminated, kTerminated }));
    QVERIFY(recorder.allOn(QThread::currentThread()));
    QVERIFY(takeLog().isEmpty());

    // The same device again: a fresh watch, and the spent ones are let go.
    m_bus->plug(kDeviceA);
    m_bus->unplug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 6, kWaitMs);
    QCOMPARE(recorder.messages().mid(4), Messages({ kArrived, kTerminated }));
    quvtest::CaptureFd err(2);
    Tracing tracing;
    notifier.Uninstall();
    // Only the matching notification is left to release.
    QCOMPARE(takeLog().value(0), logLine("NOTE", "Uninstall", "in, " + sizes(0, 1)));
}

void TestPnpNotifier::callbacksOnInstallingQThread()
{
    QThread thread;
    thread.setObjectName("pnp install");
    thread.start();
    auto* context = new QObject;
    context->moveToThread(&thread);
    connect(&thread, &QThread::finished, context, &QObject::deleteLater);

    m_bus->setPresent({ kDeviceA });
    Recorder recorder;
    TaqoNotifier* notifier = nullptr;
    bool installed = true;
    QVERIFY(QMetaObject::invokeMethod(
        context,
        [&]() {
            notifier = new TaqoNotifier(Recorder::callback, &recorder);
            installed = notifier->Install(nullptr);
        },
        Qt::BlockingQueuedConnection));
    QVERIFY(!installed);
    QCOMPARE(recorder.count(), 1);

    m_bus->plug(kDeviceB);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 2, kWaitMs);
    m_bus->unplug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kTerminated }));
    QVERIFY(recorder.allOn(&thread));

    QVERIFY(QMetaObject::invokeMethod(
        context,
        [&]() {
            notifier->Uninstall();
            delete notifier;
        },
        Qt::BlockingQueuedConnection));
    thread.quit();
    QVERIFY(thread.wait(kWaitMs));
    QCOMPARE(recorder.count(), 3);
}

void TestPnpNotifier::uninstallTwice()
{
    m_bus->setPresent({ kDeviceA, kDeviceB });
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    quvtest::CaptureFd err(2);
    {
        Tracing tracing;
        QVERIFY(!notifier.Install(nullptr));
        QStringList install = takeLog();
        QCOMPARE(install.value(0),
            logLine("NOTE", "Install", "in, " + sizes(0, 0) + ", matchingDictionary=0x0000000000000000"));
        QCOMPARE(install.value(1), logLine("NOTE", "DeviceAddedCallback", "in"));
        QCOMPARE(install.value(2), logLine("NOTE", "DeviceAddedCallback", "out"));
        QCOMPARE(install.value(3), logLine("NOTE", "Install", "out, " + sizes(0, 3)));
        QCOMPARE(install.size(), 4);

        // An event waits unread when the notifier goes.
        m_bus->plug(kDeviceC);
        notifier.Uninstall();
        QCOMPARE(m_bus->openSources(), 0);
        notifier.Uninstall();
        QCOMPARE(takeLog(),
            QStringList({ logLine("NOTE", "Uninstall", "in, " + sizes(0, 3)),
                logLine("NOTE", "Uninstall", "out, " + sizes(0, 0)), logLine("NOTE", "Uninstall", "in, " + sizes(0, 0)),
                logLine("NOTE", "Uninstall", "out, " + sizes(0, 0)) }));
    }
    QCOMPARE(
        err.text(), QByteArray("PnpNotifier::SetDebugLogging 0x6000000000000000\nPnpNotifier::SetDebugLogging 0x0\n"));
    QCoreApplication::processEvents();
    QCOMPARE(recorder.count(), 2);

    // It may be installed again.
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(recorder.count(), 4);
    m_bus->unplug(kDeviceB);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 5, kWaitMs);
    QCOMPARE(recorder.messages().last(), kTerminated);
    notifier.Uninstall();
}

void TestPnpNotifier::uninstallFromCallback()
{
    m_bus->setPresent({ kDeviceA, kDeviceB, kDeviceC });
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);

    // While the present devices are reported.
    recorder.onCall = [&notifier](unsigned long) { notifier.Uninstall(); };
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(recorder.count(), 1);
    QCOMPARE(m_bus->openSources(), 0);

    // While a burst of events is delivered.
    recorder.onCall = nullptr;
    notifier.Install(nullptr);
    QCOMPARE(recorder.count(), 4);
    recorder.onCall = [&notifier](unsigned long) { notifier.Uninstall(); };
    m_bus->send({ { "remove", kDeviceA }, { "remove", kDeviceB }, { "add", kDeviceA } });
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 5, kWaitMs);
    QCOMPARE(m_bus->openSources(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.count(), 5);
    QCOMPARE(recorder.messages().last(), kTerminated);
    recorder.onCall = nullptr;
    notifier.Uninstall();
}

void TestPnpNotifier::installFailures()
{
    Recorder recorder;

    // The base notifier has no dictionary of its own.
    PnpNotifier base(Recorder::callback, &recorder);
    QVERIFY(!base.Install(nullptr));
    QCOMPARE(takeLog(), QStringList({ logLine("ERROR", "Install", "NULL matchingDictionary") }));
    base.AddGeneralInterest(nullptr);
    QCOMPARE(takeLog(),
        QStringList({ logLine("ERROR", "AddGeneralInterest",
            "kernResult=0xe00002c2(invalid argument) -- IOServiceAddInterestNotification "
            "failed") }));

    // No event stream: Install says so and fails; the program goes on.
    m_bus->setPresent({ kDeviceA });
    m_bus->setOpenFails(true);
    TaqoNotifier notifier(Recorder::callback, &recorder);
    quvtest::CaptureFd err(2);
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(takeLog(), QStringList({ logLine("ERROR", "Install", "IONotificationPortCreate failed") }));
    QVERIFY(err.text().contains("fake bus refuses"));
    QCOMPARE(recorder.count(), 0);

    // Installing again, without an Uninstall between, lets go of what the failed attempt held.
    m_bus->setOpenFails(false);
    notifier.Install(nullptr);
    QCOMPARE(recorder.messages(), Messages({ kArrived }));
    QVERIFY(takeLog().isEmpty());
    notifier.Uninstall();
}

void TestPnpNotifier::interestMessagesForwarded()
{
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    notifier.DeviceChanged(nullptr, kArrived, nullptr);
    QCOMPARE(recorder.count(), 0);
    notifier.DeviceChanged(nullptr, 0xE0000020, nullptr);
    notifier.DeviceChanged(nullptr, kTerminated, nullptr);
    QCOMPARE(recorder.messages(), Messages({ 0xE0000020, kTerminated }));

    notifier.SetCallback(nullptr, nullptr);
    notifier.DeviceChanged(nullptr, kTerminated, nullptr);
    QCOMPARE(recorder.count(), 2);
}

QUV_TEST_MAIN(TestPnpNotifier)
#include "test_pnpnotifier.moc"
