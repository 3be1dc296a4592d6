#pragma once

#include "device/serialportdesc.h"

#include <QList>
#include <QObject>
#include <QSerialPortInfo>

class DeviceInterface;

// The cameras of the application: up to eight devices, each in the slot named
// by the camera's own ID, the selected slot, and a placeholder device that
// stands in for an empty slot, so that get() is never null. Used on the GUI
// thread only; devices report back through queued markers.
class DeviceSet : public QObject
{
    Q_OBJECT

public:
    static constexpr int SLOT_COUNT = 8;

    explicit DeviceSet(QObject* parent);
    ~DeviceSet() override;

    // The selected camera, or the placeholder when its slot is empty.
    DeviceInterface* get() const;
    // The camera in slot i; null for an empty slot or an index outside 0..7.
    DeviceInterface* getAt(int i) const;
    int deviceSetCount() const;
    // Devices still being opened and placed; a rebuild is running while above 0.
    int processingCount() const;
    int selectedIndex() const;
    // Selects slot i, or the lowest occupied slot when i is empty; stored in the preferences.
    int selectIndex(int i);
    int selectedIndexUpdate();
    void swap(int a, int b);

    // Rebuilds the slots from a port list: keeps, re-opens, closes or creates devices.
    void deviceSetCreate(const QList<QSerialPortInfo>& ports, bool force);
    void deviceSetCreate(const QList<SerialPortDesc>& ports, bool force);
    void deviceSetReloadSelected();
    void deviceSetCloseAll();

signals:
    void sig_deviceChanged();

public slots:
    void slot_popNotify(int deviceId);

private:
    void queueOpenAndResync(DeviceInterface* device);
    void queueMarker(DeviceInterface* device);
    int slotOf(const DeviceInterface* device) const;
    int lowestEmptySlot() const;
    void storeSelection();

    int m_selected = -1;
    DeviceInterface* m_devices[SLOT_COUNT] = {};
    // The slot each kept camera held before the rebuild under way. A camera
    // new to the set that reports the same ID does not take it while its
    // holder is still being read: whichever answered first used to win, so
    // a ninth camera plugged in could push a working one out of the set.
    // Compared only, never followed.
    DeviceInterface* m_previous[SLOT_COUNT] = {};
    QList<DeviceInterface*> m_pending;
    // A camera read but not placed, and the ID it reported (-1 when it could
    // not be read or lies outside 0..7).
    struct Unplaced
    {
        DeviceInterface* device;
        int cameraId;
    };
    QList<Unplaced> m_unplaced;
    DeviceInterface* m_placeholder = nullptr;
};
