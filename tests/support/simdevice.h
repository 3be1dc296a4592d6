#pragma once

// A camera device on a simulated camera: the device opens the simulator's
// pseudo-terminal exactly as it opens a serial adapter.

#include "camsim.h"
#include "device/deviceinterface.h"

#include <memory>

#include <QList>
#include <QTest>

namespace devicetest {

struct SimDevice
{
    explicit SimDevice(int cameras = 1)
        : sim(cameras)
        , device(std::make_unique<DeviceInterface>(nullptr, SerialPortDesc::forDevicePath(sim.devicePath())))
    { }

    // Opens the link on the calling thread and forgets the opening exchanges.
    bool open()
    {
        const bool opened = device->viscaSerialOpen(sim.devicePath());
        sim.clearReceived();
        return opened;
    }

    // Every packet written so far, and a fresh record from here on. An exchange
    // on a second descriptor of the same line, after them all, makes sure the
    // simulator has read them. Only for use while the device is idle or gone.
    QList<QByteArray> takeRecord();

    quvtest::CamSim sim;
    std::unique_ptr<DeviceInterface> device;
};

// The markers a device's worker reaches, received on the test's thread (a
// QSignalSpy would record them on the worker's thread, racing the test).
class Markers : public QObject
{
public:
    explicit Markers(DeviceInterface* device);

    QList<int> ids() const { return m_ids; }
    // Waits until count markers have come back.
    bool waitFor(int count, int timeout_ms = 30000);
    // Queues a marker and waits for it: every request queued before it has been served.
    bool drain(int timeout_ms = 30000);

private:
    DeviceInterface* m_device;
    QList<int> m_ids;
};

} // namespace devicetest
