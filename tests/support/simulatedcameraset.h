#pragma once

// One simulated camera placed in a camera set through the real open, re-read
// and marker path, as the pane tests use it. Header-only, like the other pane
// test helpers.

#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"

#include <QObject>
#include <QTest>

class SimulatedCameraSet
{
public:
    SimulatedCameraSet()
        : m_set(new DeviceSet(&m_owner))
    {
        m_set->deviceSetCreate(QList<SerialPortDesc> { SerialPortDesc::forDevicePath(m_sim.devicePath()) }, false);
    }
    // The set goes before the line, as when the program ends.
    ~SimulatedCameraSet() { delete m_set; }

    SimulatedCameraSet(const SimulatedCameraSet&) = delete;
    SimulatedCameraSet& operator=(const SimulatedCameraSet&) = delete;

    // Waits until the camera is placed; null when it did not come up online.
    DeviceInterface* waitForCamera()
    {
        if (!QTest::qWaitFor([this] { return m_set->processingCount() == 0 && m_set->deviceSetCount() == 1; }, 30000))
            return nullptr;
        DeviceInterface* camera = m_set->getAt(0);
        return camera && camera->deviceOnline() ? camera : nullptr;
    }

    quvtest::CamSim* sim() { return &m_sim; }
    DeviceSet* set() const { return m_set; }

private:
    quvtest::CamSim m_sim;
    QObject m_owner;
    DeviceSet* m_set;
};
