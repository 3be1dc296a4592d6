// The camera set against simulated cameras, one pseudo-terminal each:
// placement by camera ID, rebuilds, the selection and its preference, swap,
// reload, cameras that cannot be opened or are unplugged, and destruction.

#include "device/deviceinterface.h"
#include "device/deviceset.h"

#include "camsim.h"
#include "quvtest.h"

#include <memory>
#include <vector>

#include <QPointer>
#include <QSettings>
#include <QSignalSpy>

using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::packetsStartingWith;
using Devices = QVector<QPointer<DeviceInterface>>;

namespace {

// A camera that never answers costs about 9 s (two open attempts of two
// address sets, 2 s each); CI is a loaded machine.
constexpr int kSettleMs = 30000;
const char* const kSelectedKey = "prefs/selectedDevice";
const QByteArray kIdKey = hexBytes("04 22");
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
struct Rig
{
    explicit Rig(const QVector<int>& cameraIds)
        : ids(cameraIds)
    {
        for (int i = 0; i < ids.size(); ++i) {
            sims.push_back(std::make_unique<CamSim>());
            sims.back()->setWord(kIdKey, uint16_t(ids.at(i)));
            ports.append(SerialPortDesc::forDevicePath(sims.back()->devicePath(), QStringLiteral("SN%1").arg(i)));
        }
    }

    // Builds the set on the ports and waits until no camera is pending.
    bool create(const QList<SerialPortDesc>& list, bool force = false)
    {
        set.deviceSetCreate(list, force);
        return settle();
    }
    bool create(bool force = false) { return create(ports, force); }
    bool settle()
    {
        return QTest::qWaitFor([this] { return set.processingCount() == 0; }, kSettleMs);
    }
    CamSim& sim(int i) { return *sims.at(size_t(i)); }

    // Which camera a device talks to, or -1.
    int indexOf(const DeviceInterface* device) const
    {
        for (int i = 0; i < ports.size(); ++i) {
            if (device && device->portDescription().systemLocation == ports.at(i).systemLocation)
                return i;
        }
        return -1;
    }

    // The camera devices among the children of owner, by camera index.
    Devices devices(QObject* owner)
    {
        Devices found(ids.size());
        for (DeviceInterface* device : owner->findChildren<DeviceInterface*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (indexOf(device) >= 0)
                found[indexOf(device)] = device;
        }
        return found;
    }
    Devices devices() { return devices(&parent); }

    void clearReceived()
    {
        for (auto& sim : sims)
            sim->clearReceived();
    }

    QVector<int> ids;
    std::vector<std::unique_ptr<CamSim>> sims;
    QList<SerialPortDesc> ports;
    QObject parent;
    DeviceSet set { &parent };
};

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
    void rebuildWithFewerPorts();
    void newcomerWithHeldId();
    void newcomerWithTheIdOfASilentCamera();
    void selectionAndSwap();
    void reloadSelected_data();
    void reloadSelected();
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
    QTest::newRow("7") << QVariant(7) << 7;
    QTest::newRow("8") << QVariant(8) << 7;
    QTest::newRow("-1") << QVariant(-1) << 0;
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
    QTest::addColumn<QVector<int>>("occupied");

    // A camera takes the slot of its ID while it is free; the others take the
    // lowest free slots once every camera has been read, and get that ID.
    QTest::newRow("IDs 5, 5, 9") << QVector<int> { 5, 5, 9 } << QVector<int> { 0, 1, 5 };
    QTest::newRow("IDs 7, 6, 5, 4") << QVector<int> { 7, 6, 5, 4 } << QVector<int> { 4, 5, 6, 7 };
    QTest::newRow("invalid IDs") << QVector<int> { 8, 0x20, 0x100, 0xFFFF } << QVector<int> { 0, 1, 2, 3 };
    QTest::newRow("three 3s among 0 to 2") << QVector<int> { 3, 3, 3, 0, 1, 2 } << QVector<int> { 0, 1, 2, 3, 4, 5 };
    // More cameras than slots: one is let go.
    QTest::newRow("nine cameras") << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7, 3 }
                                  << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7 };
    QTest::newRow("nine, one without ID")
        << QVector<int> { 9, 0, 1, 2, 3, 4, 5, 6, 7 } << QVector<int> { 0, 1, 2, 3, 4, 5, 6, 7 };
}

void TestDeviceSet::placement()
{
    QFETCH(QVector<int>, ids);
    QFETCH(QVector<int>, occupied);
    Rig rig(ids);
    QSignalSpy changed(&rig.set, &DeviceSet::sig_deviceChanged);

    rig.set.deviceSetCreate(rig.ports, false);
    QCOMPARE(rig.set.processingCount(), ids.size());
    QCOMPARE(rig.set.deviceSetCount(), 0);
    QCOMPARE(deviceCount(rig.parent), ids.size() + 1);
    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), ids.size()); // one change per camera read

    QVector<int> taken;
    for (int slot = 0; slot < DeviceSet::SLOT_COUNT; ++slot) {
        DeviceInterface* device = rig.set.getAt(slot);
        if (!device)
            continue;
        taken.append(slot);
        const int i = rig.indexOf(device);
        QVERIFY(device->deviceOnline());
        // A camera in another slot than its ID's was told its new ID.
        const QList<QByteArray> written = packetsStartingWith(rig.sim(i).received(), kIdCommand);
        if (slot == ids.at(i)) {
            QVERIFY(written.isEmpty());
        } else {
            QCOMPARE(written, QList<QByteArray> { kIdCommand + hexBytes("00 00 00") + char(slot) + char(0xFF) });
            QCOMPARE(rig.sim(i).word(kIdKey), uint16_t(slot));
        }
    }
    QCOMPARE(taken, occupied);
    QCOMPARE(rig.set.deviceSetCount(), occupied.size());
    // The one without a slot is closed and deleted.
    QCOMPARE(deviceCount(rig.parent), occupied.size() + 1);
}

void TestDeviceSet::rebuildSamePorts()
{
    // A port listed twice gets one device.
    Rig rig({ 1, 4, 6 });
    QVERIFY(rig.create(rig.ports + rig.ports));
    QCOMPARE(deviceCount(rig.parent), 4);
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.selectIndex(4), 4);

    // Open cameras are not opened again, but each camera's ID is read once more.
    // While they are read, a second rebuild is refused: it would open them twice.
    rig.clearReceived();
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate(rig.ports + rig.ports, false);
    QCOMPARE(set.processingCount(), 3);
    QCOMPARE(set.deviceSetCount(), 0);
    QTest::ignoreMessage(QtDebugMsg, "*** deviceSetCreate parital install - try later");
    set.deviceSetCreate(QList<SerialPortDesc>(), true);
    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(set.getAt(rig.ids.at(i)), devices.at(i));
        QCOMPARE(rig.sim(i).received(), QList<QByteArray> { hexBytes("81 09 04 22 FF") });
    }
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(deviceCount(rig.parent), 4);

    // Forced: the same devices open and read their cameras again.
    rig.clearReceived();
    QVERIFY(rig.create(true));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(set.getAt(rig.ids.at(i)), devices.at(i));
        QCOMPARE(rig.sim(i).received().count(kAddressSet), 1);
        QVERIFY(rig.sim(i).received().size() > 40);
    }
    QCOMPARE(deviceCount(rig.parent), 4);

    // A closed link is opened again even without force.
    set.deviceSetCloseAll();
    QCOMPARE(set.deviceSetCount(), 3);
    QVERIFY(!devices.at(0)->deviceOnline());
    rig.clearReceived();
    QVERIFY(rig.create());
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(rig.sim(i).received().value(0), kAddressSet);
        QVERIFY(devices.at(i)->deviceOnline());
    }
}

void TestDeviceSet::rebuildWithFewerPorts()
{
    Rig rig({ 3, 0, 5 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.selectIndex(5), 5);

    // A port no longer listed loses its device; the selection, left on an
    // empty slot, moves to the lowest camera. One change for the deletion,
    // one for the marker of the camera kept.
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetCreate({ rig.ports.at(1) }, false);
    QVERIFY(!devices.at(0));
    QVERIFY(!devices.at(2));
    QVERIFY(rig.settle());
    QCOMPARE(changed.count(), 2);
    QCOMPARE(set.deviceSetCount(), 1);
    QVERIFY(!set.get()->deviceOnline()); // the placeholder stands in for slot 5
    QCOMPARE(set.selectedIndexUpdate(), 0);
    QCOMPARE(selectionInStore(), 0);

    // An empty list reports once for the list and once for the deletion.
    set.deviceSetCreate(QList<SerialPortDesc>(), false);
    QCOMPARE(changed.count(), 4);
    QVERIFY(!devices.at(1));
    QCOMPARE(set.deviceSetCount(), 0);
    QCOMPARE(deviceCount(rig.parent), 1);
}

void TestDeviceSet::newcomerWithHeldId()
{
    // Eight cameras in use, then a ninth reporting ID 3, then a rebuild in
    // which camera 3 is the slowest to answer: the eight keep their slots
    // and the ninth is let go untold.
    Rig rig({ 0, 1, 2, 3, 4, 5, 6, 7, 3 });
    QVERIFY(rig.create(rig.ports.mid(0, 8)));
    const Devices devices = rig.devices();
    QCOMPARE(rig.set.selectIndex(3), 3);
    rig.sim(3).setPacing(true);
    rig.clearReceived();
    QVERIFY(rig.create(true));
    for (int slot = 0; slot < 8; ++slot)
        QCOMPARE(rig.set.getAt(slot), devices.at(slot));
    QCOMPARE(deviceCount(rig.parent), 8 + 1);
    QVERIFY(packetsStartingWith(rig.sim(8).received(), kIdCommand).isEmpty());
    QCOMPARE(rig.sim(8).word(kIdKey), uint16_t(3));

    // With a free slot, the newcomer takes the lowest one and its number.
    Rig two({ 4, 4 });
    QVERIFY(two.create(two.ports.mid(0, 1)));
    DeviceInterface* held = two.set.getAt(4);
    two.sim(0).setPacing(true);
    QVERIFY(two.create(true));
    QCOMPARE(two.set.getAt(4), held);
    QCOMPARE(two.indexOf(two.set.getAt(0)), 1);
    QCOMPARE(two.sim(1).word(kIdKey), uint16_t(0));
    QCOMPARE(two.sim(0).word(kIdKey), uint16_t(4));
}

void TestDeviceSet::newcomerWithTheIdOfASilentCamera()
{
    // The camera the slot was held for has gone silent (about 15 s: its name
    // read and two open attempts time out): the newcomer takes its own ID's
    // slot untold, and the silent one the lowest free slot.
    Rig silent({ 2, 2 });
    QVERIFY(silent.create(silent.ports.mid(0, 1)));
    DeviceInterface* mute = silent.set.getAt(2);
    silent.sim(0).addFault(CamSim::Rule(CamSim::Fault::Silence));
    silent.clearReceived();
    QVERIFY(silent.create(true));
    QCOMPARE(silent.indexOf(silent.set.getAt(2)), 1);
    QVERIFY(silent.set.getAt(2)->deviceOnline());
    QVERIFY(packetsStartingWith(silent.sim(1).received(), kIdCommand).isEmpty());
    QCOMPARE(silent.sim(1).word(kIdKey), uint16_t(2));
    QCOMPARE(silent.set.getAt(0), mute);
    QVERIFY(!mute->deviceOnline());
    QCOMPARE(silent.set.deviceSetCount(), 2);
}

void TestDeviceSet::selectionAndSwap()
{
    Rig rig({ 6, 2, 0 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();

    // An empty or invalid slot selects the lowest camera; the choice is stored, and get() follows it.
    const int steps[][2] = { { 5, 0 }, { 6, 6 }, { 8, 0 }, { 2, 2 }, { -1, 0 }, { 2, 2 } };
    for (const auto& step : steps) {
        QCOMPARE(set.selectIndex(step[0]), step[1]);
        QCOMPARE(set.selectedIndex(), step[1]);
        QCOMPARE(selectionInStore(), step[1]);
        QCOMPARE(set.get(), set.getAt(step[1]));
    }
    QCOMPARE(set.getAt(DeviceSet::SLOT_COUNT), nullptr);
    QCOMPARE(set.getAt(-1), nullptr);

    // A swap moves the selection with the selected camera; indices are clamped.
    set.swap(2, 4);
    QCOMPARE(set.getAt(4), devices.at(1));
    QCOMPARE(set.getAt(2), nullptr);
    QCOMPARE(set.selectedIndex(), 4);
    set.swap(-3, 4);
    QCOMPARE(set.getAt(0), devices.at(1));
    QCOMPARE(set.getAt(4), devices.at(2));
    QCOMPARE(set.selectedIndex(), 0);
    set.swap(0, 9);
    QCOMPARE(set.getAt(7), devices.at(1));
    QCOMPARE(set.selectedIndex(), 7);
    QCOMPARE(selectionInStore(), 7);
    QCOMPARE(set.get(), devices.at(1));
    QCOMPARE(set.deviceSetCount(), 3);
}

void TestDeviceSet::reloadSelected_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("reported");
    QTest::addColumn<int>("slot");

    // The selected camera sits in slot from, another one in slot 5.
    QTest::newRow("same ID") << 3 << 3 << 3;
    QTest::newRow("another free ID") << 3 << 6 << 6;
    QTest::newRow("another free ID, from slot 0") << 0 << 6 << 6;
    QTest::newRow("the ID of the other camera") << 3 << 5 << 3;
    QTest::newRow("an invalid ID") << 3 << 9 << 3;
}

void TestDeviceSet::reloadSelected()
{
    QFETCH(int, from);
    QFETCH(int, reported);
    QFETCH(int, slot);
    Rig rig({ from, 5 });
    QVERIFY(rig.create());
    DeviceSet& set = rig.set;
    const Devices devices = rig.devices();
    QCOMPARE(set.selectIndex(from), from);

    rig.sim(0).setWord(kIdKey, uint16_t(reported));
    rig.clearReceived();
    QSignalSpy changed(&set, &DeviceSet::sig_deviceChanged);
    set.deviceSetReloadSelected();
    // The camera keeps its slot while it is read again.
    QCOMPARE(set.processingCount(), 1);
    QCOMPARE(set.getAt(from), devices.at(0));
    QVERIFY(rig.settle());

    QCOMPARE(changed.count(), 1);
    QCOMPARE(rig.sim(0).received().count(kAddressSet), 1);
    QVERIFY(rig.sim(1).received().isEmpty());
    QVERIFY(packetsStartingWith(rig.sim(0).received(), kIdCommand).isEmpty());
    QCOMPARE(set.getAt(slot), devices.at(0));
    QCOMPARE(set.getAt(5), devices.at(1));
    // A camera that moved leaves its slot empty: one device, one slot.
    if (slot != from)
        QCOMPARE(set.getAt(from), nullptr);
    QCOMPARE(set.deviceSetCount(), 2);
    // The selection follows the camera.
    QCOMPARE(set.selectedIndex(), slot);
    QCOMPARE(selectionInStore(), slot);
}

void TestDeviceSet::unpluggedDuringReread()
{
    // The iris inquiry, in the middle of the re-read, goes unanswered: the
    // cable is pulled while the camera layer waits for the reply. Its ID
    // cannot be read any more: it takes the lowest free slot.
    Rig rig({ 0, 4 });
    const QByteArray irisInquiry = hexBytes("81 09 04 4B FF");
    rig.sim(1).addFault(CamSim::Rule(CamSim::Fault::Silence).matching(irisInquiry.mid(1, 3)).times(1));
    rig.set.deviceSetCreate(rig.ports, false);
    QVERIFY(rig.sim(1).waitForPacket(irisInquiry, kSettleMs));
    rig.sim(1).hangUp();
    QVERIFY(rig.settle());
    QCOMPARE(rig.set.deviceSetCount(), 2);
    QCOMPARE(rig.indexOf(rig.set.getAt(1)), 1);
    QCOMPARE(rig.set.getAt(4), nullptr);
    QVERIFY(!rig.set.getAt(1)->deviceOnline());
}

void TestDeviceSet::destruction()
{
    Rig rig({ 1, 2, 3 });

    // Devices still pending end with the set's parent; their markers find no set and do no harm.
    {
        auto parent = std::make_unique<QObject>();
        auto* set = new DeviceSet(parent.get());
        set->deviceSetCreate(rig.ports, true);
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
        set->deviceSetCreate(rig.ports, false);
        QTRY_VERIFY_WITH_TIMEOUT(set->processingCount() == 0, kSettleMs);
        set->selectIndex(2);
        set->deviceSetReloadSelected();
        QCOMPARE(set->processingCount(), 1);
        if (!withParent) {
            delete set;
            QCOMPARE(deviceCount(*parent), 0);
        }
    }
}

QUV_TEST_MAIN(TestDeviceSet)
#include "test_deviceset.moc"
