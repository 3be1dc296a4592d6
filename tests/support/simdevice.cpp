#include "simdevice.h"

#include "visca/visca.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDeadlineTimer>

namespace devicetest {

QList<QByteArray> SimDevice::takeRecord()
{
    // Opened beside the device's own descriptor, past the lock the device holds
    // (as root, past its exclusive-open flag too), and closed without letting
    // the line go: the device keeps holding it.
    ViscaPort probe {};
    ViscaCameraInfo camera {};
    camera.address = 1;
    const QByteArray path = sim.devicePath().toLocal8Bit();
    probe.fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe.fd <= STDERR_FILENO) {
        if (probe.fd >= 0)
            ::close(probe.fd);
        const QList<QByteArray> record = sim.received();
        sim.clearReceived();
        return record;
    }
    uint8_t power = 0;
    VISCA_get_power(&probe, &camera, &power);
    ::close(probe.fd);
    QList<QByteArray> record = sim.received();
    sim.clearReceived();
    // The probe's own inquiry is not part of the record asked for.
    if (!record.isEmpty() && record.last() == quvtest::hexBytes("81 09 04 00 FF"))
        record.removeLast();
    return record;
}

Markers::Markers(DeviceInterface* device)
    : m_device(device)
{
    connect(
        device, &DeviceInterface::sig_popNotify, this, [this](int id) { m_ids.append(id); }, Qt::QueuedConnection);
}

bool Markers::waitFor(int count, int timeout_ms)
{
    QDeadlineTimer deadline(timeout_ms);
    while (m_ids.size() < count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

bool Markers::drain(int timeout_ms)
{
    m_device->viscaPull(ViscaMsg::Marker, -100);
    return waitFor(m_ids.size() + 1, timeout_ms);
}

} // namespace devicetest
