// Port discovery: the normal and deep scan filters on plain port descriptions,
// the serial-number order, the probe against a simulated camera on a
// pseudo-terminal, lines held by this program or by another, and the test by
// which the camera set recognises its ports.

#include "device/deviceinterface.h"
#include "device/serialscan.h"

#include "camsim.h"
#include "quvtest.h"

#include <cstdio>
#include <cstring>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSerialPortInfo>

using quvtest::CamSim;
using quvtest::hexBytes;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;

namespace {

// Ports written as "name serial vendor product", one a line; "-" is an empty
// serial number and the identifiers are hex. A port without identifiers is
// written "name serial".
QList<SerialPortDesc> ports(const QStringList& lines)
{
    QList<SerialPortDesc> out;
    for (const QString& line : lines) {
        const QStringList field = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        SerialPortDesc port;
        port.portName = field.value(0);
        port.systemLocation = QStringLiteral("/dev/") + port.portName;
        port.serialNumber = field.value(1) == QLatin1String("-") ? QString() : field.value(1);
        if (field.size() >= 4) {
            port.vendorIdentifier = quint16(field.at(2).toUInt(nullptr, 16));
            port.productIdentifier = quint16(field.at(3).toUInt(nullptr, 16));
            port.hasVendorIdentifier = port.hasProductIdentifier = true;
        }
        out.append(port);
    }
    return out;
}

QStringList namesOf(const QList<SerialPortDesc>& available, const QList<int>& kept)
{
    QStringList names;
    for (int i : kept)
        names.append(available.at(i).portName);
    return names;
}

// How the lines named in busy (held by another program) and ours (held by this
// program's camera links) are used; every other line is free.
SerialPortUseCheck uses(const QStringList& busy, const QStringList& ours = QStringList())
{
    return [busy, ours](const SerialPortDesc& port) {
        if (busy.contains(port.portName))
            return SerialPortUse::OtherProgram;
        return ours.contains(port.portName) ? SerialPortUse::ThisProgram : SerialPortUse::Free;
    };
}

QString skipped(const QString& path)
{
    return QStringLiteral("serialRescan: %1 is in use by another program - skipped").arg(path);
}

// This test program run once more as another program: "--line <path>
// [nobody]" opens the line as a camera link would and asks how it is used,
// then prints the open's reason (0 when it opened) and the use, as numbers.
// With "nobody" it first gives root's rights up.
constexpr char LINE_HELPER[] = "--line";

int lineHelper(const char* path, bool nobody)
{
    const gid_t unprivileged = 65534;
    if (nobody && (setgroups(0, nullptr) != 0 || setgid(unprivileged) != 0 || setuid(unprivileged) != 0))
        return 3;
    ViscaPort port {};
    VISCA_open_serial(&port, path);
    const uint32_t reason = port.last_error;
    VISCA_close_serial(&port);
    std::printf("%u %d\n", reason, int(serialPortUse(QString::fromLocal8Bit(path))));
    return 0;
}

// What another program finds at path: the reason its open failed and the use
// it sees, as the helper prints them; "failed" when it could not be run.
QString seenByAnotherProgram(const QString& path, bool nobody)
{
    QProcess helper;
    QStringList arguments { QString::fromLatin1(LINE_HELPER), path };
    if (nobody)
        arguments.append(QStringLiteral("nobody"));
    helper.start(QCoreApplication::applicationFilePath(), arguments);
    if (!helper.waitForFinished(30000) || helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0)
        return QStringLiteral("failed");
    return QString::fromLatin1(helper.readAllStandardOutput()).trimmed();
}

QString seen(uint32_t reason, SerialPortUse use)
{
    return QStringLiteral("%1 %2").arg(reason).arg(int(use));
}

// Ten receivers listed with falling serial numbers, so that the first eight
// the platform lists are not the eight lowest.
QStringList tenReceivers()
{
    QStringList lines;
    for (int i = 0; i < 10; ++i)
        lines.append(QStringLiteral("ttyUSB%1 S%2 0403 6001").arg(i).arg(9 - i));
    return lines;
}

} // namespace

class TestSerialScan : public QObject
{
    Q_OBJECT

private slots:
    void normalScan_data();
    void normalScan();
    void deepScan_data();
    void deepScan();
    void serialNumberOrder_data();
    void serialNumberOrder();
    void rescanOfThisMachine();
    void probe_data();
    void probe();
    void heldLines();
    void lineOfAnotherProgram();
    void sameAs_data();
    void sameAs();
};

void TestSerialScan::normalScan_data()
{
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("busy"); // held by another program
    QTest::addColumn<QStringList>("kept");

    const QStringList none;
    QTest::newRow("both receiver pairs, sorted by serial number")
        << QStringList { "ttyUSB0 C 0403 6001", "ttyUSB1 A F1D0 EB18", "ttyUSB2 B 0403 6001" } << none
        << QStringList { "ttyUSB1", "ttyUSB2", "ttyUSB0" };
    QTest::newRow("pairs mixed up") << QStringList { "ttyUSB0 A 0403 EB18", "ttyUSB1 B F1D0 6001" } << none
                                    << QStringList();
    QTest::newRow("no USB identifiers") << QStringList { "ttyS0 -" } << none << QStringList();
    QTest::newRow("tty. in the name") << QStringList { "tty.usbserial-A1 A 0403 6001", "ttyUSB1 B F1D0 EB18" } << none
                                      << QStringList { "ttyUSB1" };
    QTest::newRow("KeySerial only skipped by the deep scan")
        << QStringList { "KeySerial1 A 0403 6001" } << none << QStringList { "KeySerial1" };
    QTest::newRow("ten receivers: the first eight listed")
        << tenReceivers() << none
        << QStringList { "ttyUSB7", "ttyUSB6", "ttyUSB5", "ttyUSB4", "ttyUSB3", "ttyUSB2", "ttyUSB1", "ttyUSB0" };
    // Only kept ports count towards the eight.
    QStringList mixed { "ttyACM0 X 2341 0043" };
    mixed += tenReceivers().mid(2);
    QTest::newRow("others do not count") << mixed << none
                                         << QStringList { "ttyUSB9", "ttyUSB8", "ttyUSB7", "ttyUSB6", "ttyUSB5",
                                                "ttyUSB4", "ttyUSB3", "ttyUSB2" };
    QTest::newRow("lines another program holds do not count")
        << tenReceivers() << QStringList { "ttyUSB0", "ttyUSB4" }
        << QStringList { "ttyUSB9", "ttyUSB8", "ttyUSB7", "ttyUSB6", "ttyUSB5", "ttyUSB3", "ttyUSB2", "ttyUSB1" };
}

void TestSerialScan::normalScan()
{
    QFETCH(QStringList, available);
    QFETCH(QStringList, busy);
    QFETCH(QStringList, kept);
    const QList<SerialPortDesc> list = ports(available);
    quvtest::MessageLog log;
    QCOMPARE(namesOf(list, serialScanNormal(list, uses(busy))), kept);
    QStringList expected;
    for (const QString& name : busy)
        expected.append(skipped(QStringLiteral("/dev/") + name));
    QCOMPARE(log.messages(), expected);
}

void TestSerialScan::deepScan_data()
{
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("answering");
    QTest::addColumn<QStringList>("busy"); // held by another program
    QTest::addColumn<QStringList>("ours"); // held by this program's camera links
    QTest::addColumn<QStringList>("probed");
    QTest::addColumn<QStringList>("kept");

    const QStringList none;
    QTest::newRow("names never probed")
        << QStringList { "tty.usbserial A", "KeySerial1 B", "ttyUSB0 C", "keyserial D", "cu.KeySerial E" }
        << QStringList { "tty.usbserial", "KeySerial1", "ttyUSB0", "keyserial", "cu.KeySerial" } << none << none
        << QStringList { "ttyUSB0", "keyserial" } << QStringList { "ttyUSB0", "keyserial" };
    QTest::newRow("identifiers do not matter")
        << QStringList { "ttyUSB0 B 0403 6001", "ttyACM0 A 2341 0043", "ttyS0 -" } << QStringList { "ttyACM0", "ttyS0" }
        << none << none << QStringList { "ttyUSB0", "ttyACM0", "ttyS0" } << QStringList { "ttyS0", "ttyACM0" };
    // Another program's line is skipped, this program's own kept: neither is probed.
    QTest::newRow("held lines") << QStringList { "ttyUSB0 C", "ttyUSB1 B", "ttyUSB2 A", "ttyUSB3 D" }
                                << QStringList { "ttyUSB0", "ttyUSB1" } << QStringList { "ttyUSB1" }
                                << QStringList { "ttyUSB2" } << QStringList { "ttyUSB0", "ttyUSB3" }
                                << QStringList { "ttyUSB2", "ttyUSB0" };
}

void TestSerialScan::deepScan()
{
    QFETCH(QStringList, available);
    QFETCH(QStringList, answering);
    QFETCH(QStringList, busy);
    QFETCH(QStringList, ours);
    QFETCH(QStringList, probed);
    QFETCH(QStringList, kept);

    const QList<SerialPortDesc> list = ports(available);
    QStringList asked;
    quvtest::MessageLog log;
    const QList<int> found = serialScanDeep(
        list,
        [&](const SerialPortDesc& port) {
            asked.append(port.portName);
            return answering.contains(port.portName);
        },
        uses(busy, ours));
    QCOMPARE(asked, probed);
    QCOMPARE(namesOf(list, found), kept);
    QStringList expected;
    for (const QString& name : busy)
        expected.append(skipped(QStringLiteral("/dev/") + name));
    QCOMPARE(log.messages(), expected);
}

void TestSerialScan::serialNumberOrder_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("before");

    QTest::newRow("empty first") << QString() << QStringLiteral("A") << true;
    QTest::newRow("nothing before empty") << QStringLiteral("A") << QString() << false;
    QTest::newRow("case-sensitive") << QStringLiteral("B") << QStringLiteral("a") << true;
    // By UTF-16 code unit: a surrogate pair (0xD83D ...) orders before U+FFFD.
    QTest::newRow("code units") << QStringLiteral("\U0001F600") << QStringLiteral("\uFFFD") << true;
}

void TestSerialScan::serialNumberOrder()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, before);
    SerialPortDesc first;
    first.serialNumber = a;
    SerialPortDesc second;
    second.serialNumber = b;
    QCOMPARE(taqoLessThan(first, second), before);
}

// The normal scan of the ports this machine really has; the deep scan is not
// run here, since it would write to every serial port of the machine.
void TestSerialScan::rescanOfThisMachine()
{
    DeviceInterface::setDeepScanEnabled(false);
    QList<QSerialPortInfo> found { QSerialPortInfo(), QSerialPortInfo() };
    DeviceInterface::serialRescan(found);

    QVERIFY(found.size() <= SERIAL_SCAN_PORT_LIMIT);
    for (int i = 0; i < found.size(); ++i) {
        const QSerialPortInfo& port = found.at(i);
        QVERIFY2(!port.isNull(), "the list was not cleared first");
        QVERIFY(!port.portName().contains(QLatin1String("tty.")));
        const QPair<quint16, quint16> ids { port.vendorIdentifier(), port.productIdentifier() };
        QVERIFY(
            ids == qMakePair(quint16(0x0403), quint16(0x6001)) || ids == qMakePair(quint16(0xF1D0), quint16(0xEB18)));
        if (i > 0)
            QVERIFY(!taqoLessThan(port, found.at(i - 1)));
    }
}

void TestSerialScan::probe_data()
{
    QTest::addColumn<int>("fault"); // -1: none
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("ms");
    QTest::addColumn<bool>("kept");

    QTest::newRow("address reply 88 30 02 FF") << -1 << QByteArray() << 0 << true;
    QTest::newRow("a single 88") << int(Fault::Raw) << hexBytes("88") << 0 << true;
    QTest::newRow("completion 90 50 FF") << int(Fault::Raw) << hexBytes("90 50 FF") << 0 << false;
    QTest::newRow("silent") << int(Fault::Silence) << QByteArray() << 0 << false;
    QTest::newRow("answer long after the window") << int(Fault::Delay) << QByteArray() << 1500 << false;
}

void TestSerialScan::probe()
{
    QFETCH(int, fault);
    QFETCH(QByteArray, bytes);
    QFETCH(int, ms);
    QFETCH(bool, kept);

    CamSim sim;
    QVERIFY(sim.isValid());
    if (fault >= 0)
        sim.addFault(Rule(Fault(fault)).bytes(bytes).ms(ms));

    QCOMPARE(serialProbePort(SerialPortDesc::forDevicePath(sim.devicePath())), kept);
    QVERIFY(sim.waitForPackets(1));
    QCOMPARE(sim.received(), QList<QByteArray> { hexBytes("88 30 01 FF") });

    // The port is free again for the device that will open it.
    QVERIFY(sim.waitUntilSent());
    sim.clearFaults();
    sim.clearReceived();
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(sim.devicePath()));
    QVERIFY(device.viscaSerialOpen(sim.devicePath()));

    // A port that is not there is not kept either.
    QVERIFY(!serialProbePort(SerialPortDesc::forDevicePath(QStringLiteral("/dev/quv-no-such-port"))));
}

// Three simulated receivers: one held by a camera link of this program, one
// by another opener (to the lock, another program: a bare transport link), one
// free. The scans ask the lines themselves; only the free line is probed, the
// other program's is skipped with its line in the log, and neither held line
// sees a byte from the scan.
void TestSerialScan::heldLines()
{
    CamSim ours;
    CamSim theirs;
    CamSim free;
    QVERIFY(ours.isValid() && theirs.isValid() && free.isValid());
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(ours.devicePath()));
    QVERIFY(device.viscaSerialOpen(ours.devicePath()));
    ViscaPort other {};
    QCOMPARE(VISCA_open_serial(&other, theirs.devicePath().toLocal8Bit().constData()), VISCA_SUCCESS);
    ours.clearReceived();

    QList<SerialPortDesc> list;
    for (const CamSim* sim : { &ours, &theirs, &free }) { // receivers, by their identifiers
        list.append(SerialPortDesc::forDevicePath(sim->devicePath(), QString::number(list.size())));
        list.last().vendorIdentifier = 0x0403;
        list.last().productIdentifier = 0x6001;
    }
    QCOMPARE(serialPortUseOf(list.at(0)), SerialPortUse::ThisProgram);
    QCOMPARE(serialPortUseOf(list.at(1)), SerialPortUse::OtherProgram);
    QCOMPARE(serialPortUseOf(list.at(2)), SerialPortUse::Free);
    QVERIFY(!serialProbePort(list.at(0)));
    QVERIFY(!serialProbePort(list.at(1)));

    const QList<int> both { 0, 2 };
    for (bool deep : { false, true }) {
        quvtest::MessageLog log;
        QCOMPARE(deep ? serialScanDeep(list, serialProbePort) : serialScanNormal(list), both);
        QCOMPARE(log.messages(), QStringList { skipped(theirs.devicePath()) });
    }
    QVERIFY(free.waitForPackets(1));
    QCOMPARE(free.received(), QList<QByteArray> { hexBytes("88 30 01 FF") });
    QVERIFY(theirs.received().isEmpty());
    QVERIFY(ours.received().isEmpty());

    // The lock alone marks the line as held, without the exclusive-open flag
    // (which binds neither root nor a descriptor opened before it was set).
    QCOMPARE(ioctl(other.fd, TIOCNXCL), 0);
    QCOMPARE(serialPortUseOf(list.at(1)), SerialPortUse::OtherProgram);

    // The camera link works on; closed, its line is free.
    ours.setWord(hexBytes("04 47"), 0x1234);
    int zoom = 0;
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, zoom, false), 0);
    QCOMPARE(zoom, 0x1234);
    device.viscaSerialClose();
    QCOMPARE(serialPortUseOf(list.at(0)), SerialPortUse::Free);
    VISCA_close_serial(&other);
}

// Two copies of the program: this one's camera link holds the line. Another
// program's link is refused with its reason and its scan sees the line in use,
// by the lock (as root, which the exclusive-open flag does not bind) and by
// the flag (without root's rights); the camera link here works on. Let go,
// the line is free to the other.
void TestSerialScan::lineOfAnotherProgram()
{
    CamSim sim;
    QVERIFY(sim.isValid());
    const QString path = sim.devicePath();
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(path));
    QVERIFY(device.viscaSerialOpen(path));
    sim.clearReceived();

    QList<bool> asNobody { false };
    if (geteuid() == 0 && chmod(path.toLocal8Bit().constData(), 0666) == 0)
        asNobody.append(true);
    for (bool nobody : asNobody)
        QCOMPARE(seenByAnotherProgram(path, nobody), seen(VISCA_ERROR_IN_USE, SerialPortUse::OtherProgram));
    QVERIFY(sim.received().isEmpty());
    sim.setWord(hexBytes("04 47"), 0x1234);
    int zoom = 0;
    QCOMPARE(device.viscaGet(ViscaMsg::ZoomValue, zoom, false), 0);
    QCOMPARE(zoom, 0x1234);

    device.viscaSerialClose();
    for (bool nobody : asNobody)
        QCOMPARE(seenByAnotherProgram(path, nobody), seen(VISCA_ERROR_NONE, SerialPortUse::Free));
}

void TestSerialScan::sameAs_data()
{
    QTest::addColumn<QString>("other");
    QTest::addColumn<bool>("same");

    QTest::newRow("another serial number") << QStringLiteral("ttyUSB3 FT999 0403 6001") << true;
    QTest::newRow("another name") << QStringLiteral("ttyUSB4 FT123 0403 6001") << false;
    QTest::newRow("another vendor") << QStringLiteral("ttyUSB3 FT123 F1D0 6001") << false;
    QTest::newRow("another product") << QStringLiteral("ttyUSB3 FT123 0403 EB18") << false;
}

void TestSerialScan::sameAs()
{
    QFETCH(QString, other);
    QFETCH(bool, same);
    const DeviceInterface device(nullptr, ports({ QStringLiteral("ttyUSB3 FT123 0403 6001") }).first());
    QCOMPARE(device.deviceSameAs(ports({ other }).first()), same);
}

int main(int argc, char** argv)
{
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], LINE_HELPER) == 0)
        return lineHelper(argv[2], argc == 4);
    quvtest::Environment environment;
    QCoreApplication app(argc, argv);
    environment.applicationCreated();
    TestSerialScan test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_serialscan.moc"
