#include "device/serialscan.h"

#include "device/deviceinterface.h"

#include <algorithm>

#include <QDebug>
#include <QSerialPort>
#include <QSerialPortInfo>

namespace {

struct UsbIdentifier
{
    quint16 vendor;
    quint16 product;
};

// The camera receivers' USB-to-serial bridges, tried in this order.
constexpr UsbIdentifier CAMERA_RECEIVERS[] = {
    { 0x0403, 0x6001 },
    { 0xF1D0, 0xEB18 },
};

constexpr char PROBE_PACKET[] = { char(0x88), 0x30, 0x01, char(0xFF) };
constexpr int PROBE_WRITE_TIMEOUT_MS = 100;
constexpr int PROBE_REPLY_TIMEOUT_MS = 100;
constexpr int PROBE_REPLY_SIZE = 32;

bool isCameraReceiver(const SerialPortDesc& port)
{
    return std::any_of(std::begin(CAMERA_RECEIVERS), std::end(CAMERA_RECEIVERS), [&port](const UsbIdentifier& id) {
        return port.vendorIdentifier == id.vendor && port.productIdentifier == id.product;
    });
}

// False for a port another program holds, which the scan then skips, saying why.
bool usable(const SerialPortDesc& port, SerialPortUse use)
{
    if (use != SerialPortUse::OtherProgram)
        return true;
    qDebug().noquote() << QStringLiteral("serialRescan: %1 is in use by another program - skipped")
                              .arg(serialDevicePath(port));
    return false;
}

QList<int> sortedBySerialNumber(const QList<SerialPortDesc>& available, QList<int> kept)
{
    std::sort(kept.begin(), kept.end(),
        [&available](int a, int b) { return taqoLessThan(available.at(a), available.at(b)); });
    return kept;
}

} // namespace

bool taqoLessThan(const QSerialPortInfo& a, const QSerialPortInfo& b)
{
    return a.serialNumber() < b.serialNumber();
}

bool taqoLessThan(const SerialPortDesc& a, const SerialPortDesc& b)
{
    return a.serialNumber < b.serialNumber;
}

SerialPortUse serialPortUseOf(const SerialPortDesc& port)
{
    return serialPortUse(serialDevicePath(port));
}

QList<int> serialScanNormal(const QList<SerialPortDesc>& available, const SerialPortUseCheck& use)
{
    QList<int> kept;
    for (int i = 0; i < available.size() && kept.size() < SERIAL_SCAN_PORT_LIMIT; ++i) {
        const SerialPortDesc& port = available.at(i);
        if (port.portName.contains(QLatin1String("tty.")))
            continue;
        if (isCameraReceiver(port) && usable(port, use(port)))
            kept.append(i);
    }
    return sortedBySerialNumber(available, kept);
}

QList<int> serialScanDeep(
    const QList<SerialPortDesc>& available, const SerialPortProbe& probe, const SerialPortUseCheck& use)
{
    QList<int> kept;
    for (int i = 0; i < available.size(); ++i) {
        const SerialPortDesc& port = available.at(i);
        if (port.portName.contains(QLatin1String("tty.")) || port.portName.contains(QLatin1String("KeySerial")))
            continue;
        const SerialPortUse used = use(port);
        if (!usable(port, used))
            continue;
        if (used == SerialPortUse::ThisProgram || probe(port))
            kept.append(i);
    }
    return sortedBySerialNumber(available, kept);
}

bool serialProbePort(const SerialPortDesc& port)
{
    const QString path = serialDevicePath(port);
    const SerialLineLock lock(path);
    if (lock.use() != SerialPortUse::Free)
        return false;
    QSerialPort serial;
    serial.setPortName(path);
    if (!serial.open(QIODevice::ReadWrite))
        return false;
    serial.setBaudRate(QSerialPort::Baud9600, QSerialPort::AllDirections);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    // Only the answer to this probe counts: input left waiting on the line (a
    // completion that came after its exchange gave up) would hide it.
    serial.clear(QSerialPort::Input);

    serial.write(PROBE_PACKET, sizeof PROBE_PACKET);
    if (!serial.waitForBytesWritten(PROBE_WRITE_TIMEOUT_MS)) {
        serial.close();
        return false;
    }
    char reply[PROBE_REPLY_SIZE] = {};
    if (serial.waitForReadyRead(PROBE_REPLY_TIMEOUT_MS))
        serial.read(reply, sizeof reply);
    serial.close();
    return static_cast<unsigned char>(reply[0]) == 0x88;
}

void DeviceInterface::serialRescan(QList<QSerialPortInfo>& ports)
{
    if (_deepScanEnabled) {
        serialRescanDeep(ports);
        return;
    }
    ports.clear();
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    for (int i : serialScanNormal(SerialPortDesc::fromInfos(available)))
        ports.append(available.at(i));
}

void DeviceInterface::serialRescanDeep(QList<QSerialPortInfo>& ports)
{
    ports.clear();
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    for (int i : serialScanDeep(SerialPortDesc::fromInfos(available), serialProbePort))
        ports.append(available.at(i));
}

bool DeviceInterface::deviceSameAs(const QSerialPortInfo& port) const
{
    return deviceSameAs(SerialPortDesc::fromInfo(port));
}

bool DeviceInterface::deviceSameAs(const SerialPortDesc& port) const
{
    // The serial number is not compared.
    return port.portName == m_port.portName && port.productIdentifier == m_port.productIdentifier
        && port.vendorIdentifier == m_port.vendorIdentifier;
}
