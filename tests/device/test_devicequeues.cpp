// The request queues and the worker: coalescing, serving order, the marker,
// destruction while idle and during an exchange, and the wrong thread.

#include "simdevice.h"

#include "quvtest.h"

using devicetest::Markers;
using devicetest::SimDevice;
using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;
using quvtest::packetsStartingWith;

namespace {

int indexOf(const QList<QByteArray>& record, const char* hex)
{
    return record.indexOf(hexBytes(hex));
}

} // namespace

class TestDeviceQueues : public QObject
{
    Q_OBJECT

private slots:
    void servingOrder();
    void dropWaitsForTheSetTaken();
    void setDuringAGetPassWaitsForIt();
    void markerAfterTheReRead();
    void callerWaitsForOneExchangeOnly();
    void destroyDuringAnExchange();
    void popOnTheWrongThread();
};

void TestDeviceQueues::servingOrder()
{
    // Requests queued while the worker is busy: every set of the next pass goes
    // before its gets, whatever the order they were queued in; a newer value
    // replaces a set still waiting, in its place; gets are never merged.
    SimDevice camera;
    QVERIFY(camera.open());
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).ms(1500).times(1));
    QCOMPARE(camera.device->viscaPush(ViscaMsg::Power, 2, -1), 0);
    QVERIFY(camera.sim.waitForPackets(1));
    // A waiting set can be dropped, one message at a time.
    camera.device->viscaPush(ViscaMsg::Gain, 7, -1);
    QVERIFY(camera.device->viscaDropPush(ViscaMsg::Gain));
    QVERIFY(!camera.device->viscaDropPush(ViscaMsg::Gain));
    Markers markers(camera.device.get());
    QCOMPARE(camera.device->viscaPull(ViscaMsg::ZoomValue, -1), 0);
    camera.device->viscaPush(ViscaMsg::ZoomValue, 100, -1);
    camera.device->viscaPush(ViscaMsg::FocusValue, 1, -1);
    camera.device->viscaPull(ViscaMsg::FocusValue, -1);
    camera.device->viscaPush(ViscaMsg::Nothing, 0, 0);
    camera.device->viscaPull(ViscaMsg::Nothing, -1);
    camera.device->viscaPush(ViscaMsg::ZoomValue, 200, -1);
    camera.device->viscaPull(ViscaMsg::ZoomValue, -1);
    camera.device->viscaPull(ViscaMsg::Marker, 9);
    QVERIFY(markers.waitFor(1));
    QCOMPARE(markers.ids(), QList<int> { 9 });

    QStringList record;
    for (const QByteArray& packet : camera.takeRecord())
        record.append(hexString(packet));
    QCOMPARE(record,
        (QStringList { "81 01 04 00 02 FF", "81 01 04 47 00 00 0C 08 FF", "81 01 04 48 00 00 00 01 FF",
            "81 09 04 47 FF", "81 09 04 48 FF", "81 09 04 47 FF" }));
    int zoom = 0;
    QCOMPARE(camera.device->viscaGetAsync(ViscaMsg::ZoomValue, zoom), 0);
    QCOMPARE(zoom, 200);
}

void TestDeviceQueues::dropWaitsForTheSetTaken()
{
    // A set the worker has taken is not dropped, but the drop returns only
    // once it has been written: a reset written next reaches the camera after
    // it, and the value taken cannot undo the reset.
    SimDevice camera;
    QVERIFY(camera.open());
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).ms(1000).times(1));
    camera.device->viscaPush(ViscaMsg::Power, 2, -1);
    QVERIFY(camera.sim.waitForPackets(1));
    QVERIFY(!camera.device->viscaDropPush(ViscaMsg::Power));
    int power = 0;
    QCOMPARE(camera.device->viscaGetAsync(ViscaMsg::Power, power), 0);
    QCOMPARE(power, 2);
    QCOMPARE(camera.device->viscaSet(ViscaMsg::Power, 3, -1), 0);
    QCOMPARE(camera.takeRecord(), (QList<QByteArray> { hexBytes("81 01 04 00 02 FF"), hexBytes("81 01 04 00 03 FF") }));
}

void TestDeviceQueues::setDuringAGetPassWaitsForIt()
{
    SimDevice camera;
    QVERIFY(camera.open());
    // The second inquiry of the pass is held up, so the write surely comes during the pass.
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).matching(hexBytes("09 7E 06 20")).ms(1500).times(1));
    Markers markers(camera.device.get());
    for (int msg = 0; msg < ViscaMsg::Count; ++msg)
        camera.device->viscaPull(msg, -1);
    camera.device->viscaPull(ViscaMsg::Marker, 3);
    QVERIFY(camera.sim.waitForPackets(2));
    camera.device->viscaPush(ViscaMsg::ZoomValue, 0x1234, -1);
    QVERIFY(markers.waitFor(1));
    // The write comes in the next pass; a second marker waits for it.
    QVERIFY(markers.drain());

    const QList<QByteArray> record = camera.takeRecord();
    const int lastGet = indexOf(record, "81 09 04 4E FF");
    QVERIFY(lastGet > 0);
    QCOMPARE(indexOf(record, "81 01 04 47 01 02 03 04 FF"), lastGet + 1);
}

void TestDeviceQueues::markerAfterTheReRead()
{
    SimDevice camera;
    QVERIFY(camera.open());
    Markers markers(camera.device.get());
    camera.device->deviceResync();
    camera.device->viscaPull(ViscaMsg::Marker, 77);
    QVERIFY(markers.waitFor(1));
    QCOMPARE(markers.ids(), QList<int> { 77 });

    // The 43 messages that have an inquiry, and the name read by the resync itself.
    const QList<QByteArray> record = camera.sim.received();
    QCOMPARE(record.size(), 43 + 3);
    QVERIFY(record.contains(hexBytes("81 09 04 4E FF")));
    // Every value is in the cache once the marker is back (those without an
    // inquiry count as read).
    for (int msg = 0; msg < ViscaMsg::Count; ++msg) {
        int value = 0;
        QVERIFY2(camera.device->viscaGetAsync(msg, value) == 0, qPrintable(QString::number(msg)));
    }
}

void TestDeviceQueues::callerWaitsForOneExchangeOnly()
{
    // A call on another thread (the window's read-backs, the name read of a
    // resync) waits for the exchange the worker is in, not for the worker's
    // whole queue: the worker lets it go first between two requests. Each
    // read below is made while a slow zoom read is on the wire and must come
    // right after it, in several rounds: a line handed to whichever thread
    // asks first would let one through now and then.
    SimDevice camera;
    QVERIFY(camera.open());
    constexpr int kZoomReads = 12;
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).matching(hexBytes("09 04 47")).ms(300).times(kZoomReads));
    for (int i = 0; i < kZoomReads; ++i)
        camera.device->viscaPull(ViscaMsg::ZoomValue, -1);
    for (int round = 0; round < 4; ++round) {
        const int underWay = camera.sim.received().size();
        QVERIFY(camera.sim.waitForPackets(underWay + 1));
        int focus = 0;
        QCOMPARE(camera.device->viscaGet(ViscaMsg::FocusValue, focus, false), 0);
        const QList<QByteArray> record = camera.sim.received();
        QCOMPARE(hexString(record.value(underWay)), QStringLiteral("81 09 04 47 FF"));
        QCOMPARE(hexString(record.value(underWay + 1)), QStringLiteral("81 09 04 48 FF"));
    }
    Markers markers(camera.device.get());
    QVERIFY(markers.drain());
    QCOMPARE(packetsStartingWith(camera.takeRecord(), hexBytes("81 09 04 47")).size(), kZoomReads);
}

void TestDeviceQueues::destroyDuringAnExchange()
{
    SimDevice camera;
    QVERIFY(camera.open());
    camera.sim.addFault(CamSim::Rule(CamSim::Fault::Silence).matching(hexBytes("09 04 47")).times(1));
    camera.device->viscaPull(ViscaMsg::ZoomValue, -1);
    QVERIFY(camera.sim.waitForPackets(1));
    for (int msg = 4; msg < ViscaMsg::Count; ++msg)
        camera.device->viscaPull(msg, -1);
    camera.device->viscaPush(ViscaMsg::Power, 2, -1);

    // Returns once the silent exchange has run out its budget; nothing queued is served.
    quvtest::CaptureFd out(1);
    camera.device.reset();
    QCOMPARE(out.text(), QByteArray("_VISCA_get_packet - timeout1\n"));
    QCOMPARE(camera.takeRecord(), QList<QByteArray> { hexBytes("81 09 04 47 FF") });
}

void TestDeviceQueues::popOnTheWrongThread()
{
    SimDevice camera;
    QVERIFY(camera.open());
    {
        quvtest::CaptureFd out(1);
        camera.device->viscaPop();
        QCOMPARE(out.text(), QByteArray("Bad thread - exit"));
    }
    // The worker still serves the device.
    camera.device->viscaPull(ViscaMsg::ZoomValue, -1);
    QVERIFY(Markers(camera.device.get()).drain());
    QCOMPARE(camera.takeRecord(), QList<QByteArray> { hexBytes("81 09 04 47 FF") });
}

QUV_TEST_MAIN(TestDeviceQueues)
#include "test_devicequeues.moc"
