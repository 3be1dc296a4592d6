// The camera link: offline rules, the value cache, opening with its retries,
// closing with its drain report, a line that hangs up, the camera's name,
// the picture flip and the preferences of the device layer.

#include "simdevice.h"

#include "quvtest.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

using devicetest::SimDevice;
using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;
using quvtest::packetsStartingWith;

namespace {

QString hexList(const QList<QByteArray>& packets)
{
    QStringList texts;
    for (const QByteArray& packet : packets)
        texts.append(hexString(packet));
    return texts.join(QLatin1String(" | "));
}

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void offline();
    void cache();
    void openSequence();
    void openRetriesTheAddressSet();
    void openFailures_data();
    void openFailures();
    void openRetriesMissingDevice();
    void closeReportsLeftoverInput();
    void hangUpTakesTheCameraOffline();
    void closeNeverTouchesStandardInput();
    void name_data();
    void name();
    void nameSet_data();
    void nameSet();
    void verticalFlip();
    void preferences();
    void devicePath_data();
    void devicePath();

private:
    QString m_settingsFile;
};

void TestDeviceLink::initTestCase()
{
    // A store written as the program left it: a bool comes back as the text "true".
    m_settingsFile = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/quv/QUV Taqo Control.conf");
    QDir().mkpath(QFileInfo(m_settingsFile).path());
    QFile file(m_settingsFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[prefs]\ndeepScan=true\ncamZoomSpeed=3\n");
}

void TestDeviceLink::offline()
{
    // The placeholder of an empty slot: never opened.
    DeviceInterface device(nullptr, QSerialPortInfo());
    QVERIFY(!device.deviceOnline());
    QCOMPARE(device.viscaSet(3, 0x4000, -1), 0);
    int value = 7;
    QCOMPARE(device.viscaGetAsync(3, value), 255);
    QCOMPARE(device.viscaGet(3, value, false), 255);
    QCOMPARE(device.viscaGet(3, value, true), 255);
    QCOMPARE(value, 7);
    QVERIFY(device.viscaGetVFlip());
    QCOMPARE(device.deviceName(false), QStringLiteral("Cam ?"));
    QCOMPARE(device.deviceSerialNumber(), QString());
}

void TestDeviceLink::cache()
{
    SimDevice camera;
    QVERIFY(camera.open());
    DeviceInterface& device = *camera.device;

    QCOMPARE(device.viscaSet(3, 0x4000, -1), 0);
    camera.sim.clearReceived();
    int value = 0;
    QCOMPARE(device.viscaGet(3, value, true), 0);
    QCOMPARE(value, 0x4000);
    QVERIFY(camera.takeRecord().isEmpty());

    // A failed read keeps the values, both the caller's and the cached.
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::ErrorReply).matching(hexBytes("09 04 47")).times(1));
    value = 7;
    QCOMPARE(device.viscaGet(3, value, false), 255);
    QCOMPARE(value, 7);
    QCOMPARE(device.viscaGetAsync(3, value), 0);
    QCOMPARE(value, 0x4000);

    device.deviceInvalidateCache();
    QCOMPARE(device.viscaGetAsync(3, value), 255);
    camera.sim.setWord(hexBytes("04 47"), 0x1234);
    camera.sim.clearReceived();
    QCOMPARE(device.viscaGet(3, value, true), 0);
    QCOMPARE(value, 0x1234);
    QCOMPARE(camera.sim.received(), QList<QByteArray> { hexBytes("81 09 04 47 FF") });

    // A close resets the cache: a re-opened camera is read afresh.
    device.viscaSerialClose();
    QVERIFY(!device.deviceOnline());
    QCOMPARE(device.viscaGetAsync(3, value), 255);
}

void TestDeviceLink::openSequence()
{
    // The open queued on the worker, as the camera set does it.
    CamSim sim;
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(sim.devicePath()));
    QVERIFY(!device.deviceOnline());
    device.viscaPush(ViscaMsg::SerialOpen, -1, -1);
    QTRY_VERIFY_WITH_TIMEOUT(device.deviceOnline(), 10000);
    QCOMPARE(hexList(sim.received()), QStringLiteral("88 30 01 FF | 81 01 00 01 FF | 81 09 00 02 FF"));
}

void TestDeviceLink::openRetriesTheAddressSet()
{
    SimDevice camera;
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Silence).matching(hexBytes("30 01")).times(1));
    QVERIFY(camera.device->viscaSerialOpen(camera.sim.devicePath()));
    QCOMPARE(
        hexList(camera.sim.received()), QStringLiteral("88 30 01 FF | 88 30 01 FF | 81 01 00 01 FF | 81 09 00 02 FF"));
}

void TestDeviceLink::openFailures_data()
{
    QTest::addColumn<QByteArray>("silent"); // the body the camera leaves unanswered
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("packets");
    QTest::newRow("address set") << hexBytes("30 01") << "visca-cli: unable to set address" << 2;
    QTest::newRow("interface clear") << hexBytes("01 00 01") << "visca-cli: unable to clear interface" << 2;
    QTest::newRow("version") << hexBytes("09 00 02") << "visca-cli: unable to get camera infos" << 3;
}

void TestDeviceLink::openFailures()
{
    QFETCH(QByteArray, silent);
    QFETCH(QString, message);
    QFETCH(int, packets);
    SimDevice camera;
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Silence).matching(silent));
    quvtest::MessageLog log;
    QVERIFY(!camera.device->viscaSerialOpen(camera.sim.devicePath()));
    QVERIFY(!camera.device->deviceOnline());
    QCOMPARE(log.messages(), QStringList { message });
    QCOMPARE(camera.sim.received().size(), packets);
}

void TestDeviceLink::openRetriesMissingDevice()
{
    const QString path = QStringLiteral("/nonexistent/ttyUSB9");
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(path));
    quvtest::MessageLog log;
    QVERIFY(!device.viscaSerialOpen());
    const QString failure = QStringLiteral("visca-cli: unable to open serial device \"%1\"").arg(path);
    QCOMPARE(log.messages(), (QStringList { failure, QStringLiteral("serialOpen fail - retry number 1"), failure }));
    QVERIFY(!device.deviceOnline());
}

void TestDeviceLink::closeReportsLeftoverInput()
{
    SimDevice camera;
    QVERIFY(camera.open());
    // A second descriptor on the line sees the same input queue as the device's.
    const int watch = open(camera.sim.devicePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(watch >= 0);
    camera.sim.sendRaw(hexBytes("AA BB CC DD EE"));
    QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(watch), 5, 5000);
    close(watch);

    quvtest::CaptureFd err(2);
    QCOMPARE(camera.device->viscaSet(ViscaMsg::SerialClose, 0, 0), 0);
    QCOMPARE(err.text(), QByteArray("ERROR: 5 bytes not processedaa bb cc dd ee \n"));
    QVERIFY(!camera.device->deviceOnline());
    QVERIFY(!camera.device->viscaSerialOpened());
}

void TestDeviceLink::hangUpTakesTheCameraOffline()
{
    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSet(3, 0x1000, -1), 0);
    camera.sim.hangUp();

    quvtest::MessageLog log;
    int value = 5;
    QCOMPARE(camera.device->viscaGet(3, value, false), 255);
    QCOMPARE(value, 5);
    QVERIFY(!camera.device->deviceOnline());
    QCOMPARE(log.count(QStringLiteral("visca-cli: serial device lost \"%1\"").arg(camera.sim.devicePath())), 1);
    // Offline now: writes are dropped, reads fail, nothing touches the dead line.
    QCOMPARE(camera.device->viscaSet(3, 0x2000, -1), 0);
    QCOMPARE(camera.device->viscaGetAsync(3, value), 255);
}

void TestDeviceLink::closeNeverTouchesStandardInput()
{
    // A close while the worker is in the middle of a re-read: the exchange that
    // waits for the line must not fall back on descriptor 0 once the link is gone.
    quvtest::StdinProbe stdinProbe;
    QVERIFY(stdinProbe.isReady());
    {
        SimDevice camera;
        QVERIFY(camera.open());
        camera.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).ms(50));
        devicetest::Markers markers(camera.device.get());
        for (int msg = 0; msg < ViscaMsg::Count; ++msg)
            camera.device->viscaPull(msg, -1);
        camera.device->viscaPull(ViscaMsg::Marker, 1);
        QVERIFY(camera.sim.waitForPackets(2, 10000));
        QCOMPARE(camera.device->viscaSet(ViscaMsg::SerialClose, 0, 0), 0);
        QVERIFY(markers.waitFor(1));
    }
    QCOMPARE(stdinProbe.receivedFromStdin(), 0);
}

void TestDeviceLink::name_data()
{
    QTest::addColumn<int>("register0");
    QTest::addColumn<int>("register1");
    QTest::addColumn<int>("register2");
    QTest::addColumn<QString>("name");
    QTest::newRow("Cam") << 0x6143 << 0x006D << 0x0300 << "Cam";
    QTest::newRow("five characters") << 0x4241 << 0x4443 << 0x0545 << "ABCDE";
    QTest::newRow("length 6") << 0x6143 << 0x006D << 0x0600 << "Cam ?";
    QTest::newRow("a blank") << 0x2043 << 0x006D << 0x0300 << "Cam ?";
    QTest::newRow("above 0x7F") << 0x6143 << 0x00E9 << 0x0300 << "Cam ?";
    QTest::newRow("bytes beyond the length do not count") << 0x6143 << 0x206D << 0x0300 << "Cam";
}

void TestDeviceLink::name()
{
    QFETCH(int, register0);
    QFETCH(int, register1);
    QFETCH(int, register2);
    QFETCH(QString, name);
    SimDevice camera;
    QVERIFY(camera.open());
    camera.sim.setWord(hexBytes("04 23 00"), uint16_t(register0));
    camera.sim.setWord(hexBytes("04 23 01"), uint16_t(register1));
    camera.sim.setWord(hexBytes("04 23 02"), uint16_t(register2));
    QCOMPARE(camera.device->deviceName(false), name);
    QCOMPARE(
        hexList(camera.sim.received()), QStringLiteral("81 09 04 23 00 FF | 81 09 04 23 01 FF | 81 09 04 23 02 FF"));
    // The name read from the camera is the name read from the cache.
    QCOMPARE(camera.device->deviceName(true), name);
    QCOMPARE(camera.sim.received().size(), 3);
}

void TestDeviceLink::nameSet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("writes"); // only registers that change are written, 2 first
    QTest::addColumn<bool>("bad");
    QTest::newRow("six characters") << "ABCDEF"
                                    << "81 01 04 23 02 00 05 03 0F FF | 81 01 04 23 01 02 00 06 0D FF"
                                       " | 81 01 04 23 00 06 01 04 03 FF"
                                    << true;
    QTest::newRow("AB") << "AB"
                        << "81 01 04 23 02 00 02 00 00 FF | 81 01 04 23 00 04 02 04 01 FF" << false;
    QTest::newRow("CAM1") << "CAM1"
                          << "81 01 04 23 02 00 04 00 00 FF | 81 01 04 23 01 03 01 04 0D FF"
                             " | 81 01 04 23 00 04 01 04 03 FF"
                          << false;
}

void TestDeviceLink::nameSet()
{
    QFETCH(QString, name);
    QFETCH(QString, writes);
    QFETCH(bool, bad);
    SimDevice camera;
    QVERIFY(camera.open());
    for (const char* reg : { "04 23 00", "04 23 01", "04 23 02" })
        camera.sim.setWord(hexBytes(reg), 0);

    quvtest::MessageLog log;
    camera.device->deviceNameSet(name);
    QCOMPARE(log.count(QStringLiteral("deviceNameSet - Bad Name")), bad ? 1 : 0);
    QCOMPARE(hexList(packetsStartingWith(camera.sim.received(), hexBytes("81 01 04 23"))), writes);
    QCOMPARE(camera.device->deviceName(false), bad ? QStringLiteral("Cam ?") : name);
}

void TestDeviceLink::verticalFlip()
{
    // The flag is true when the camera's picture flip holds 3.
    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSetVFlip(true), 0);
    QCOMPARE(camera.device->viscaSetVFlip(false), 0);
    QCOMPARE(hexList(camera.sim.received()), QStringLiteral("81 01 04 66 03 FF | 81 01 04 66 02 FF"));
    QVERIFY(!camera.device->viscaGetVFlip());
    camera.device->deviceInvalidateCache();
    camera.sim.setValue(hexBytes("04 66"), hexBytes("03"));
    QVERIFY(camera.device->viscaGetVFlip());
}

void TestDeviceLink::preferences()
{
    DeviceInterface device(nullptr, QSerialPortInfo());
    DeviceInterface::setDeepScanEnabled(false);
    device.preferenceRead();
    QVERIFY(DeviceInterface::deepScanEnabled());
    QCOMPARE(device.zoomSpeed(), 3);

    device.setZoomSpeed(5);
    DeviceInterface::setDeepScanEnabled(false);
    device.preferenceWrite();
    DeviceInterface::setDeepScanEnabled(true);
    device.setZoomSpeed(0);
    device.preferenceRead();
    QVERIFY(!DeviceInterface::deepScanEnabled());
    QCOMPARE(device.zoomSpeed(), 5);

    DeviceInterface::setDeepScanEnabled(true);
    device.preferenceWrite();
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("prefs/deepScan")).toString(), QStringLiteral("true"));
    QCOMPARE(settings.value(QStringLiteral("prefs/camZoomSpeed")).toInt(), 5);
}

void TestDeviceLink::devicePath_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("path");
    QTest::newRow("USB adapter") << "ttyUSB0"
                                 << "/dev/ttyUSB0"
                                 << "/dev/ttyUSB0";
    QTest::newRow("no location") << "ttyACM0"
                                 << ""
                                 << "/dev/ttyACM0";
}

void TestDeviceLink::devicePath()
{
    QFETCH(QString, portName);
    QFETCH(QString, location);
    QFETCH(QString, path);
    SerialPortDesc port;
    port.portName = portName;
    port.systemLocation = location;
    QCOMPARE(serialDevicePath(port), path);
}

QUV_TEST_MAIN(TestDeviceLink)
#include "test_devicelink.moc"
