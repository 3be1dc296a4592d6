// Device nodes on Linux: one node per line, the port's system location
// ("/dev/ttyUSB0"). A port named after a call-out node ("cu.*") keeps its name
// under /dev.

#include "device/serialportdesc.h"

QString serialDevicePath(const SerialPortDesc& port)
{
    if (port.portName.contains(QLatin1String("cu.")))
        return QStringLiteral("/dev/%1").arg(port.portName);
    if (!port.systemLocation.isEmpty())
        return port.systemLocation;
    return QStringLiteral("/dev/%1").arg(port.portName);
}
