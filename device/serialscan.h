#pragma once

// Port discovery: which serial ports may have a camera behind them. The filters
// work on plain port descriptions so that they can be checked without hardware;
// DeviceInterface::serialRescan and serialRescanDeep apply them to the ports
// the system lists.

#include "device/serialportdesc.h"

#include <functional>

#include <QList>

class QSerialPortInfo;

// The most ports the normal scan keeps: one per camera slot.
constexpr int SERIAL_SCAN_PORT_LIMIT = 8;

// True when a's serial number orders before b's (by UTF-16 code unit, case-sensitive).
bool taqoLessThan(const QSerialPortInfo& a, const QSerialPortInfo& b);
bool taqoLessThan(const SerialPortDesc& a, const SerialPortDesc& b);

// The normal scan: ports whose name lacks "tty." and whose USB identifiers are
// a camera receiver's, at most SERIAL_SCAN_PORT_LIMIT of them in the order
// given. Returns the indices of the ports kept, in the order of taqoLessThan.
QList<int> serialScanNormal(const QList<SerialPortDesc>& available);

// The deep scan: ports whose name lacks "tty." and "KeySerial" and for which
// probe answers true. Returns the indices kept, in the order of taqoLessThan.
QList<int> serialScanDeep(
    const QList<SerialPortDesc>& available, const std::function<bool(const SerialPortDesc&)>& probe);

// Sends the address-set broadcast 88 30 01 FF at 9600 baud 8N1 and waits up to
// 100 ms for it to be written and 100 ms for an answer; true when the answer
// starts with 0x88. Input already waiting on the port is discarded first.
// Blocks for about 200 ms at most, plus the open.
bool serialProbePort(const SerialPortDesc& port);
