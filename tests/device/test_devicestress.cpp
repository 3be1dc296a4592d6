// Many threads on a few cameras at once, with every request accounted for;
// and devices created and destroyed in the middle of their work, for the
// sanitizer build to check the memory and the threads.

#include "simdevice.h"

#include "quvtest.h"

#include <array>
#include <atomic>
#include <random>
#include <thread>

using devicetest::Markers;
using devicetest::SimDevice;
using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::packetsStartingWith;

namespace {

constexpr int CAMERAS = 3;
constexpr int CLIENTS = 4;
constexpr int REQUESTS_PER_CLIENT = 2000;

// Each client writes one message of its own, so that the order of its values
// on the wire can be checked: 3 zoom, 6 focus, 30 gain, 49 brightness.
constexpr std::array<int, CLIENTS> CLIENT_MESSAGES { ViscaMsg::ZoomValue, ViscaMsg::FocusValue, ViscaMsg::Gain,
    ViscaMsg::Brightness };
const char* const SET_PREFIXES[CLIENTS] = { "81 01 04 47", "81 01 04 48", "81 01 04 4C", "81 01 04 4D" };

// Messages the clients read, with the inquiry each one sends.
const std::pair<int, const char*> INQUIRIES[] = { { ViscaMsg::ZoomValue, "81 09 04 47 FF" },
    { ViscaMsg::Power, "81 09 04 00 FF" }, { ViscaMsg::CameraId, "81 09 04 22 FF" } };

uint16_t wordOf(const QByteArray& packet)
{
    // 81 01 04 cc 0p 0q 0r 0s FF
    return uint16_t((packet.at(4) << 12) | (packet.at(5) << 8) | (packet.at(6) << 4) | packet.at(7));
}

} // namespace

class TestDeviceStress : public QObject
{
    Q_OBJECT

private slots:
    void clientsOnSeveralThreads();
    void destroyedInTheMiddleOfTheirWork();
};

void TestDeviceStress::clientsOnSeveralThreads()
{
    std::vector<std::unique_ptr<SimDevice>> cameras;
    for (int i = 0; i < CAMERAS; ++i) {
        cameras.push_back(std::make_unique<SimDevice>());
        QVERIFY(cameras.back()->open());
    }

    // Pulls made of each inquiry on each camera, and the last value each client pushed.
    std::atomic<int> pulls[CAMERAS][std::size(INQUIRIES)] {};
    uint16_t lastPushed[CAMERAS][CLIENTS] {};
    std::atomic<int> badCacheReads { 0 };

    std::vector<std::thread> clients;
    for (int client = 0; client < CLIENTS; ++client) {
        clients.emplace_back([&, client] {
            std::mt19937 random(unsigned(client) + 1);
            for (int request = 1; request <= REQUESTS_PER_CLIENT; ++request) {
                const int c = int(random() % CAMERAS);
                DeviceInterface& device = *cameras[size_t(c)]->device;
                switch (random() % 4) {
                case 0: {
                    const uint16_t value = uint16_t(request);
                    device.viscaPush(CLIENT_MESSAGES[size_t(client)], value, -1);
                    lastPushed[c][client] = value;
                    break;
                }
                case 1: {
                    const size_t i = random() % std::size(INQUIRIES);
                    device.viscaPull(INQUIRIES[i].first, -1);
                    ++pulls[c][i];
                    break;
                }
                case 2: {
                    // A cached pair is always one the device stored, never half of one.
                    int val1 = 0;
                    int val2 = 0;
                    if (device.viscaGetAsync(ViscaMsg::EptPosition, val1, val2) == 0 && val1 != val2)
                        ++badCacheReads;
                    break;
                }
                default:
                    device.viscaSet(ViscaMsg::EptPosition, request, request);
                    break;
                }
            }
        });
    }
    for (std::thread& client : clients)
        client.join();

    for (int c = 0; c < CAMERAS; ++c) {
        SimDevice& camera = *cameras[size_t(c)];
        Markers markers(camera.device.get());
        QVERIFY(markers.drain(60000));
        // A write queued after the last pull is served in the next pass.
        QVERIFY(markers.drain(60000));

        const QList<QByteArray> record = camera.takeRecord();
        for (size_t i = 0; i < std::size(INQUIRIES); ++i)
            QCOMPARE(int(packetsStartingWith(record, hexBytes(INQUIRIES[i].second)).size()), pulls[c][i].load());
        for (int client = 0; client < CLIENTS; ++client) {
            const QList<QByteArray> writes = packetsStartingWith(record, hexBytes(SET_PREFIXES[client]));
            if (lastPushed[c][client] == 0) {
                QVERIFY(writes.isEmpty());
                continue;
            }
            // Coalesced, in order, and the newest value always written last.
            QVERIFY(!writes.isEmpty());
            for (int w = 1; w < writes.size(); ++w)
                QVERIFY(wordOf(writes.at(w - 1)) < wordOf(writes.at(w)));
            QCOMPARE(wordOf(writes.last()), lastPushed[c][client]);
        }
    }
    QCOMPARE(badCacheReads.load(), 0);
}

void TestDeviceStress::destroyedInTheMiddleOfTheirWork()
{
    CamSim sim;
    std::mt19937 random(7);
    for (int cycle = 0; cycle < 300; ++cycle) {
        auto device = std::make_unique<DeviceInterface>(nullptr, SerialPortDesc::forDevicePath(sim.devicePath()));
        device->viscaPush(ViscaMsg::SerialOpen, -1, -1);
        const int requests = int(random() % 8);
        for (int r = 0; r < requests; ++r) {
            if (r % 2)
                device->viscaPull(ViscaMsg::ZoomValue, -1);
            else
                device->viscaPush(ViscaMsg::ZoomValue, r, -1);
        }
        if (random() % 2)
            sim.waitForPackets(1 + int(random() % 3), 1000);
        device.reset();
        sim.clearReceived();
    }
}

QUV_TEST_MAIN(TestDeviceStress)
#include "test_devicestress.moc"
