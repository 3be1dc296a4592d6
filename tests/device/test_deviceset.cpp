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
using quvtest::packetsStartingWith;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;
using Devices = QVector<QPointer<DeviceInterface>>;

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

int selectionInStore()
{
    return QSettings().value(QLatin1String(kSelectedKey), -100).toInt();
}

int deviceCount(QObject& parent)
{
    return parent.findChildren<DeviceInterface*>(QString(), Qt::FindDirectChildrenOnly).size();
}

// One simulated camera per port, each reporting the camera ID given for it,
// and a camera set under a parent of its own.
class Rig
{
public:
    explicit Rig(const QVector<int>& ids)
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
    // Builds the set on the ports and waits until no camera is pending.
    bool create(const QList<SerialPortDesc>& ports, bool force = false)
    {
        set.deviceSetCreate(ports, force);
        return settle();
    }
    bool create(bool force = false) { return create(m_ports, force); }
    bool settle()
    {
        return QTest::qWaitFor([this] { return set.processingCount() == 0; }, kSettleMs);
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

    // The camera devices among the children of parent (the set's by default), by camera index.
    Devices devices(QObject* owner = nullptr)
    {
        Devices devices(size());
        for (DeviceInterface* device :
            (owner ? owner : &parent)->findChildren<DeviceInterface*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (indexOf(device) >= 0)
                devices[indexOf(device)] = device;
        }
        return devices;
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

public:
    QObject parent;
    DeviceSet set { &parent };
};

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
    void rebuildWithEmptyList();
    void rebuildWhilePending();
    void portListedTwice();
    void selectionAndSwap();
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

    // The placeholder stands in for the selection, wherever it is asked to be.
    DeviceInterface* placeholder = set.get();
    QVERIFY(placeholder);
    QCOMPARE(placeholder->parent(), &parent);
    QVERIFY(!placeholder->deviceOnline());
    QCOMPARE(set.selectIndex(3), 0);
    QCOMPARE(selectionInStore(), 0);
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
    QTest::newRow("3") << QVariant(3) << 3;
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
}

void TestDeviceSet::placement_data()
{
    QTest::addColumn<QVector<int>>("ids");

    QTest::newRow("IDs 5, 5, 9") << QVector<int> { 5, 5, 9 };
    QTest::newRow("IDs 7, 6, 5, 4") << QVector<int> { 7, 6, 5, 4 };
    QTest::newRow("invalid IDs") << QVector<int> { 9, 0x20, 0x100, 0xFFFF };
    QTest::newRow("three 3s among 0 to 2") << QVector<int> { 3, 3, 3, 0, 1, 2 };
    QTest::newRow("nine cameras, a second 3") << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 3 };
    QTest::newRow("nine cameras, one without ID") << QVector<int> { 9, 0, 1, 2, 3, 4, 5, 6, 7 };
}

void TestDeviceSet::placement()
{
    QFETCH(QVector<int>, ids);
    Rig rig(ids);
    QVERIFY(rig.isValid());
    const int n = rig.size();
    DeviceSet& set = rig.set;
    ChangeLog log(set);

    set.deviceSetCreate(rig.ports(), false);
    QCOMPARE(set.processingCount(), n);
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(log.count(), 0);
    const Devices devices = rig.devices();
    QCOMPARE(deviceCount(rig.parent), n + 1);
    for (const QPointer<DeviceInterface>& device : devices)
        QVERIFY(device);
    QVERIFY(rig.settle());

    // One change per marker; only the last finds the set idle. Until then a
    // camera sits only in the slot of its own ID.
    QCOMPARE(log.count(), n);
    for (int k = 0; k < n - 1; ++k) {
        const Snapshot& snapshot = log.snapshots().at(k);
        QVERIFY(snapshot.processing > 0);
        for (int slot = 0; slot < DeviceSet::SLOT_COUNT; ++slot) {
            if (DeviceInterface* device = snapshot.occupants.at(slot))
                QCOMPARE(rig.id(rig.indexOf(device)), slot);
        }
    }
    QCOMPARE(log.snapshots().last().processing, 0);

    const QVector<int> order = rig.markerOrder();
    QVector<int> idsInOrder;
    for (int i : order)
        idsInOrder.append(rig.id(i));
    const QVector<int> expected = expectedSlots(idsInOrder);

    int placed = 0;
    for (int k = 0; k < n; ++k) {
        const int i = order.at(k);
        const int slot = expected.at(k);
        CamSim& sim = rig.sim(i);
        const QString what = QStringLiteral("camera %1 (ID %2, marker %3)").arg(i).arg(rig.id(i)).arg(k);
        const QList<QByteArray> written = packetsStartingWith(sim.received(), kIdCommand);
        if (slot < 0) {
            // No slot left: closed and deleted, and its ID left alone.
            QVERIFY2(!devices.at(i), qPrintable(what));
            QVERIFY2(written.isEmpty(), qPrintable(what));
            continue;
        }
        ++placed;
        QVERIFY2(devices.at(i), qPrintable(what));
        QVERIFY2(set.getAt(slot) == devices.at(i), qPrintable(what + QStringLiteral(" not in slot %1").arg(slot)));
        QVERIFY(devices.at(i)->deviceOnline());
        if (slot == rig.id(i)) {
            QVERIFY2(written.isEmpty(), qPrintable(what));
        } else {
            QCOMPARE(written, QList<QByteArray> { kIdCommand + hexBytes("00 00 00") + char(slot) + char(0xFF) });
            QCOMPARE(sim.word(kIdKey), uint16_t(slot));
        }
    }
    QCOMPARE(set.deviceSetCount(), placed);
    QCOMPARE(placed, std::min(n, int(DeviceSet::SLOT_COUNT)));
    QCOMPARE(deviceCount(rig.parent), placed + 1);
    QVERIFY(slotsDistinct(set));
}

void TestDeviceSet::rebuildSamePorts()
{
    Rig rig({ 1, 4, 6 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.selectIndex(4), 4);

    // Open cameras are not opened again, but each gets a marker, and the set
    // reads its ID once more.
    rig.clearReceived();
    ChangeLog log(set);
    set.deviceSetCreate(rig.ports(), false);
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(set.processingCount(), 3);
    QVERIFY(rig.settle());
    QCOMPARE(log.count(), 3);
    for (int i = 0; i < rig.size(); ++i) {
        QCOMPARE(set.getAt(rig.id(i)), devices.at(i));
        QCOMPARE(rig.sim(i).received(), QList<QByteArray> { kIdInquiry });
    }
    QCOMPARE(set.selectedIndex(), 4);
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(deviceCount(rig.parent), 4);

    // Forced: the same devices open and read their cameras again (the name is
    // read at once, on the link still open, while the open waits in the queue).
    rig.clearReceived();
    QVERIFY(rig.create(true));
    QCOMPARE(log.count(), 6);
    for (int i = 0; i < rig.size(); ++i) {
        QCOMPARE(set.getAt(rig.id(i)), devices.at(i));
        const QList<QByteArray> received = rig.sim(i).received();
        QCOMPARE(received.count(kAddressSet), 1);
        QVERIFY(received.size() > 40);
        QCOMPARE(received.last(), kIdInquiry);
        QVERIFY(devices.at(i)->deviceOnline());
    }
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(deviceCount(rig.parent), 4);

    // A closed link is opened again even without force.
    set.deviceSetCloseAll();
    QCOMPARE(set.deviceSetCount(), 3);
    QVERIFY(!devices.at(0)->deviceOnline());
    rig.clearReceived();
    QVERIFY(rig.create());
    for (int i = 0; i < rig.size(); ++i) {
        QCOMPARE(rig.sim(i).received().value(0), kAddressSet);
        QVERIFY(devices.at(i)->deviceOnline());
    }
}

void TestDeviceSet::rebuildWithEmptyList()
{
    Rig rig({ 3, 0 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.deviceSetCount(), 2);
    DeviceInterface* placeholder = nullptr;
    for (DeviceInterface* device : rig.parent.findChildren<DeviceInterface*>()) {
        if (rig.indexOf(device) < 0)
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
    QCOMPARE(deviceCount(rig.parent), 1);

    // Nothing left: an empty list only reports.
    set.deviceSetCreate(QList<QSerialPortInfo>(), true);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(set.processingCount(), 0);
}

void TestDeviceSet::rebuildWhilePending()
{
    Rig rig({ 4, 2 });
    QVERIFY(rig.isValid());
    DeviceSet& set = rig.set;
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);

    set.deviceSetCreate(rig.ports(), false);
    // The devices are opening: a second rebuild would open their ports twice.
    QTest::ignoreMessage(QtDebugMsg, "*** deviceSetCreate parital install - try later");
    set.deviceSetCreate(rig.ports(), true);
    QTest::ignoreMessage(QtDebugMsg, "*** deviceSetCreate parital install - try later");
    set.deviceSetCreate(QList<SerialPortDesc>(), false);
    QCOMPARE(set.processingCount(), 2);
    QCOMPARE(deviceCount(rig.parent), 3);

    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(deviceCount(rig.parent), 3);
    for (int i = 0; i < rig.size(); ++i) {
        QCOMPARE(packetsStartingWith(rig.sim(i).received(), kAddressSet).size(), 1);
        QCOMPARE(rig.indexOf(set.getAt(rig.id(i))), i);
    }
    // Idle again: closing with nothing pending says nothing.
    set.deviceSetCloseAll();
}

void TestDeviceSet::portListedTwice()
{
    Rig rig({ 6, 6 });
    QVERIFY(rig.isValid());
    DeviceSet& set = rig.set;
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);

    // The same port under another serial number is still the same port.
    SerialPortDesc again = rig.port(0);
    again.serialNumber = QStringLiteral("other");
    set.deviceSetCreate({ rig.port(0), rig.port(1), again, rig.port(0) }, false);
    QCOMPARE(set.processingCount(), 2);
    QCOMPARE(deviceCount(rig.parent), 3);
    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(packetsStartingWith(rig.sim(0).received(), kAddressSet).size(), 1);

    // A kept device listed twice gets one marker.
    set.deviceSetCreate({ rig.port(1), rig.port(1), rig.port(0) }, false);
    QCOMPARE(set.processingCount(), 2);
    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), 4);
    QCOMPARE(deviceCount(rig.parent), 3);
    QVERIFY(slotsDistinct(set));
}

void TestDeviceSet::selectionAndSwap()
{
    Rig rig({ 6, 2, 0 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();

    // An empty or invalid slot selects the lowest camera; the choice is
    // stored, and get() follows it.
    struct Step
    {
        int asked;
        int selected;
    };
    const Step steps[] = { { 5, 0 }, { 6, 6 }, { 1, 0 }, { 6, 6 }, { 8, 0 }, { 6, 6 }, { -1, 0 }, { 2, 2 } };
    for (const Step& step : steps) {
        QCOMPARE(set.selectIndex(step.asked), step.selected);
        QCOMPARE(set.selectedIndex(), step.selected);
        QCOMPARE(selectionInStore(), step.selected);
        QCOMPARE(set.get(), set.getAt(step.selected));
    }
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(set.getAt(DeviceSet::SLOT_COUNT), nullptr);
    QCOMPARE(set.getAt(-1), nullptr);

    // A swap moves the selection with the selected camera; indices are clamped.
    set.swap(2, 4);
    QCOMPARE(set.getAt(4), devices.at(1));
    QCOMPARE(set.getAt(2), nullptr);
    QCOMPARE(set.selectedIndex(), 4);
    QCOMPARE(selectionInStore(), 4);
    QCOMPARE(set.get(), devices.at(1));
    set.swap(-3, 4);
    QCOMPARE(set.getAt(0), devices.at(1));
    QCOMPARE(set.getAt(4), devices.at(2));
    QCOMPARE(set.selectedIndex(), 0);
    set.swap(0, 9);
    QCOMPARE(set.getAt(7), devices.at(1));
    QCOMPARE(set.getAt(0), nullptr);
    QCOMPARE(set.selectedIndex(), 7);
    QCOMPARE(selectionInStore(), 7);
    QCOMPARE(set.deviceSetCount(), 3);
    QVERIFY(slotsDistinct(set));

    // A new set finds the stored choice.
    DeviceSet next(&rig.parent);
    QCOMPARE(next.selectedIndex(), 7);
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

    Rig rig({ 3, 5 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.selectIndex(3), 3);

    rig.sim(0).setWord(kIdKey, uint16_t(reported));
    rig.clearReceived();
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetReloadSelected();
    // The camera keeps its slot while it is read again.
    QCOMPARE(set.processingCount(), 1);
    QCOMPARE(set.getAt(3), devices.at(0));
    QCOMPARE(set.get(), devices.at(0));
    QVERIFY(rig.settle());

    QCOMPARE(changed.count(), 1);
    QVERIFY(packetsStartingWith(rig.sim(0).received(), kAddressSet).size() >= 1);
    QVERIFY(rig.sim(1).received().isEmpty());
    QVERIFY(packetsStartingWith(rig.sim(0).received(), kIdCommand).isEmpty());
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

    Rig rig({ 0, 1, 2 });
    QVERIFY(rig.isValid());
    QList<SerialPortDesc> ports = rig.ports();
    if (silent)
        rig.sim(1).addFault(Rule(Fault::Silence));
    else
        ports[1] = SerialPortDesc::forDevicePath(QStringLiteral("/dev/quv-no-such-port"), QStringLiteral("SN1"));
    DeviceSet& set = rig.set;
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    QVERIFY(rig.create(ports));

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
    QCOMPARE(rig.indexOf(set.getAt(0)), 0);
    QCOMPARE(rig.indexOf(set.getAt(2)), 2);
    const QList<QByteArray> received = rig.sim(1).received();
    QCOMPARE(received.isEmpty(), !silent);
    for (const QByteArray& packet : received)
        QCOMPARE(hexString(packet), hexString(kAddressSet));
}

void TestDeviceSet::unpluggedDuringReread()
{
    Rig rig({ 0, 4 });
    QVERIFY(rig.isValid());
    CamSim& leaving = rig.sim(1);
    // The iris inquiry, in the middle of the re-read, goes unanswered: the
    // cable is pulled while the camera layer waits for the reply.
    const QByteArray irisInquiry = hexBytes("81 09 04 4B FF");
    leaving.addFault(Rule(Fault::Silence).matching(irisInquiry.mid(1, 3)).times(1));
    DeviceSet& set = rig.set;
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate(rig.ports(), false);
    QVERIFY(leaving.waitForPacket(irisInquiry, kSettleMs));
    leaving.hangUp();
    QVERIFY(rig.settle());

    // Its ID cannot be read any more: it takes the lowest free slot.
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 2);
    QCOMPARE(rig.indexOf(set.getAt(0)), 0);
    QCOMPARE(rig.indexOf(set.getAt(1)), 1);
    QCOMPARE(set.getAt(4), nullptr);
    const QPointer<DeviceInterface> unplugged = set.getAt(1);
    QVERIFY(!unplugged->deviceOnline());

    // The next scan no longer lists it: its device goes, and the selection,
    // left on an empty slot, moves to the lowest camera.
    QCOMPARE(set.selectIndex(1), 1);
    set.deviceSetCreate({ rig.port(0) }, false);
    QVERIFY(!unplugged);
    QVERIFY(rig.settle());
    QCOMPARE(set.deviceSetCount(), 1);
    QCOMPARE(changed.count(), 4);
    QCOMPARE(set.selectedIndexUpdate(), 0);
    QCOMPARE(selectionInStore(), 0);
}

void TestDeviceSet::destruction()
{
    Rig rig({ 1, 2, 3 });
    QVERIFY(rig.isValid());

    // Devices still pending end with the set's parent; their markers find no set and do no harm.
    {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(rig.ports(), true);
        const Devices devices = rig.devices(parent.get());
        delete set;
        QCOMPARE(deviceCount(*parent), 3);
        for (const QPointer<DeviceInterface>& device : devices)
            QTRY_VERIFY_WITH_TIMEOUT(device->deviceOnline(), kSettleMs);
        QCoreApplication::processEvents();
        parent.reset();
        for (const QPointer<DeviceInterface>& device : devices)
            QVERIFY(!device);
    }

    // A camera being reloaded is in a slot and pending at once: deleted once,
    // whether the set goes alone or with its parent (as the application ends).
    for (bool withParent : { false, true }) {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(rig.ports(), false);
        QTRY_VERIFY_WITH_TIMEOUT(set->processingCount() == 0, kSettleMs);
        set->selectIndex(2);
        set->deviceSetReloadSelected();
        QCOMPARE(set->processingCount(), 1);
        if (!withParent) {
            delete set;
            QCOMPARE(deviceCount(*parent), 0);
        }
    }

    // The parent goes while every camera is still pending.
    auto parent = std::make_unique<QObject>();
    auto* set = new DeviceSet(parent.get());
    set->deviceSetCreate(rig.ports(), false);
    QCOMPARE(set->processingCount(), 3);
}

QUV_TEST_MAIN(TestDeviceSet)
#include "test_deviceset.moc"
