#pragma once

// Who is using a serial line. A camera link holds its open line exclusively
// (VISCA_open_serial takes the line's lock); the scans ask here before they
// keep or probe a line, so that a line another program holds is neither
// probed nor handed to a camera link that could only fail on it, while the
// lines this program's own camera links hold are kept as they are.

#include "visca/visca.h"

#include <QString>

enum class SerialPortUse
{
    Free, // nobody holds it, as far as can be told (a line that cannot be opened at all is left to its opener to report)
    ThisProgram, // a camera link of this program holds it open
    OtherProgram, // another opener holds it: its lock, or its exclusive open, refuses ours
};

// Takes the lock a camera link takes on the line at path, for as long as the
// object lives, without setting the line up, reading or writing it: a scan
// holds it while it probes the line, so that no other program's camera link
// opens the line halfway through the probe. A line this program's own camera
// links hold is not opened at all.
class SerialLineLock
{
public:
    explicit SerialLineLock(const QString& path);
    ~SerialLineLock();

    SerialLineLock(const SerialLineLock&) = delete;
    SerialLineLock& operator=(const SerialLineLock&) = delete;

    // Free when this object holds the lock.
    SerialPortUse use() const { return m_use; }

private:
    int m_fd = -1;
    SerialPortUse m_use = SerialPortUse::Free;
};

// How the line at path is used right now.
SerialPortUse serialPortUse(const QString& path);

// A camera link's open, close and release of its line: VISCA_open_serial,
// VISCA_close_serial and VISCA_release_serial, with the line recorded as this
// program's for as long as the link holds it. The record changes together with
// the lock, so a scan never finds one of this program's lines locked but not
// yet (or no longer) known as its own.
uint32_t serialLineOpen(ViscaPort* port, const char* path);
uint32_t serialLineClose(ViscaPort* port);
uint32_t serialLineRelease(ViscaPort* port);
