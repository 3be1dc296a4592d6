// The USB notifier: over a stand-in bus, devices present at install, arrivals
// and removals through the event loop of the installing thread, Uninstall at
// any moment and the log lines; the USB location ID and the string tables;
// and the real udev source, which build machines may run without a daemon,
// and the event stream it takes with and without one.

#include "device/linux/pnp_udev.h"
#include "device/linux/pnpkit.h"
#include "device/pnpnotifier.h"
#include "device/taqonotifier.h"
#include "fakeusbbus.h"
#include "quvtest.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include <linux/netlink.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QScopeGuard>
#include <QTemporaryDir>
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
    int count() const { return messages().size(); }
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

QStringList s_logLines; // the notifiers log on the test thread only

void captureLog(const char* line)
{
    s_logLines.append(QString::fromUtf8(line));
}

QStringList takeLog()
{
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
struct Tracing
{
    Tracing() { PnpNotifier::SetDebugLogging(PnpNotifier::kTraceEntry | PnpNotifier::kTraceExit); }
    ~Tracing() { PnpNotifier::SetDebugLogging(0); }
};

// The base notifier with a dictionary of every USB device: general-interest watches.
class UsbNotifier : public PnpNotifier
{
public:
    using PnpNotifier::PnpNotifier;
    CFMutableDictionaryRef CreateMatchingDictionary() override
    {
        return PnpNotifier::CreateMatchingDictionary(kIOUSBDeviceClassName);
    }
    io_iterator_t matching() const { return m_deviceMatchList.front(); }
};

// Why no socket for the kernel's device events can be bound here (a sandbox
// may refuse netlink), or empty when one can.
QString netlinkRefusal()
{
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        return QStringLiteral("no device event netlink socket: ") + QString::fromLocal8Bit(std::strerror(errno));
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1; // the kernel's events
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    close(fd);
    if (bound)
        return QString();
    return QStringLiteral("cannot bind a device event netlink socket: ") + QString::fromLocal8Bit(std::strerror(error));
}

// The netlink groups an open source listens to: 1 the kernel's events, 2 the udev daemon's.
unsigned listenedGroups(const PnpEventSource& source)
{
    sockaddr_nl address {};
    socklen_t size = sizeof address;
    if (getsockname(source.descriptor(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return ~0u;
    return address.nl_groups;
}

const PnpDeviceInfo kDeviceA = FakeUsbBus::device("1-1", "1", "1", "TaqoRx");
const PnpDeviceInfo kDeviceB = FakeUsbBus::device("1-2", "1", "2");
const PnpDeviceInfo kDeviceC = FakeUsbBus::device("2-1.4", "2", "1.4", "Hub port four");

} // namespace

class TestPnp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void strings();
    void usbLocationId_data();
    void usbLocationId();
    void presentDevicesBeforeInstallReturns();
    void arrivalsAndRemovals();
    void callbacksOnInstallingQThread();
    void uninstallTwiceAndReinstall();
    void uninstallFromCallback();
    void installFailures();
    void baseNotifier();
    void udevSource();
    void udevStreams();

private:
    std::unique_ptr<FakeUsbBus> m_bus;
};

void TestPnp::init()
{
    m_bus = std::make_unique<FakeUsbBus>();
    m_bus->attach();
    pnpkit::setLogSink(captureLog);
    takeLog();
}

void TestPnp::cleanup()
{
    pnpkit::setLogSink(nullptr);
    // Every test uninstalls: no event source may outlive it.
    const int open = m_bus->openSources();
    m_bus.reset();
    QCOMPARE(open, 0);
}

void TestPnp::strings()
{
    // Every interest message with a name, and a few without.
    for (unsigned code : { 0x010u, 0x020u, 0x030u, 0x100u, 0x101u, 0x110u, 0x120u, 0x200u, 0x210u, 0x220u, 0x230u,
             0x240u, 0x250u, 0x260u, 0x270u, 0x280u, 0x290u, 0x300u })
        QVERIFY(PnpNotifier::MessageTypeToStr(0xE0000000 | code).rfind("kIOMessage", 0) == 0);
    QCOMPARE(PnpNotifier::MessageTypeToStr(kTerminated), std::string("kIOMessageServiceIsTerminated"));
    QCOMPARE(PnpNotifier::MessageTypeToStr(0xE0000300), std::string("kIOMessageSystemHasPoweredOn"));
    QCOMPARE(PnpNotifier::MessageTypeToStr(0xE0000011), std::string("0xe0000011"));
    QCOMPARE(PnpNotifier::MessageTypeToStr(0x5), std::string("0x0005"));

    // I/O results 0xE00002BC to 0xE00002F0 have texts, but for two gaps.
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002BB)), "");
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002BC)), "general error");
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002CA)), "General I/O error");
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002CB)), "");
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002F0)), "data was not found");
    QCOMPARE(PnpNotifier::KernResultToString(IOReturn(0xE00002F1)), "");
}

void TestPnp::usbLocationId_data()
{
    QTest::addColumn<uint>("bus");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("location");
    QTest::newRow("root hub") << 1u << "0" << true << 0x01000000u;
    QTest::newRow("behind a hub") << 2u << "1.4.2" << true << 0x02142000u;
    QTest::newRow("seven levels") << 255u << "3.1.15.2.1.7.6" << true << 0xFF31F217u;
    QTest::newRow("port 255 reads 15") << 1u << "2.255" << true << 0x012F0000u;
    QTest::newRow("port 10") << 1u << "10.1" << true << 0x01A10000u;
    QTest::newRow("port 256") << 1u << "256" << false << 0u;
    QTest::newRow("port 0 below the root") << 1u << "1.0" << false << 0u;
    QTest::newRow("bus 0") << 0u << "1" << false << 0u;
    QTest::newRow("bus 256") << 256u << "1" << false << 0u;
    QTest::newRow("empty level") << 1u << "1..2" << false << 0u;
    QTest::newRow("letters") << 1u << "1.a" << false << 0u;
}

void TestPnp::usbLocationId()
{
    QFETCH(uint, bus);
    QFETCH(QString, path);
    QFETCH(bool, valid);
    QFETCH(uint, location);
    UInt32 result = 0xDEADBEEF;
    QCOMPARE(pnpkit::usbLocationId(bus, path.toStdString(), &result), valid);
    QCOMPARE(result, valid ? UInt32(location) : UInt32(0xDEADBEEF));
}

void TestPnp::presentDevicesBeforeInstallReturns()
{
    // Devices without a readable USB address are neither reported nor watched.
    const PnpDeviceInfo noBus = FakeUsbBus::device("3-1", "", "1");
    const PnpDeviceInfo badBus = FakeUsbBus::device("3-2", "three", "2");
    const PnpDeviceInfo badPort = FakeUsbBus::device("3-3", "3", "1.0");
    m_bus->setPresent({ noBus, kDeviceA, badBus, badPort, kDeviceC });
    Recorder recorder;
    ProbeNotifier notifier(Recorder::callback, &recorder);

    quvtest::CaptureFd out(1);
    // False although it worked: the per-device watches are no general-interest notifications.
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(out.text(),
        QByteArray("IOCreatePlugInInterfaceForService returned 0xe00002f0.\n"
                   "QueryInterface returned -536870206.\n"));
    // Reported inside Install, before any event is processed.
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived }));
    QCOMPARE(notifier.locationId(), UInt32(0x02140000));
    QCOMPARE(notifier.deviceName(), std::string("Hub port four"));
    QVERIFY(takeLog().isEmpty());

    // The removals of skipped devices report nothing; the arrival after them shows they were handled.
    m_bus->send({ { "remove", noBus }, { "remove", badBus }, { "remove", badPort }, { "add", kDeviceB } });
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages().last(), kArrived);
    QCOMPARE(notifier.locationId(), UInt32(0x01200000));
    QCOMPARE(notifier.deviceName(), std::string("1-2"));

    // Zeros in the bus number and the port path, as sysfs writes them.
    m_bus->plug(FakeUsbBus::device("10-10", "10", "10"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 4, kWaitMs);
    QCOMPARE(notifier.locationId(), UInt32(0x0AA00000));
    notifier.Uninstall();
}

void TestPnp::arrivalsAndRemovals()
{
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    QVERIFY(!notifier.Install(nullptr));
    QCOMPARE(recorder.count(), 0);

    m_bus->plug(kDeviceA);
    m_bus->plug(kDeviceB);
    m_bus->unplug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kTerminated }));

    // Other actions, a second removal and the removal of a device never seen report nothing.
    m_bus->send({ { "change", kDeviceB }, { "bind", kDeviceB }, { "unbind", kDeviceB }, { "remove", kDeviceA },
        { "remove", kDeviceC }, { "Add", kDeviceC } });
    m_bus->unplug(kDeviceB);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 4, kWaitMs);
    QCOMPARE(recorder.messages().last(), kTerminated);
    QVERIFY(recorder.allOn(QThread::currentThread()));

    // The same device again: a fresh watch, and the spent ones are let go.
    m_bus->plug(kDeviceA);
    m_bus->unplug(kDeviceA);
    m_bus->plug(kDeviceC);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 7, kWaitMs);
    QCOMPARE(recorder.messages().mid(4), Messages({ kArrived, kTerminated, kArrived }));
    quvtest::CaptureFd err(2);
    Tracing tracing;
    notifier.Uninstall();
    // Only the matching notification and the watch of C are left to release.
    QCOMPARE(takeLog(),
        QStringList({ logLine("NOTE", "Uninstall", "in, " + sizes(0, 2)),
            logLine("NOTE", "Uninstall", "out, " + sizes(0, 0)) }));
}

void TestPnp::callbacksOnInstallingQThread()
{
    QThread thread;
    thread.start();
    auto* context = new QObject;
    context->moveToThread(&thread);
    connect(&thread, &QThread::finished, context, &QObject::deleteLater);

    m_bus->setPresent({ kDeviceA });
    Recorder recorder;
    std::unique_ptr<TaqoNotifier> notifier;
    QVERIFY(QMetaObject::invokeMethod(
        context,
        [&]() {
            notifier = std::make_unique<TaqoNotifier>(Recorder::callback, &recorder);
            notifier->Install(nullptr);
        },
        Qt::BlockingQueuedConnection));
    m_bus->plug(kDeviceB);
    m_bus->unplug(kDeviceA);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages(), Messages({ kArrived, kArrived, kTerminated }));
    QVERIFY(recorder.allOn(&thread));

    QVERIFY(QMetaObject::invokeMethod(
        context, [&]() { notifier.reset(); }, Qt::BlockingQueuedConnection));
    thread.quit();
    QVERIFY(thread.wait(kWaitMs));
}

void TestPnp::uninstallTwiceAndReinstall()
{
    m_bus->setPresent({ kDeviceA, kDeviceB });
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    quvtest::CaptureFd err(2);
    {
        Tracing tracing;
        QVERIFY(!notifier.Install(nullptr));
        QCOMPARE(takeLog(),
            QStringList({ logLine("NOTE", "Install", "in, " + sizes(0, 0) + ", matchingDictionary=0x0000000000000000"),
                logLine("NOTE", "DeviceAddedCallback", "in"), logLine("NOTE", "DeviceAddedCallback", "out"),
                logLine("NOTE", "Install", "out, " + sizes(0, 3)) }));

        // An event waits unread when the notifier goes: it is never delivered.
        m_bus->plug(kDeviceC);
        notifier.Uninstall();
        QCOMPARE(m_bus->openSources(), 0);
        notifier.Uninstall();
        QCOMPARE(takeLog().size(), 4);
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

    // Messages other than an arrival are passed on, until the callback is taken away.
    notifier.DeviceChanged(nullptr, kArrived, nullptr);
    notifier.DeviceChanged(nullptr, 0xE0000020, nullptr);
    QCOMPARE(recorder.messages().mid(5), Messages({ 0xE0000020 }));
    notifier.SetCallback(nullptr, nullptr);
    notifier.DeviceChanged(nullptr, kTerminated, nullptr);
    QCOMPARE(recorder.count(), 6);
    notifier.Uninstall();
}

void TestPnp::uninstallFromCallback()
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
    recorder.onCall = nullptr;
}

void TestPnp::installFailures()
{
    Recorder recorder;

    // The base notifier has no dictionary of its own.
    PnpNotifier base(Recorder::callback, &recorder);
    QVERIFY(!base.Install(nullptr));
    QCOMPARE(takeLog(), QStringList({ logLine("ERROR", "Install", "NULL matchingDictionary") }));
    base.AddGeneralInterest(nullptr);
    QCOMPARE(takeLog(),
        QStringList({ logLine("ERROR", "AddGeneralInterest",
            "kernResult=0xe00002c2(invalid argument) -- IOServiceAddInterestNotification failed") }));

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

void TestPnp::baseNotifier()
{
    m_bus->setPresent({ kDeviceA, kDeviceB });
    Recorder recorder;
    UsbNotifier notifier(Recorder::callback, &recorder);
    QVERIFY(notifier.Install(nullptr));
    QCOMPARE(recorder.messages(), Messages({ PnpNotifier::kServicesAdded }));
    m_bus->unplug(kDeviceA);
    m_bus->plug(kDeviceC);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 3, kWaitMs);
    QCOMPARE(recorder.messages().mid(1), Messages({ kTerminated, PnpNotifier::kServicesAdded }));
    // A removal handed to the base notifier reports the services of the delivery.
    PnpNotifier::DeviceRemovedCallback(&notifier, notifier.matching());
    PnpNotifier::DeviceRemovedCallback(nullptr, notifier.matching());
    QCOMPARE(recorder.messages().mid(3), Messages({ PnpNotifier::kServicesRemoved }));

    // A dictionary of the caller's stays the caller's: the notifier holds a reference of its own.
    CFMutableDictionaryRef dictionary = pnpkit::serviceMatching(kIOUSBDeviceClassName);
    QVERIFY(notifier.Install(dictionary));
    notifier.Uninstall();
    QCOMPARE(pnpkit::dictionaryValue(dictionary, kIOProviderClassKey), std::string(kIOUSBDeviceClassName));
    pnpkit::release(dictionary);
    QCOMPARE(recorder.count(), 5);
}

void TestPnp::udevSource()
{
    // Every USB device sysfs lists, read without udev.
    int sysfsDevices = 0;
    const QDir devices("/sys/bus/usb/devices");
    for (const QString& name : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile uevent(devices.filePath(name + "/uevent"));
        sysfsDevices += uevent.open(QIODevice::ReadOnly) && uevent.readAll().contains("DEVTYPE=usb_device\n");
    }

    // The source opens (on the kernel's events without a daemon) wherever a
    // netlink socket can be bound; elsewhere it says why not.
    const QString refusal = netlinkRefusal();
    std::unique_ptr<PnpEventSource> source = createUdevEventSource();
    std::string error;
    const bool opened = source->open(&error);
    if (refusal.isEmpty())
        QVERIFY2(opened, error.c_str());
    QCOMPARE(error.empty(), opened);
    QCOMPARE(source->descriptor() >= 0, opened);
    QCOMPARE(int(source->present().size()), sysfsDevices);

    // The notifier on it installs and uninstalls cleanly either way.
    pnpkit::setEventSourceFactory({});
    Recorder recorder;
    TaqoNotifier notifier(Recorder::callback, &recorder);
    notifier.Install(nullptr);
    QVERIFY(recorder.count() <= sysfsDevices);
    QCOMPARE(takeLog().size(), opened ? 0 : 1);
    notifier.Uninstall();
    notifier.Uninstall();
}

void TestPnp::udevStreams()
{
    // The daemon's control socket decides the stream: the daemon's events
    // while the socket exists, the kernel's without it.
    const QString refusal = netlinkRefusal();
    if (!refusal.isEmpty())
        QSKIP(qPrintable(refusal));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string control = dir.filePath("control").toStdString();
    std::string error;
    const std::unique_ptr<PnpEventSource> kernel = createUdevEventSource(control);
    QVERIFY2(kernel->open(&error), error.c_str());
    QCOMPARE(listenedGroups(*kernel), 1u);

    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto closeServer = qScopeGuard([server] { close(server); });
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, control.c_str(), sizeof address.sun_path - 1);
    QVERIFY(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    const std::unique_ptr<PnpEventSource> daemon = createUdevEventSource(control);
    QVERIFY2(daemon->open(&error), error.c_str());
    // Group 2; libudev binds none where its own test finds no daemon.
    const unsigned groups = listenedGroups(*daemon);
    QVERIFY2(groups == 2 || groups == 0, qPrintable(QString::number(groups)));
}

QUV_TEST_MAIN(TestPnp)
#include "test_pnp.moc"
