// The cost of one VISCA exchange on a pseudo-terminal, against what the line
// itself takes:
// - against an instant camera, beside a bare client that writes the same
//   packet and reads the same reply with plain system calls (the difference is
//   what the library adds);
// - against a camera that paces every byte at 9600 baud, beside the wire time
//   of the exchange's bytes;
// - the CPU the reader burns while a reply is 200 ms late.

#include "camsim.h"
#include "visca/visca.h"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <unistd.h>

using quvtest::CamSim;
using quvtest::hexBytes;

namespace {

constexpr double BYTE_TIME_MS = CamSim::BYTE_TIME_9600_NS / 1e6;
// 81 01 04 47 0p 0q 0r 0s FF, then 90 41 FF and 90 51 FF.
constexpr int SET_WIRE_BYTES = 9 + 3 + 3;
// 81 09 04 47 FF, then 90 50 0p 0q 0r 0s FF.
constexpr int INQUIRY_WIRE_BYTES = 5 + 7;

struct Line
{
    explicit Line(bool paced)
    {
        sim.setPacing(paced);
        camera.address = 1;
        opened = VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData()) == VISCA_SUCCESS;
    }
    ~Line() { VISCA_close_serial(&port); }

    CamSim sim;
    ViscaPort port {};
    ViscaCameraInfo camera {};
    bool opened = false;
};

// The bare client: one write, then reads until `terminators` packets are in.
bool bareExchange(int fd, const QByteArray& packet, int terminators)
{
    if (write(fd, packet.constData(), size_t(packet.size())) != packet.size())
        return false;
    unsigned char buffer[64];
    while (terminators > 0) {
        pollfd request { fd, POLLIN, 0 };
        if (poll(&request, 1, 2000) != 1)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        for (ssize_t i = 0; i < n; ++i)
            terminators -= buffer[i] == 0xFF;
    }
    return true;
}

// One exchange per iteration; paced lines also report the wire time of its bytes.
template<typename Exchange> void runExchanges(benchmark::State& state, int wireBytes, Exchange exchange)
{
    Line line(state.range(0) != 0);
    if (!line.opened)
        return state.SkipWithError("no pseudo-terminal");
    for (auto _ : state) {
        if (exchange(line) != VISCA_SUCCESS)
            return state.SkipWithError("exchange failed");
    }
    if (state.range(0))
        state.counters["wire_ms"] = wireBytes * BYTE_TIME_MS;
}

// The same packet and reply through plain system calls.
void runBareExchanges(benchmark::State& state, const char* packet, int replies)
{
    Line line(false);
    if (!line.opened)
        return state.SkipWithError("no pseudo-terminal");
    const QByteArray bytes = hexBytes(packet);
    for (auto _ : state) {
        if (!bareExchange(line.port.fd, bytes, replies))
            return state.SkipWithError("exchange failed");
    }
}

void BM_SetExchange(benchmark::State& state)
{
    uint32_t zoom = 0;
    runExchanges(state, SET_WIRE_BYTES,
        [&](Line& line) { return VISCA_set_zoom_value(&line.port, &line.camera, ++zoom & 0x3FFF); });
}

void BM_SetExchangeBare(benchmark::State& state)
{
    runBareExchanges(state, "81 01 04 47 01 02 03 04 FF", 2);
}

void BM_Inquiry(benchmark::State& state)
{
    uint16_t zoom = 0;
    runExchanges(
        state, INQUIRY_WIRE_BYTES, [&](Line& line) { return VISCA_get_zoom_value(&line.port, &line.camera, &zoom); });
}

void BM_InquiryBare(benchmark::State& state)
{
    runBareExchanges(state, "81 09 04 47 FF", 1);
}

// Instant answers: many iterations. Paced at 9600 baud: a few, repeated, as medians.
#define EXCHANGE_BENCHMARK(function)                                                                                   \
    BENCHMARK(function)->ArgName("paced")->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);                       \
    BENCHMARK(function)                                                                                                \
        ->ArgName("paced")                                                                                             \
        ->Arg(1)                                                                                                       \
        ->Iterations(20)                                                                                               \
        ->Repetitions(5)                                                                                               \
        ->ReportAggregatesOnly(true)                                                                                   \
        ->UseRealTime()                                                                                                \
        ->Unit(benchmark::kMillisecond)

EXCHANGE_BENCHMARK(BM_SetExchange);
BENCHMARK(BM_SetExchangeBare)->UseRealTime()->Unit(benchmark::kMicrosecond);
EXCHANGE_BENCHMARK(BM_Inquiry);
BENCHMARK(BM_InquiryBare)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Wall time per exchange against the CPU time of the calling thread: the
// reader sleeps in poll() while it waits.
void BM_LateReply(benchmark::State& state)
{
    Line line(false);
    if (!line.opened)
        return state.SkipWithError("no pseudo-terminal");
    line.sim.addFault(CamSim::Rule(CamSim::Fault::Delay).ms(200));
    uint16_t zoom = 0;
    for (auto _ : state) {
        if (VISCA_get_zoom_value(&line.port, &line.camera, &zoom) != VISCA_SUCCESS)
            return state.SkipWithError("exchange failed");
    }
}
BENCHMARK(BM_LateReply)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
