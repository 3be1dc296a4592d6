#pragma once

// Port discovery: which serial ports may have a camera behind them. The filters
// work on plain port descriptions so that they can be checked without hardware;
// DeviceInterface::serialRescan and serialRescanDeep apply them to the ports
// the system lists.

#include "device/serialportdesc.h"
#include "device/serialportuse.h"

#include <functional>

#include <QList>

class QSerialPortInfo;

// The most ports the normal scan keeps: one per camera slot.
constexpr int SERIAL_SCAN_PORT_LIMIT = 8;

// True when a's serial number orders before b's (by UTF-16 code unit, case-sensitive).
bool taqoLessThan(const QSerialPortInfo& a, const QSerialPortInfo& b);
bool taqoLessThan(const SerialPortDesc& a, const SerialPortDesc& b);

using SerialPortProbe = std::function<bool(const SerialPortDesc&)>;
using SerialPortUseCheck = std::function<SerialPortUse(const SerialPortDesc&)>;

// How the port's line is used, asked at its device node (serialPortUse).
SerialPortUse serialPortUseOf(const SerialPortDesc& port);

// Both scans skip a port whose line another program holds, with the debug
// line "serialRescan: <device node> is in use by another program - skipped":
// a camera link could only fail on it. use says how each candidate's line is
// used.

// The normal scan: ports whose name lacks "tty." and whose USB identifiers are
// a camera receiver's, at most SERIAL_SCAN_PORT_LIMIT of them in the order
// given. Returns the indices of the ports kept, in the order of taqoLessThan.
QList<int> serialScanNormal(const QList<SerialPortDesc>& available, const SerialPortUseCheck& use = serialPortUseOf);

// The deep scan: ports whose name lacks "tty." and "KeySerial" and for which
// probe answers true. A port whose line this program's own camera link holds
// is kept without a probe: its camera answered when the link opened, and a
// probe would break into the link's exchanges. Returns the indices kept, in
// the order of taqoLessThan.
QList<int> serialScanDeep(const QList<SerialPortDesc>& available, const SerialPortProbe& probe,
    const SerialPortUseCheck& use = serialPortUseOf);

// Sends the address-set broadcast 88 30 01 FF at 9600 baud 8N1 and waits up to
// 100 ms for it to be written and 100 ms for an answer; true when the answer
// starts with 0x88. Input already waiting on the port is discarded first. The
// line's lock is held throughout; a line that someone holds (this program's
// camera links included) is not probed and gives false. Blocks for about
// 200 ms at most, plus the open.
bool serialProbePort(const SerialPortDesc& port);
