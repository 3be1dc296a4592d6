#pragma once

// What the VISCA library tests share: a port opened on a camera simulator, a
// bounded call that captures standard output, and the bytes on the wire.

#include "camsim.h"
#include "visca/visca.h"

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QList>

namespace viscatest {

// A simulator with its port opened through VISCA_open_serial, talking to camera 1.
class Link
{
public:
    explicit Link(int cameras = 1);
    ~Link();

    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    bool isOpen() const { return m_opened; }

    quvtest::CamSim sim;
    ViscaPort port {};
    ViscaCameraInfo camera {};

private:
    bool m_opened = false;
};

// A call's result, how long it took, and what it printed on standard output.
struct Timed
{
    uint32_t result = 0;
    int64_t elapsed_ms = 0;
    QByteArray out;
};

// Runs call with standard output captured. A call still running after
// watchdog_ms is freed by hanging up the simulator, so that a reader which
// ignores its budget fails the test instead of hanging it.
Timed timedCall(quvtest::CamSim& sim, const std::function<uint32_t()>& call, int watchdog_ms = 15000);

// Every packet the simulator received, joined.
QByteArray wire(const quvtest::CamSim& sim);

} // namespace viscatest
