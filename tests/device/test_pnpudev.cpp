// The real udev event source and the notifier on it. Build machines and
// containers run no udev daemon and may see no USB bus: the source must
// then still open (on the kernel's events) or say why not, and the notifier
// must install and uninstall cleanly either way.

#include "device/linux/pnp_udev.h"
#include "device/linux/pnpkit.h"
#include "device/taqonotifier.h"
#include "quvtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QStringList s_logLines; // the notifier runs on the test thread only

void captureLog(const char* line)
{
    s_logLines.append(QString::fromUtf8(line));
}

void countCall(unsigned long message, void* refcon)
{
    if (message == 0xE0000101)
        ++*static_cast<int*>(refcon);
    else
        QFAIL("unexpected message");
}

// USB devices as sysfs lists them, read without udev.
int sysfsUsbDevices()
{
    int count = 0;
    const QDir devices("/sys/bus/usb/devices");
    for (const QString& name : devices.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile uevent(devices.filePath(name + "/uevent"));
        if (uevent.open(QIODevice::ReadOnly) && uevent.readAll().contains("DEVTYPE=usb_device\n"))
            ++count;
    }
    return count;
}

} // namespace

class TestPnpUdev : public QObject
{
    Q_OBJECT

private slots:
    void sourceOpensOrSaysWhy();
    void notifierInstallsAndUninstalls();
};

void TestPnpUdev::sourceOpensOrSaysWhy()
{
    std::unique_ptr<PnpEventSource> source = createUdevEventSource();
    std::string error;
    if (source->open(&error)) {
        QVERIFY(source->descriptor() >= 0);
    } else {
        QVERIFY(!error.empty());
        QCOMPARE(source->descriptor(), -1);
        PnpEvent event;
        QVERIFY(!source->receive(&event));
    }

    const std::vector<PnpDeviceInfo> present = source->present();
    QCOMPARE(int(present.size()), sysfsUsbDevices());
    for (const PnpDeviceInfo& device : present) {
        QVERIFY(device.syspath.rfind("/sys/", 0) == 0);
        QVERIFY(!device.sysname.empty());
    }
}

void TestPnpUdev::notifierInstallsAndUninstalls()
{
    pnpkit::setEventSourceFactory({});
    pnpkit::setLogSink(captureLog);
    int arrivals = 0;
    TaqoNotifier notifier(countCall, &arrivals);

    QVERIFY(!notifier.Install(nullptr));
    const int reported = arrivals;
    if (s_logLines.isEmpty()) {
        // Every device reported was present; one without a USB address is left out.
        QVERIFY(reported <= sysfsUsbDevices());
    } else {
        // No monitor could be made: said once, nothing reported.
        QCOMPARE(s_logLines.size(), 1);
        QVERIFY(s_logLines.first().endsWith(":  Install:  IONotificationPortCreate failed"));
        QCOMPARE(reported, 0);
    }
    QCoreApplication::processEvents();

    notifier.Uninstall();
    notifier.Uninstall();
    const int afterUninstall = arrivals;
    QCoreApplication::processEvents();
    QCOMPARE(arrivals, afterUninstall);

    // And again, as after a failed start.
    s_logLines.clear();
    notifier.Install(nullptr);
    notifier.Uninstall();
    QVERIFY(s_logLines.size() <= 1);
    pnpkit::setLogSink(nullptr);
}

QUV_TEST_MAIN(TestPnpUdev)
#include "test_pnpudev.moc"
