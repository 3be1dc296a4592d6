// The camera set against simulated cameras, one pseudo-terminal each: placement
// by camera ID, duplicate and invalid IDs, more cameras than slots, rebuilds,
// the selection and its preference, swap, reload, cameras that cannot be
// opened or are unplugged while being read, and the set's destruction.

#include "device/deviceinterface.h"
#include "device/deviceset.h"

#include "camsim.h"
#include "quvtest.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QPointer>
#include <QSettings>
#include <QSignalSpy>

using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;

namespace {

// A camera is opened and read in well under a second against an instant
// simulator, and a camera that never answers costs about 9 s (two open
// attempts of two address sets, 2 s each); CI is a loaded 2-core machine.
constexpr int kSettleMs = 30000;
const char* const kSelectedKey = "prefs/selectedDevice";

const QByteArray kIdKey = hexBytes("04 22");
const QByteArray kIdInquiry = hexBytes("81 09 04 22 FF");
const QByteArray kIdCommand = hexBytes("81 01 04 22");
const QByteArray kAddressSet = hexBytes("88 30 01 FF");

QByteArray idCommand(int id)
{
    return kIdCommand + hexBytes("00 00 00") + char(id) + char(0xFF);
}

int selectionInStore()
{
    return QSettings().value(QLatin1String(kSelectedKey), -100).toInt();
}

// One simulated camera per port, each reporting the camera ID given for it.
class Cameras
{
public:
    explicit Cameras(const QVector<int>& ids)
        : m_ids(ids)
    {
        for (int i = 0; i < ids.size(); ++i) {
            m_sims.push_back(std::make_unique<CamSim>());
            m_sims.back()->setWord(kIdKey, uint16_t(ids.at(i)));
            m_ports.append(SerialPortDesc::forDevicePath(m_sims.back()->devicePath(), QStringLiteral("SN%1").arg(i)));
        }
    }

    bool isValid() const
    {
        return std::all_of(m_sims.begin(), m_sims.end(), [](const auto& sim) { return sim->isValid(); });
    }
    int size() const { return int(m_sims.size()); }
    CamSim& sim(int i) { return *m_sims.at(size_t(i)); }
    int id(int i) const { return m_ids.at(i); }
    const QList<SerialPortDesc>& ports() const { return m_ports; }
    SerialPortDesc port(int i) const { return m_ports.at(i); }

    // Which camera a device talks to, or -1.
    int indexOf(const DeviceInterface* device) const
    {
        for (int i = 0; i < m_ports.size(); ++i) {
            if (device && device->portDescription().systemLocation == m_ports.at(i).systemLocation)
                return i;
        }
        return -1;
    }

    void clearReceived()
    {
        for (auto& sim : m_sims)
            sim->clearReceived();
    }

    // The cameras in the order their markers were handled: the set reads the
    // camera ID on its own thread for each marker, one camera after another,
    // after the camera's re-read (which reads the ID too).
    QVector<int> markerOrder() const
    {
        QVector<std::pair<CamSim::Clock::time_point, int>> last;
        for (int i = 0; i < size(); ++i) {
            CamSim::Clock::time_point at {};
            for (const CamSim::Packet& packet : m_sims.at(size_t(i))->packets()) {
                if (packet.bytes == kIdInquiry)
                    at = packet.time;
            }
            last.append({ at, i });
        }
        std::sort(last.begin(), last.end());
        QVector<int> order;
        for (const auto& entry : last)
            order.append(entry.second);
        return order;
    }

private:
    QVector<int> m_ids;
    std::vector<std::unique_ptr<CamSim>> m_sims;
    QList<SerialPortDesc> m_ports;
};

// The camera devices among the children of the set's parent, by camera index.
QVector<QPointer<DeviceInterface>> devicesOf(QObject& parent, const Cameras& cameras)
{
    QVector<QPointer<DeviceInterface>> devices(cameras.size());
    for (DeviceInterface* device : parent.findChildren<DeviceInterface*>(QString(), Qt::FindDirectChildrenOnly)) {
        const int i = cameras.indexOf(device);
        if (i >= 0)
            devices[i] = device;
    }
    return devices;
}

int deviceCount(QObject& parent)
{
    return parent.findChildren<DeviceInterface*>(QString(), Qt::FindDirectChildrenOnly).size();
}

// The slots as the set shows them after each sig_deviceChanged.
struct Snapshot
{
    int processing;
    QVector<DeviceInterface*> occupants;
};

class ChangeLog
{
public:
    explicit ChangeLog(DeviceSet& set)
    {
        QObject::connect(&set, &DeviceSet::sig_deviceChanged, &m_context, [this, &set] {
            Snapshot snapshot { set.processingCount(), {} };
            for (int i = 0; i < DeviceSet::SLOT_COUNT; ++i)
                snapshot.occupants.append(set.getAt(i));
            m_snapshots.append(snapshot);
        });
    }
    int count() const { return m_snapshots.size(); }
    const QVector<Snapshot>& snapshots() const { return m_snapshots; }

private:
    QObject m_context;
    QVector<Snapshot> m_snapshots;
};

// Where each camera must end up, for camera IDs given in marker order: a
// camera whose ID is a free slot takes it at its marker; the others take the
// lowest free slots in marker order once every marker is back; a camera that
// finds no free slot is dropped (-1).
QVector<int> expectedSlots(const QVector<int>& idsInMarkerOrder)
{
    bool taken[DeviceSet::SLOT_COUNT] = {};
    QVector<int> placed(idsInMarkerOrder.size(), -1);
    QVector<int> unplaced;
    for (int k = 0; k < idsInMarkerOrder.size(); ++k) {
        const int id = idsInMarkerOrder.at(k);
        if (id >= 0 && id < DeviceSet::SLOT_COUNT && !taken[id]) {
            taken[id] = true;
            placed[k] = id;
        } else {
            unplaced.append(k);
        }
    }
    for (int k : unplaced) {
        const auto free = std::find(std::begin(taken), std::end(taken), false);
        if (free == std::end(taken))
            break;
        *free = true;
        placed[k] = int(free - std::begin(taken));
    }
    return placed;
}

// Every occupied slot holds a different device.
bool slotsDistinct(const DeviceSet& set)
{
    QVector<DeviceInterface*> seen;
    for (int i = 0; i < DeviceSet::SLOT_COUNT; ++i) {
        DeviceInterface* device = set.getAt(i);
        if (device && seen.contains(device))
            return false;
        seen.append(device);
    }
    return true;
}

} // namespace

class TestDeviceSet : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void emptySet();
    void storedSelection_data();
    void storedSelection();
    void placement_data();
    void placement();
    void rebuildSamePorts();
    void rebuildReopensClosedLinks();
    void rebuildPlacesByNewId();
    void rebuildDropsAndAdds();
    void rebuildWithEmptyList();
    void rebuildWhilePending();
    void portListedTwice();
    void selection();
    void swap();
    void reloadSelected_data();
    void reloadSelected();
    void offlineCamera_data();
    void offlineCamera();
    void unpluggedDuringReread();
    void destruction();
};

void TestDeviceSet::init()
{
    QSettings().remove(QLatin1String(kSelectedKey));
}

void TestDeviceSet::emptySet()
{
    QObject parent;
    DeviceSet set(&parent);
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);

    DeviceInterface* placeholder = set.get();
    QVERIFY(placeholder);
    QCOMPARE(placeholder->parent(), &parent);
    QVERIFY(!placeholder->deviceOnline());
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(set.processingCount(), 0);
    for (int i = -2; i <= DeviceSet::SLOT_COUNT + 1; ++i)
        QCOMPARE(set.getAt(i), nullptr);

    // Writes to the placeholder are dropped, reads fail.
    int value = 7;
    QCOMPARE(placeholder->viscaSet(ViscaMsg::ZoomValue, 0x4000, -1), 0);
    QCOMPARE(placeholder->viscaGet(ViscaMsg::ZoomValue, value, false), 255);
    QCOMPARE(value, 7);

    QCOMPARE(set.selectIndex(3), 0);
    QCOMPARE(selectionInStore(), 0);
    QCOMPARE(set.selectIndex(DeviceSet::SLOT_COUNT), 0);
    QCOMPARE(set.selectIndex(-1), 0);
    QCOMPARE(set.selectedIndexUpdate(), 0);
    QCOMPARE(set.get(), placeholder);

    // Nothing to reload; a marker nobody waits for changes nothing.
    set.deviceSetReloadSelected();
    QCOMPARE(set.processingCount(), 0);
    QTest::ignoreMessage(QtDebugMsg, "*** slot_popHandle Error: device not found");
    set.slot_popNotify(placeholder->deviceId() + 1000);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(deviceCount(parent), 1);
}

void TestDeviceSet::storedSelection_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("selected");

    QTest::newRow("none") << QVariant() << 0;
    QTest::newRow("0") << QVariant(0) << 0;
    QTest::newRow("3") << QVariant(3) << 3;
    QTest::newRow("7") << QVariant(7) << 7;
    QTest::newRow("12") << QVariant(12) << 7;
    QTest::newRow("-5") << QVariant(-5) << 0;
    QTest::newRow("not a number") << QVariant(QStringLiteral("three")) << 0;
}

void TestDeviceSet::storedSelection()
{
    QFETCH(QVariant, stored);
    QFETCH(int, selected);
    if (stored.isValid())
        QSettings().setValue(QLatin1String(kSelectedKey), stored);

    QObject parent;
    DeviceSet set(&parent);
    QCOMPARE(set.selectedIndex(), selected);
    // Read, not written back: only a choice stores it.
    QCOMPARE(QSettings().value(QLatin1String(kSelectedKey)).toString(), stored.toString());
    QCOMPARE(set.deviceSetCount(), 0);
}

void TestDeviceSet::placement_data()
{
    QTest::addColumn<QVector<int>>("ids");

    QTest::newRow("one camera, ID 2") << QVector<int> { 2 };
    QTest::newRow("IDs 5, 5, 9") << QVector<int> { 5, 5, 9 };
    QTest::newRow("all ID 0") << QVector<int> { 0, 0, 0 };
    QTest::newRow("IDs 7, 6, 5, 4") << QVector<int> { 7, 6, 5, 4 };
    QTest::newRow("invalid IDs") << QVector<int> { 9, 0x20, 0x100, 0xFFFF };
    QTest::newRow("three 3s among 0 to 2") << QVector<int> { 3, 3, 3, 0, 1, 2 };
    QTest::newRow("eight cameras") << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7 };
    QTest::newRow("nine cameras, a second 3") << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 3 };
    QTest::newRow("nine cameras, one without ID") << QVector<int> { 9, 0, 1, 2, 3, 4, 5, 6, 7 };
    QTest::newRow("ten cameras, all ID 0") << QVector<int>(10, 0);
}

void TestDeviceSet::placement()
{
    QFETCH(QVector<int>, ids);
    Cameras cameras(ids);
    QVERIFY(cameras.isValid());
    const int n = cameras.size();

    QObject parent;
    DeviceSet set(&parent);
    ChangeLog log(set);

    set.deviceSetCreate(cameras.ports(), false);
    QCOMPARE(set.processingCount(), n);
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(log.count(), 0);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);
    QCOMPARE(deviceCount(parent), n + 1);
    for (const QPointer<DeviceInterface>& device : devices)
        QVERIFY(device);

    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    // One change per marker; only the last finds the set idle. Until then a
    // camera sits only in the slot of its own ID.
    QCOMPARE(log.count(), n);
    for (int k = 0; k < n; ++k) {
        const Snapshot& snapshot = log.snapshots().at(k);
        QCOMPARE(snapshot.processing > 0, k < n - 1);
        if (k == n - 1)
            break;
        for (int slot = 0; slot < DeviceSet::SLOT_COUNT; ++slot) {
            if (DeviceInterface* device = snapshot.occupants.at(slot))
                QCOMPARE(cameras.id(cameras.indexOf(device)), slot);
        }
    }

    const QVector<int> order = cameras.markerOrder();
    QVector<int> idsInOrder;
    for (int i : order)
        idsInOrder.append(cameras.id(i));
    const QVector<int> expected = expectedSlots(idsInOrder);

    int placed = 0;
    for (int k = 0; k < n; ++k) {
        const int i = order.at(k);
        const int slot = expected.at(k);
        CamSim& sim = cameras.sim(i);
        const QString what = QStringLiteral("camera %1 (ID %2, marker %3)").arg(i).arg(cameras.id(i)).arg(k);
        if (slot < 0) {
            // No slot left: closed and deleted, and its ID left alone.
            QVERIFY2(!devices.at(i), qPrintable(what));
            QVERIFY2(quvtest::packetsStartingWith(sim.received(), kIdCommand).isEmpty(), qPrintable(what));
            continue;
        }
        ++placed;
        QVERIFY2(devices.at(i), qPrintable(what));
        QVERIFY2(set.getAt(slot) == devices.at(i), qPrintable(what + QStringLiteral(" not in slot %1").arg(slot)));
        QVERIFY(devices.at(i)->deviceOnline());
        const QList<QByteArray> written = quvtest::packetsStartingWith(sim.received(), kIdCommand);
        if (slot == cameras.id(i)) {
            QVERIFY2(written.isEmpty(), qPrintable(what));
        } else {
            QCOMPARE(written, QList<QByteArray> { idCommand(slot) });
            QCOMPARE(sim.word(kIdKey), uint16_t(slot));
        }
    }
    QCOMPARE(set.deviceSetCount(), placed);
    QCOMPARE(placed, std::min(n, int(DeviceSet::SLOT_COUNT)));
    QCOMPARE(deviceCount(parent), placed + 1);
    QVERIFY(slotsDistinct(set));
}

void TestDeviceSet::rebuildSamePorts()
{
    Cameras cameras({ 1, 4, 6 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);
    QCOMPARE(set.selectIndex(4), 4);
    QCOMPARE(set.get(), devices.at(1));

    // Open cameras are not opened again, but each gets a marker, and the set
    // reads its ID once more.
    cameras.clearReceived();
    ChangeLog log(set);
    set.deviceSetCreate(cameras.ports(), false);
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(set.processingCount(), 3);
    QCOMPARE(set.selectedIndex(), 4);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(log.count(), 3);
    for (int i = 0; i < cameras.size(); ++i) {
        QCOMPARE(set.getAt(cameras.id(i)), devices.at(i));
        QCOMPARE(cameras.sim(i).received(), QList<QByteArray> { kIdInquiry });
    }
    QCOMPARE(set.selectedIndex(), 4);
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(deviceCount(parent), 4);

    // Forced: the same devices open and read their cameras again (the name is
    // read at once, on the link still open, while the open waits in the queue).
    cameras.clearReceived();
    set.deviceSetCreate(cameras.ports(), true);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(log.count(), 6);
    for (int i = 0; i < cameras.size(); ++i) {
        QCOMPARE(set.getAt(cameras.id(i)), devices.at(i));
        const QList<QByteArray> received = cameras.sim(i).received();
        QCOMPARE(received.count(kAddressSet), 1);
        QVERIFY(received.size() > 40);
        QCOMPARE(received.last(), kIdInquiry);
        QVERIFY(devices.at(i)->deviceOnline());
    }
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(deviceCount(parent), 4);
}

void TestDeviceSet::rebuildReopensClosedLinks()
{
    Cameras cameras({ 0, 3 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    set.deviceSetCloseAll();
    QCOMPARE(set.deviceSetCount(), 2);
    QVERIFY(!set.getAt(0)->deviceOnline());
    QVERIFY(!set.getAt(3)->deviceOnline());

    // A closed link is opened again even without force.
    cameras.clearReceived();
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    for (int i = 0; i < cameras.size(); ++i) {
        QCOMPARE(cameras.sim(i).received().value(0), kAddressSet);
        QVERIFY(set.getAt(cameras.id(i))->deviceOnline());
    }
}

void TestDeviceSet::rebuildPlacesByNewId()
{
    Cameras cameras({ 1, 4 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);
    QCOMPARE(set.selectIndex(1), 1);

    // Both were given new IDs elsewhere: the first 6, the second 1, the slot
    // the first one had. A rebuild places them by what they report now.
    cameras.sim(0).setWord(kIdKey, 6);
    cameras.sim(1).setWord(kIdKey, 1);
    cameras.clearReceived();
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    QCOMPARE(set.getAt(6), devices.at(0));
    QCOMPARE(set.getAt(1), devices.at(1));
    QCOMPARE(set.getAt(4), nullptr);
    QCOMPARE(set.deviceSetCount(), 2);
    QVERIFY(quvtest::packetsStartingWith(cameras.sim(0).received(), kIdCommand).isEmpty());
    QVERIFY(quvtest::packetsStartingWith(cameras.sim(1).received(), kIdCommand).isEmpty());
    // The selection is a slot: it stays, and now shows the other camera.
    QCOMPARE(set.selectedIndex(), 1);
    QCOMPARE(set.get(), devices.at(1));
}

void TestDeviceSet::rebuildDropsAndAdds()
{
    Cameras cameras({ 2, 5, 6, 1 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports().mid(0, 3), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> before = devicesOf(parent, cameras);
    QCOMPARE(set.selectIndex(5), 5);

    // Camera 1 (slot 5) is gone, camera 3 (ID 1) is new.
    ChangeLog log(set);
    set.deviceSetCreate({ cameras.port(3), cameras.port(2), cameras.port(0) }, false);
    QCOMPARE(log.count(), 1); // for the deletion, at once
    QVERIFY(!before.at(1));
    QCOMPARE(set.processingCount(), 3);
    QVERIFY(!set.get()->deviceOnline()); // the placeholder stands in
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    QCOMPARE(log.count(), 4);
    const QVector<QPointer<DeviceInterface>> after = devicesOf(parent, cameras);
    QCOMPARE(set.getAt(2), before.at(0));
    QCOMPARE(set.getAt(6), before.at(2));
    QCOMPARE(set.getAt(1), after.at(3));
    QVERIFY(after.at(3));
    QCOMPARE(set.getAt(5), nullptr);
    QCOMPARE(set.deviceSetCount(), 3);
    QCOMPARE(deviceCount(parent), 4);

    // The selected slot emptied: the selection moves to the lowest camera.
    QCOMPARE(set.selectedIndex(), 5);
    QCOMPARE(set.selectedIndexUpdate(), 1);
    QCOMPARE(selectionInStore(), 1);
}

void TestDeviceSet::rebuildWithEmptyList()
{
    Cameras cameras({ 3, 0 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);
    QCOMPARE(set.deviceSetCount(), 2);
    DeviceInterface* placeholder = nullptr;
    for (DeviceInterface* device : parent.findChildren<DeviceInterface*>()) {
        if (cameras.indexOf(device) < 0)
            placeholder = device;
    }

    // Once for the empty list, once for the deletions.
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate(QList<SerialPortDesc>(), false);
    QCOMPARE(changed.count(), 2);
    QVERIFY(!devices.at(0));
    QVERIFY(!devices.at(1));
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(set.processingCount(), 0);
    QCOMPARE(set.get(), placeholder);
    QCOMPARE(deviceCount(parent), 1);

    // Nothing left: an empty list only reports.
    set.deviceSetCreate(QList<QSerialPortInfo>(), true);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(set.processingCount(), 0);
}

void TestDeviceSet::rebuildWhilePending()
{
    Cameras cameras({ 4, 2 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);

    set.deviceSetCreate(cameras.ports(), false);
    // The devices are opening: a second rebuild would open their ports twice.
    QTest::ignoreMessage(QtDebugMsg, "*** deviceSetCreate parital install - try later");
    set.deviceSetCreate(cameras.ports(), true);
    QTest::ignoreMessage(QtDebugMsg, "*** deviceSetCreate parital install - try later");
    set.deviceSetCreate(QList<SerialPortDesc>(), false);
    QCOMPARE(set.processingCount(), 2);
    QCOMPARE(deviceCount(parent), 3);

    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(deviceCount(parent), 3);
    for (int i = 0; i < cameras.size(); ++i) {
        QCOMPARE(quvtest::packetsStartingWith(cameras.sim(i).received(), kAddressSet).size(), 1);
        QCOMPARE(cameras.indexOf(set.getAt(cameras.id(i))), i);
    }

    // Idle again: closing with nothing pending says nothing.
    set.deviceSetCloseAll();
}

void TestDeviceSet::portListedTwice()
{
    Cameras cameras({ 6, 6 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);

    // The same port under another serial number is still the same port.
    SerialPortDesc again = cameras.port(0);
    again.serialNumber = QStringLiteral("other");
    set.deviceSetCreate({ cameras.port(0), cameras.port(1), again, cameras.port(0) }, false);
    QCOMPARE(set.processingCount(), 2);
    QCOMPARE(deviceCount(parent), 3);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(quvtest::packetsStartingWith(cameras.sim(0).received(), kAddressSet).size(), 1);

    // A kept device listed twice gets one marker.
    set.deviceSetCreate({ cameras.port(1), cameras.port(1), cameras.port(0) }, false);
    QCOMPARE(set.processingCount(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(changed.count(), 4);
    QCOMPARE(deviceCount(parent), 3);
    QVERIFY(slotsDistinct(set));
}

void TestDeviceSet::selection()
{
    Cameras cameras({ 6, 2 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);

    struct Step
    {
        int asked;
        int selected;
    };
    const Step steps[] = { { 5, 2 }, { 6, 6 }, { 0, 2 }, { 6, 6 }, { 8, 2 }, { 6, 6 }, { -1, 2 }, { 2, 2 } };
    for (const Step& step : steps) {
        QCOMPARE(set.selectIndex(step.asked), step.selected);
        QCOMPARE(set.selectedIndex(), step.selected);
        QCOMPARE(selectionInStore(), step.selected);
        QCOMPARE(set.get(), set.getAt(step.selected));
    }
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(set.getAt(DeviceSet::SLOT_COUNT), nullptr);
    QCOMPARE(set.getAt(-1), nullptr);

    // A new set finds the stored choice.
    set.selectIndex(6);
    DeviceSet next(&parent);
    QCOMPARE(next.selectedIndex(), 6);
}

void TestDeviceSet::swap()
{
    Cameras cameras({ 0, 4, 7 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);

    // The selection follows the selected camera.
    QCOMPARE(set.selectIndex(4), 4);
    set.swap(1, 4);
    QCOMPARE(set.getAt(1), devices.at(1));
    QCOMPARE(set.getAt(4), nullptr);
    QCOMPARE(set.selectedIndex(), 1);
    QCOMPARE(selectionInStore(), 1);
    QCOMPARE(set.get(), devices.at(1));

    set.swap(0, 1);
    QCOMPARE(set.getAt(0), devices.at(1));
    QCOMPARE(set.getAt(1), devices.at(0));
    QCOMPARE(set.selectedIndex(), 0);

    // Indices are clamped: slots 0 and 7 change places, the selection with them.
    set.swap(-3, 9);
    QCOMPARE(set.getAt(0), devices.at(2));
    QCOMPARE(set.getAt(7), devices.at(1));
    QCOMPARE(set.selectedIndex(), 7);
    QCOMPARE(selectionInStore(), 7);

    // A swap that leaves the selection alone still stores it.
    QSettings().setValue(QLatin1String(kSelectedKey), 3);
    set.swap(1, 2);
    QCOMPARE(set.getAt(2), devices.at(0));
    QCOMPARE(set.getAt(1), nullptr);
    QCOMPARE(set.selectedIndex(), 7);
    QCOMPARE(selectionInStore(), 7);
    set.swap(5, 5);
    QCOMPARE(set.deviceSetCount(), 3);
    QVERIFY(slotsDistinct(set));
    QCOMPARE(set.processingCount(), 0);
}

void TestDeviceSet::reloadSelected_data()
{
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("slot");

    // The selected camera sits in slot 3, another one in slot 5.
    QTest::newRow("same ID") << 3 << 3;
    QTest::newRow("another free ID") << 6 << 6;
    QTest::newRow("the ID of the other camera") << 5 << 3;
    QTest::newRow("an invalid ID") << 9 << 3;
}

void TestDeviceSet::reloadSelected()
{
    QFETCH(int, reported);
    QFETCH(int, slot);

    Cameras cameras({ 3, 5 });
    QVERIFY(cameras.isValid());
    QObject parent;
    DeviceSet set(&parent);
    set.deviceSetCreate(cameras.ports(), false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    const QVector<QPointer<DeviceInterface>> devices = devicesOf(parent, cameras);
    QCOMPARE(set.selectIndex(3), 3);

    cameras.sim(0).setWord(kIdKey, uint16_t(reported));
    cameras.clearReceived();
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetReloadSelected();
    // The camera keeps its slot while it is read again.
    QCOMPARE(set.processingCount(), 1);
    QCOMPARE(set.getAt(3), devices.at(0));
    QCOMPARE(set.get(), devices.at(0));
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    QCOMPARE(changed.count(), 1);
    QVERIFY(quvtest::packetsStartingWith(cameras.sim(0).received(), kAddressSet).size() >= 1);
    QVERIFY(cameras.sim(1).received().isEmpty());
    QVERIFY(quvtest::packetsStartingWith(cameras.sim(0).received(), kIdCommand).isEmpty());
    QCOMPARE(set.getAt(slot), devices.at(0));
    QCOMPARE(set.getAt(5), devices.at(1));
    QCOMPARE(set.deviceSetCount(), 2);
    QVERIFY(slotsDistinct(set));
    if (slot != 3)
        QCOMPARE(set.getAt(3), nullptr);
    // The selection follows the camera.
    QCOMPARE(set.selectedIndex(), slot);
    QCOMPARE(set.get(), devices.at(0));
    QCOMPARE(selectionInStore(), slot);
    QVERIFY(devices.at(0)->deviceOnline());

    // The set ends by deleting each device once.
}

void TestDeviceSet::offlineCamera_data()
{
    QTest::addColumn<bool>("silent");

    QTest::newRow("camera that never answers") << true;
    QTest::newRow("device node missing") << false;
}

void TestDeviceSet::offlineCamera()
{
    QFETCH(bool, silent);

    Cameras cameras({ 0, 1, 2 });
    QVERIFY(cameras.isValid());
    QList<SerialPortDesc> ports = cameras.ports();
    if (silent)
        cameras.sim(1).addFault(Rule(Fault::Silence));
    else
        ports[1] = SerialPortDesc::forDevicePath(QStringLiteral("/dev/quv-no-such-port"), QStringLiteral("SN1"));

    QObject parent;
    DeviceSet set(&parent);
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate(ports, false);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    // The camera without a link still takes the lowest free slot; its new ID
    // is not written, as it cannot be.
    QCOMPARE(changed.count(), 3);
    QCOMPARE(set.deviceSetCount(), 3);
    DeviceInterface* offline = set.getAt(1);
    QVERIFY(offline);
    QCOMPARE(offline->portDescription().systemLocation, ports.at(1).systemLocation);
    QVERIFY(!offline->deviceOnline());
    QVERIFY(set.getAt(0)->deviceOnline());
    QVERIFY(set.getAt(2)->deviceOnline());
    QCOMPARE(cameras.indexOf(set.getAt(0)), 0);
    QCOMPARE(cameras.indexOf(set.getAt(2)), 2);
    if (silent) {
        const QList<QByteArray> received = cameras.sim(1).received();
        QVERIFY(!received.isEmpty());
        for (const QByteArray& packet : received)
            QCOMPARE(hexString(packet), hexString(kAddressSet));
    }
    QVERIFY(cameras.sim(1).received().isEmpty() != silent);
}

void TestDeviceSet::unpluggedDuringReread()
{
    Cameras cameras({ 0, 4 });
    QVERIFY(cameras.isValid());
    CamSim& leaving = cameras.sim(1);
    // The iris inquiry, in the middle of the re-read, goes unanswered: the
    // cable is pulled while the camera layer waits for the reply.
    const QByteArray irisInquiry = hexBytes("81 09 04 4B FF");
    leaving.addFault(Rule(Fault::Silence).matching(irisInquiry.mid(1, 3)).times(1));

    QObject parent;
    DeviceSet set(&parent);
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate(cameras.ports(), false);
    QVERIFY(leaving.waitForPacket(irisInquiry, kSettleMs));
    leaving.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);

    // Its ID cannot be read any more: it takes the lowest free slot.
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(cameras.indexOf(set.getAt(0)), 0);
    QCOMPARE(cameras.indexOf(set.getAt(1)), 1);
    QCOMPARE(set.getAt(4), nullptr);
    const QPointer<DeviceInterface> unplugged = set.getAt(1);

    // The next scan no longer lists it: its device goes.
    set.deviceSetCreate({ cameras.port(0) }, false);
    QVERIFY(!unplugged);
    QTRY_VERIFY_WITH_TIMEOUT(set.processingCount() == 0, kSettleMs);
    QCOMPARE(set.deviceSetCount(), 1);
    QCOMPARE(changed.count(), 4);
}

void TestDeviceSet::destruction()
{
    Cameras cameras({ 1, 2, 3 });
    QVERIFY(cameras.isValid());

    // Placed devices and the placeholder end with the set.
    {
        QObject parent;
        auto* set = new DeviceSet(&parent);
        set->deviceSetCreate(cameras.ports(), false);
        QTRY_VERIFY_WITH_TIMEOUT(set->processingCount() == 0, kSettleMs);
        QCOMPARE(deviceCount(parent), 4);
        delete set;
        QCOMPARE(deviceCount(parent), 0);
    }

    // Devices still pending end with the set's parent.
    {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(cameras.ports(), true);
        const QVector<QPointer<DeviceInterface>> devices = devicesOf(*parent, cameras);
        delete set;
        QCOMPARE(deviceCount(*parent), 3);
        // Their markers find no set and do no harm.
        for (const QPointer<DeviceInterface>& device : devices)
            QTRY_VERIFY_WITH_TIMEOUT(device->deviceOnline(), kSettleMs);
        QCoreApplication::processEvents();
        parent.reset();
        for (const QPointer<DeviceInterface>& device : devices)
            QVERIFY(!device);
    }

    // A camera being reloaded is in a slot and pending at once: deleted once.
    {
        QObject parent;
        auto* set = new DeviceSet(&parent);
        set->deviceSetCreate(cameras.ports(), false);
        QTRY_VERIFY_WITH_TIMEOUT(set->processingCount() == 0, kSettleMs);
        set->selectIndex(2);
        set->deviceSetReloadSelected();
        QCOMPARE(set->processingCount(), 1);
        delete set;
        QCOMPARE(deviceCount(parent), 0);
    }

    // As the application ends: the parent goes with the set among its
    // children, once with a camera being reloaded (in a slot and pending at
    // once), once with every camera still pending.
    {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(cameras.ports(), false);
        QTRY_VERIFY_WITH_TIMEOUT(set->processingCount() == 0, kSettleMs);
        set->selectIndex(3);
        set->deviceSetReloadSelected();
        parent.reset();
    }
    {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(cameras.ports(), false);
        QCOMPARE(set->processingCount(), 3);
        parent.reset();
    }
}

QUV_TEST_MAIN(TestDeviceSet)
#include "test_deviceset.moc"
