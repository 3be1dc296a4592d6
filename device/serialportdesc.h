#pragma once

#include <QList>
#include <QString>

class QSerialPortInfo;

// What the camera layer needs to know of a serial port. QSerialPortInfo cannot
// describe every line a camera can sit on (a pseudo-terminal, a path given by
// hand), so scans and devices work on this plain description; the overloads
// that take a QSerialPortInfo convert it.
struct SerialPortDesc
{
    QString portName; // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
    QString serialNumber;
    quint16 vendorIdentifier = 0;
    quint16 productIdentifier = 0;
    bool hasVendorIdentifier = false;
    bool hasProductIdentifier = false;

    static SerialPortDesc fromInfo(const QSerialPortInfo& info);
    static QList<SerialPortDesc> fromInfos(const QList<QSerialPortInfo>& infos);
    // A line known only by its device path, such as a pseudo-terminal.
    static SerialPortDesc forDevicePath(const QString& path, const QString& serialNumber = QString());

    bool isNull() const { return portName.isEmpty() && systemLocation.isEmpty(); }
};

// The device node a camera link opens for this port.
QString serialDevicePath(const SerialPortDesc& port);
