// The camera link: offline rules, the value cache, opening with its retries,
// a line another link holds, closing with its drain report, a line that hangs
// up, the camera's name, the picture flip and the preferences of the device
// layer.

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

const QString kOpened = QStringLiteral("88 30 01 FF | 81 01 00 01 FF | 81 09 00 02 FF");

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
    void offline();
    void cache();
    void open_data();
    void open();
    void lineHeldByAnotherLink();
    void closeReportsLeftoverInput();
    void name_data();
    void name();
    void nameSet_data();
    void nameSet();
    void verticalFlip();
    void preferences();
};

void TestDeviceLink::offline()
{
    // The placeholder of an empty slot: never opened. Writes are dropped, reads fail.
    DeviceInterface device(nullptr, QSerialPortInfo());
    QVERIFY(!device.deviceOnline());
    QCOMPARE(device.viscaSet(ViscaMsg::ZoomValue, 0x4000, -1), 0);
    int value = 7;
    QCOMPARE(device.viscaGetAsync(ViscaMsg::ZoomValue, value), 255);
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, value, false), 255);
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
    QCOMPARE(device.viscaSet(ViscaMsg::ZoomValue, 0x4000, -1), 0);
    camera.sim.clearReceived();
    int value = 0;
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, value, true), 0);
    QCOMPARE(value, 0x4000);

    // A failed read keeps the values, both the caller's and the cached.
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::ErrorReply).matching(hexBytes("09 04 47")).times(1));
    value = 7;
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, value, false), 255);
    QCOMPARE(value, 7);
    QCOMPARE(device.viscaGetAsync(ViscaMsg::ZoomValue, value), 0);
    QCOMPARE(value, 0x4000);

    // Invalidated, the next cached read asks the camera.
    device.deviceInvalidateCache();
    QCOMPARE(device.viscaGetAsync(ViscaMsg::ZoomValue, value), 255);
    camera.sim.setWord(hexBytes("04 47"), 0x1234);
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, value, true), 0);
    QCOMPARE(value, 0x1234);
    QCOMPARE(camera.sim.received(), (QList<QByteArray> { hexBytes("81 09 04 47 FF"), hexBytes("81 09 04 47 FF") }));

    // A close resets the cache: a re-opened camera is read afresh.
    device.viscaSerialClose();
    QVERIFY(!device.deviceOnline());
    QCOMPARE(device.viscaGetAsync(ViscaMsg::ZoomValue, value), 255);
}

void TestDeviceLink::open_data()
{
    QTest::addColumn<QByteArray>("silent"); // the body the camera leaves unanswered
    QTest::addColumn<int>("times"); // how often; -1: always
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("message"); // empty: opened

    const QString full = kOpened;
    QTest::newRow("opened") << QByteArray() << 0 << full << "";
    QTest::newRow("address set retried once") << hexBytes("30 01") << 1 << "88 30 01 FF | " + full << "";
    QTest::newRow("address set") << hexBytes("30 01") << -1 << "88 30 01 FF | 88 30 01 FF"
                                 << "visca-cli: unable to set address";
    QTest::newRow("interface clear") << hexBytes("01 00 01") << -1 << "88 30 01 FF | 81 01 00 01 FF"
                                     << "visca-cli: unable to clear interface";
    QTest::newRow("version") << hexBytes("09 00 02") << -1 << full << "visca-cli: unable to get camera infos";
}

void TestDeviceLink::open()
{
    QFETCH(QByteArray, silent);
    QFETCH(int, times);
    QFETCH(QString, record);
    QFETCH(QString, message);
    SimDevice camera;
    if (times != 0)
        camera.sim.addFault(CamSim::Rule(CamSim::Fault::Silence).matching(silent).times(times));
    quvtest::MessageLog log;
    QCOMPARE(camera.device->viscaSerialOpen(camera.sim.devicePath()), message.isEmpty());
    QCOMPARE(camera.device->deviceOnline(), message.isEmpty());
    QCOMPARE(camera.device->viscaSerialOpened(), message.isEmpty());
    QCOMPARE(log.messages(), message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(hexList(camera.sim.received()), record);

    // Queued on the worker, as the camera set does it, an open replaces the open link.
    camera.sim.clearFaults();
    camera.sim.clearReceived();
    camera.device->viscaPush(ViscaMsg::SerialOpen, -1, -1);
    QTRY_VERIFY_WITH_TIMEOUT(camera.sim.received().size() == 3 && camera.device->deviceOnline(), 10000);
    QCOMPARE(hexList(camera.sim.received()), kOpened);
}

// Two links on one line, as two copies of the program would have: the second
// is refused with its reason and writes nothing, the first goes on working.
// The line is free again once the first closes it, or abandons its descriptor
// as the camera set does at shutdown.
void TestDeviceLink::lineHeldByAnotherLink()
{
    SimDevice first;
    QVERIFY(first.open());
    const QString path = first.sim.devicePath();
    DeviceInterface second(nullptr, SerialPortDesc::forDevicePath(path));
    {
        quvtest::MessageLog log;
        QVERIFY(!second.viscaSerialOpen(path));
        QCOMPARE(log.messages(),
            QStringList { QStringLiteral("visca-cli: serial device in use by another program \"%1\"").arg(path) });
    }
    QCOMPARE(second.viscaSerialError(), uint32_t(VISCA_ERROR_IN_USE));
    QVERIFY(!second.deviceOnline());
    first.sim.setWord(hexBytes("04 47"), 0x1234);
    int zoom = 0;
    QCOMPARE(first.device->viscaGet(ViscaMsg::ZoomValue, zoom, false), 0);
    QCOMPARE(zoom, 0x1234);
    QCOMPARE(hexList(first.sim.received()), QStringLiteral("81 09 04 47 FF"));

    QCOMPARE(first.device->viscaSet(ViscaMsg::SerialClose, 0, 0), 0);
    QVERIFY(second.viscaSerialOpen(path));
    QCOMPARE(second.viscaSerialError(), uint32_t(VISCA_ERROR_NONE));
    QVERIFY(!first.device->viscaSerialOpen(path));

    second.viscaSerialAbort();
    QVERIFY(first.open());
    QCOMPARE(first.device->viscaGet(ViscaMsg::ZoomValue, zoom, false), 0);
}

void TestDeviceLink::closeReportsLeftoverInput()
{
    SimDevice camera;
    QVERIFY(camera.open());
    // A second descriptor on the line sees the same input queue as the device's.
    const int watch = ::open(camera.sim.devicePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
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

void TestDeviceLink::name_data()
{
    QTest::addColumn<int>("register0");
    QTest::addColumn<int>("register1");
    QTest::addColumn<int>("register2");
    QTest::addColumn<QString>("name");
    // Register 0 holds characters 2 and 1, register 1 characters 4 and 3, register 2 the length and character 5.
    QTest::newRow("five characters") << 0x4241 << 0x4443 << 0x0545 << "ABCDE";
    QTest::newRow("bytes beyond the length do not count") << 0x6143 << 0x206D << 0x0300 << "Cam";
    QTest::newRow("length 0") << 0x6143 << 0x006D << 0x0000 << "Cam ?";
    QTest::newRow("length 6") << 0x6143 << 0x006D << 0x0600 << "Cam ?";
    QTest::newRow("a blank") << 0x2043 << 0x006D << 0x0300 << "Cam ?";
    QTest::newRow("above 0x7F") << 0x6143 << 0x00E9 << 0x0300 << "Cam ?";
    QTest::newRow("0x7F") << 0x6143 << 0x007F << 0x0300 << "Cam ?";
    QTest::newRow("0x21") << 0x2121 << 0x0000 << 0x0200 << "!!";
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
    QTest::newRow("empty") << ""
                           << "81 01 04 23 02 00 05 03 0F FF | 81 01 04 23 01 02 00 06 0D FF"
                              " | 81 01 04 23 00 06 01 04 03 FF"
                           << true;
    QTest::newRow("AB") << "AB"
                        << "81 01 04 23 02 00 02 00 00 FF | 81 01 04 23 00 04 02 04 01 FF" << false;
    QTest::newRow("CAM1") << "CAM1"
                          << "81 01 04 23 02 00 04 00 00 FF | 81 01 04 23 01 03 01 04 0D FF"
                             " | 81 01 04 23 00 04 01 04 03 FF"
                          << false;
    QTest::newRow("fifth character") << "VWXYZ"
                                     << "81 01 04 23 02 00 05 05 0A FF | 81 01 04 23 01 05 09 05 08 FF"
                                        " | 81 01 04 23 00 05 07 05 06 FF"
                                     << false;
}

void TestDeviceLink::nameSet()
{
    QFETCH(QString, name);
    QFETCH(QString, writes);
    QFETCH(bool, bad);
    SimDevice camera;
    QVERIFY(camera.open());
    quvtest::MessageLog log;
    camera.device->deviceNameSet(name);
    QCOMPARE(log.count(QStringLiteral("deviceNameSet - Bad Name")), bad ? 1 : 0);
    QCOMPARE(hexList(packetsStartingWith(camera.sim.received(), hexBytes("81 01 04 23"))), writes);
    QCOMPARE(camera.device->deviceName(false), bad ? QStringLiteral("Cam ?") : name);

    // The same name again writes nothing.
    camera.sim.clearReceived();
    camera.device->deviceNameSet(name);
    QCOMPARE(packetsStartingWith(camera.sim.received(), hexBytes("81 01 04 23")).size(), 0);
}

void TestDeviceLink::verticalFlip()
{
    // The flag is true when the camera's picture flip holds 3.
    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSetVFlip(true), 0);
    QVERIFY(camera.device->viscaGetVFlip());
    QCOMPARE(camera.device->viscaSetVFlip(false), 0);
    QCOMPARE(hexList(camera.sim.received()), QStringLiteral("81 01 04 66 03 FF | 81 01 04 66 02 FF"));
    QVERIFY(!camera.device->viscaGetVFlip());
    camera.device->deviceInvalidateCache();
    camera.sim.setValue(hexBytes("04 66"), hexBytes("03"));
    QVERIFY(camera.device->viscaGetVFlip());
}

void TestDeviceLink::preferences()
{
    // A store written as the program left it: a bool comes back as the text "true".
    const QString path = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/quv/QUV Taqo Control.conf");
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[prefs]\ndeepScan=true\ncamZoomSpeed=3\n");
    file.close();

    DeviceInterface device(nullptr, QSerialPortInfo());
    DeviceInterface::setDeepScanEnabled(false);
    device.preferenceRead();
    QVERIFY(DeviceInterface::deepScanEnabled());
    QCOMPARE(device.zoomSpeed(), 3);

    device.setZoomSpeed(5);
    DeviceInterface::setDeepScanEnabled(false);
    device.preferenceWrite();
    QSettings settings;
    QCOMPARE(settings.value(QStringLiteral("prefs/deepScan")).toString(), QStringLiteral("false"));
    QCOMPARE(settings.value(QStringLiteral("prefs/camZoomSpeed")).toInt(), 5);
}

QUV_TEST_MAIN(TestDeviceLink)
#include "test_devicelink.moc"
