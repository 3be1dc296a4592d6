#include "device/deviceset.h"

#include "device/deviceinterface.h"

#include <algorithm>

#include <QDebug>
#include <QSettings>

namespace {

const char* const SELECTED_DEVICE_KEY = "prefs/selectedDevice";

bool isSlot(int i)
{
    return i >= 0 && i < DeviceSet::SLOT_COUNT;
}

} // namespace

DeviceSet::DeviceSet(QObject* parent)
    : QObject(parent)
{
    m_placeholder = new DeviceInterface(parent, QSerialPortInfo());
    const int stored = QSettings().value(QLatin1String(SELECTED_DEVICE_KEY), 0).toInt();
    m_selected = std::clamp(stored, 0, SLOT_COUNT - 1);
}

DeviceSet::~DeviceSet()
{
    for (DeviceInterface*& device : m_devices) {
        DeviceInterface* leaving = device;
        device = nullptr;
        if (!leaving)
            continue;
        leaving->viscaSerialAbort();
        delete leaving;
    }
    delete m_placeholder;
    m_placeholder = nullptr;
}

DeviceInterface* DeviceSet::get() const
{
    if (isSlot(m_selected) && m_devices[m_selected])
        return m_devices[m_selected];
    return m_placeholder;
}

DeviceInterface* DeviceSet::getAt(int i) const
{
    return isSlot(i) ? m_devices[i] : nullptr;
}

int DeviceSet::deviceSetCount() const
{
    return int(std::count_if(std::begin(m_devices), std::end(m_devices), [](DeviceInterface* d) { return d; }));
}

int DeviceSet::processingCount() const
{
    return m_pending.size() + m_unplaced.size();
}

int DeviceSet::selectedIndex() const
{
    return m_selected;
}

int DeviceSet::selectIndex(int i)
{
    if (isSlot(i) && m_devices[i]) {
        m_selected = i;
    } else {
        const auto occupied
            = std::find_if(std::begin(m_devices), std::end(m_devices), [](DeviceInterface* d) { return d; });
        m_selected = occupied == std::end(m_devices) ? 0 : int(occupied - std::begin(m_devices));
    }
    storeSelection();
    return m_selected;
}

int DeviceSet::selectedIndexUpdate()
{
    return selectIndex(m_selected);
}

void DeviceSet::swap(int a, int b)
{
    a = std::clamp(a, 0, SLOT_COUNT - 1);
    b = std::clamp(b, 0, SLOT_COUNT - 1);
    std::swap(m_devices[a], m_devices[b]);
    if (m_selected == a)
        m_selected = b;
    else if (m_selected == b)
        m_selected = a;
    storeSelection();
}

void DeviceSet::storeSelection()
{
    QSettings().setValue(QLatin1String(SELECTED_DEVICE_KEY), m_selected);
}

void DeviceSet::deviceSetCreate(const QList<QSerialPortInfo>& ports, bool force)
{
    deviceSetCreate(SerialPortDesc::fromInfos(ports), force);
}

void DeviceSet::deviceSetCreate(const QList<SerialPortDesc>& ports, bool force)
{
    if (processingCount() > 0) {
        // Devices still being opened are in no slot: a rebuild now would open
        // their ports a second time.
        qDebug() << "*** deviceSetCreate parital install - try later";
        return;
    }
    if (ports.isEmpty())
        emit sig_deviceChanged();

    DeviceInterface* kept[SLOT_COUNT];
    std::copy(std::begin(m_devices), std::end(m_devices), std::begin(kept));
    std::fill(std::begin(m_devices), std::end(m_devices), nullptr);
    std::fill(std::begin(m_previous), std::end(m_previous), nullptr);
    bool deleted = false;

    for (int slot = 0; slot < SLOT_COUNT; ++slot) {
        DeviceInterface*& device = kept[slot];
        if (!device)
            continue;
        const bool stillThere = std::any_of(
            ports.begin(), ports.end(), [device](const SerialPortDesc& port) { return device->deviceSameAs(port); });
        if (stillThere) {
            if (force || !device->viscaSerialOpened())
                queueOpenAndResync(device);
            m_pending.append(device);
            m_previous[slot] = device;
            queueMarker(device);
        } else {
            // No list may keep a device that is gone: its marker would find freed memory.
            m_pending.removeAll(device);
            m_unplaced.erase(std::remove_if(m_unplaced.begin(), m_unplaced.end(),
                                 [device](const Unplaced& entry) { return entry.device == device; }),
                m_unplaced.end());
            device->viscaSerialClose();
            delete device;
            device = nullptr;
            deleted = true;
        }
    }

    QList<DeviceInterface*> created;
    for (const SerialPortDesc& port : ports) {
        const auto holds = [&port](DeviceInterface* device) { return device && device->deviceSameAs(port); };
        // One device per port, also when a port is listed twice.
        if (std::any_of(std::begin(kept), std::end(kept), holds) || std::any_of(created.begin(), created.end(), holds))
            continue;
        DeviceInterface* device = new DeviceInterface(parent(), port);
        // The preferences are read at start, while the set is still empty,
        // into the placeholder: a camera would otherwise start at speed 0 and
        // store 0 at exit.
        device->setZoomSpeed(DeviceInterface::storedZoomSpeed());
        created.append(device);
        m_pending.append(device);
        if (!connect(device, SIGNAL(sig_popNotify(int)), this, SLOT(slot_popNotify(int)), Qt::QueuedConnection))
            qWarning() << "DeviceSet: the marker of" << port.portName << "cannot reach the set";
        queueOpenAndResync(device);
        queueMarker(device);
    }

    if (deleted)
        emit sig_deviceChanged();
}

void DeviceSet::deviceSetReloadSelected()
{
    DeviceInterface* device = get();
    if (device == m_placeholder)
        return;
    queueOpenAndResync(device);
    m_pending.append(device);
    queueMarker(device);
}

void DeviceSet::deviceSetCloseAll()
{
    if (processingCount() > 0)
        qDebug() << "*** deviceSetCreate parital install - try later";
    for (DeviceInterface* device : m_devices) {
        if (device)
            device->viscaSerialClose();
    }
}

void DeviceSet::queueOpenAndResync(DeviceInterface* device)
{
    device->viscaPush(ViscaMsg::SerialOpen, -1, -1);
    device->deviceResync();
}

void DeviceSet::queueMarker(DeviceInterface* device)
{
    device->viscaPull(ViscaMsg::Marker, device->deviceId());
}

int DeviceSet::slotOf(const DeviceInterface* device) const
{
    const auto found = std::find(std::begin(m_devices), std::end(m_devices), device);
    return found == std::end(m_devices) ? -1 : int(found - std::begin(m_devices));
}

int DeviceSet::lowestEmptySlot() const
{
    return slotOf(nullptr);
}

void DeviceSet::slot_popNotify(int deviceId)
{
    const auto pending = std::find_if(
        m_pending.begin(), m_pending.end(), [deviceId](DeviceInterface* d) { return d->deviceId() == deviceId; });
    if (pending == m_pending.end()) {
        qDebug() << "*** slot_popHandle Error: device not found";
        return;
    }
    DeviceInterface* device = *pending;

    int cameraId = -1;
    const int result = device->viscaGet(ViscaMsg::CameraId, cameraId, false);
    m_pending.erase(pending);

    const int current = slotOf(device);
    const auto heldForAnother = [this, device](int slot) {
        DeviceInterface* holder = m_previous[slot];
        return holder && holder != device && m_pending.contains(holder);
    };
    if (result == 0 && isSlot(cameraId) && (!m_devices[cameraId] || m_devices[cameraId] == device)
        && !heldForAnother(cameraId)) {
        if (current >= 0 && current != cameraId) {
            // A re-read camera that now reports another free ID moves there: one device, one slot.
            m_devices[current] = nullptr;
            if (m_selected == current) {
                m_selected = cameraId;
                storeSelection();
            }
        }
        m_devices[cameraId] = device;
    } else if (current < 0) {
        const int reported = result == 0 && isSlot(cameraId) ? cameraId : -1;
        const auto entry = std::find_if(m_unplaced.begin(), m_unplaced.end(),
            [device](const Unplaced& unplaced) { return unplaced.device == device; });
        if (entry == m_unplaced.end())
            m_unplaced.append(Unplaced { device, reported });
        else
            entry->cameraId = reported;
    }

    if (m_pending.isEmpty()) {
        std::fill(std::begin(m_previous), std::end(m_previous), nullptr);
        // A slot held for a kept camera that has since gone silent or moved
        // is free again: a camera that reported its number takes it as it is,
        // before the lowest free slots are handed out. Otherwise a silent
        // camera could cost a working one its own ID.
        QList<DeviceInterface*> renumbered;
        for (const Unplaced& entry : qAsConst(m_unplaced)) {
            if (isSlot(entry.cameraId) && !m_devices[entry.cameraId])
                m_devices[entry.cameraId] = entry.device;
            else
                renumbered.append(entry.device);
        }
        for (DeviceInterface* unplaced : qAsConst(renumbered)) {
            const int free = lowestEmptySlot();
            if (free < 0) {
                // More cameras than slots: this one has no place and is let go.
                qDebug() << "*** slot_popNotify: no free slot for" << unplaced->devicePN();
                unplaced->viscaSerialClose();
                delete unplaced;
                continue;
            }
            unplaced->viscaSet(ViscaMsg::CameraId, free, -1);
            m_devices[free] = unplaced;
        }
        m_unplaced.clear();
    }
    emit sig_deviceChanged();
}
