// The request queues of one camera:
// - a full re-read of its 55 values through the get queue, against an instant
//   camera and against one that paces every byte at 9600 baud (beside the wire
//   time of the bytes exchanged);
// - what queueing a write and reading the cache cost the calling thread while
//   the worker waits out a two-second exchange.

#include "camsim.h"
#include "device/deviceinterface.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

#include <QObject>

using quvtest::CamSim;

namespace {

constexpr double BYTE_TIME_MS = CamSim::BYTE_TIME_9600_NS / 1e6;

// Waits on the calling thread for a device's markers, without an event loop.
class MarkerWait
{
public:
    explicit MarkerWait(DeviceInterface* device)
    {
        QObject::connect(
            device, &DeviceInterface::sig_popNotify, device,
            [this](int) {
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_count;
                m_arrived.notify_all();
            },
            Qt::DirectConnection);
    }

    bool waitFor(int count)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_arrived.wait_for(lock, std::chrono::seconds(60), [&] { return m_count >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    int m_count = 0;
};

int64_t wireBytes(const CamSim& sim)
{
    int64_t received = 0;
    for (const QByteArray& packet : sim.received())
        received += packet.size();
    return received + sim.bytesSent();
}

void BM_FullReRead(benchmark::State& state)
{
    CamSim sim;
    DeviceInterface device(nullptr, SerialPortDesc::forDevicePath(sim.devicePath()));
    if (!device.viscaSerialOpen(sim.devicePath()))
        return state.SkipWithError("no camera");
    sim.setPacing(state.range(0) != 0);
    MarkerWait markers(&device);
    sim.clearReceived();
    const int64_t sentBefore = sim.bytesSent();
    int passes = 0;
    for (auto _ : state) {
        device.deviceResync();
        device.viscaPull(ViscaMsg::Marker, 0);
        if (!markers.waitFor(++passes))
            return state.SkipWithError("the marker did not come back");
    }
    const double bytesPerPass = double(wireBytes(sim) - sentBefore) / passes;
    state.counters["wire_bytes"] = bytesPerPass;
    if (state.range(0))
        state.counters["wire_ms"] = bytesPerPass * BYTE_TIME_MS;
}
BENCHMARK(BM_FullReRead)->ArgName("paced")->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullReRead)->ArgName("paced")->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The worker is kept inside silent two-second exchanges for the whole run.
struct BusyCamera
{
    BusyCamera()
        : device(nullptr, SerialPortDesc::forDevicePath(sim.devicePath()))
    {
        opened = device.viscaSerialOpen(sim.devicePath());
        device.viscaSet(3, 0x1000, -1);
        sim.addFault(CamSim::Rule(CamSim::Fault::Silence));
        // Silent reads: the worker stays in two-second exchanges for the whole run.
        for (int i = 0; i < 30; ++i)
            device.viscaPull(6, -1);
        // The opening exchanges, the zoom write and the first focus read.
        sim.waitForPackets(5);
    }

    CamSim sim;
    DeviceInterface device;
    bool opened = false;
};

void BM_PushDuringExchange(benchmark::State& state)
{
    BusyCamera camera;
    if (!camera.opened)
        return state.SkipWithError("no camera");
    int value = 0;
    for (auto _ : state)
        camera.device.viscaPush(3, ++value & 0x3FFF, -1);
}
BENCHMARK(BM_PushDuringExchange)->Iterations(200000)->Unit(benchmark::kNanosecond);

void BM_GetAsyncDuringExchange(benchmark::State& state)
{
    BusyCamera camera;
    if (!camera.opened)
        return state.SkipWithError("no camera");
    int value = 0;
    for (auto _ : state) {
        camera.device.viscaGetAsync(3, value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_GetAsyncDuringExchange)->Iterations(1000000)->Unit(benchmark::kNanosecond);

} // namespace

BENCHMARK_MAIN();
