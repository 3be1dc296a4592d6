#include "device/serialportdesc.h"

#include <QSerialPortInfo>

SerialPortDesc SerialPortDesc::fromInfo(const QSerialPortInfo& info)
{
    SerialPortDesc port;
    port.portName = info.portName();
    port.systemLocation = info.systemLocation();
    port.serialNumber = info.serialNumber();
    port.vendorIdentifier = info.vendorIdentifier();
    port.productIdentifier = info.productIdentifier();
    port.hasVendorIdentifier = info.hasVendorIdentifier();
    port.hasProductIdentifier = info.hasProductIdentifier();
    return port;
}

QList<SerialPortDesc> SerialPortDesc::fromInfos(const QList<QSerialPortInfo>& infos)
{
    QList<SerialPortDesc> ports;
    for (const QSerialPortInfo& info : infos)
        ports.append(fromInfo(info));
    return ports;
}

SerialPortDesc SerialPortDesc::forDevicePath(const QString& path, const QString& serialNumber)
{
    SerialPortDesc port;
    port.portName = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    port.systemLocation = path;
    port.serialNumber = serialNumber;
    return port;
}
