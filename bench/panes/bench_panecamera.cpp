// Drag lag of the camera pane: the focus slider is dragged through 200
// positions in one second (the last one up to one exchange time later, see
// below) while the camera's line runs at 9600 baud. Each position is queued
// as a set; a newer one replaces a set still waiting, so the line carries at
// most one set per exchange and the camera ends on the last position shortly
// after the drag stops.
//
// Counters: lag_exchanges and max_lag_exchanges, the mean and the longest
// time from the last position to the camera holding it (the last byte of its
// set on the wire), in exchange times (one set and its two replies on the
// wire, 15.6 ms); sets, the focus sets that reached the line; min_gap_exchanges,
// the shortest time between two of them, in exchange times (1 or more: never
// two sets in one exchange time); over_target, the rounds whose lag passed
// 2.1 exchange times (the rest of a set under way, then the last set: 1.6 at
// most, plus what the worker thread and the scheduler add).

#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/panecamera.h"
#include "panes/segmentslider.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

using quvtest::CamSim;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPositions = 200;
constexpr auto kDrag = std::chrono::milliseconds(1000);
// 81 01 04 48 0p 0q 0r 0s FF out, 90 41 FF and 90 51 FF back.
constexpr int kSetBytes = 9;
constexpr double kExchangeMs = (kSetBytes + 6) * CamSim::BYTE_TIME_9600_NS / 1e6;
// The simulator records a packet when it is written; its last byte is on the
// wire this much later.
constexpr double kSetOnWireMs = kSetBytes * CamSim::BYTE_TIME_9600_NS / 1e6;
// The lag that counts as late, in exchange times.
constexpr double kTargetExchanges = 2.1;
// The camera must hold the last position by then, or the run fails.
constexpr auto kSettleLimit = std::chrono::seconds(5);

void spinUntil(Clock::time_point until)
{
    while (Clock::now() < until) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void BM_FocusDragLag(benchmark::State& state)
{
    CamSim sim;
    QObject owner;
    DeviceSet set(&owner);
    set.deviceSetCreate(QList<SerialPortDesc> { SerialPortDesc::forDevicePath(sim.devicePath()) }, false);
    const auto placeLimit = Clock::now() + std::chrono::seconds(30);
    while ((set.processingCount() > 0 || set.deviceSetCount() == 0) && Clock::now() < placeLimit)
        spinUntil(Clock::now() + std::chrono::milliseconds(10));
    if (set.deviceSetCount() != 1)
        return state.SkipWithError("the camera was not placed");
    PaneCamera pane(&set, nullptr);
    pane.uiSetup();
    SegmentSlider* slider = pane.focusSlider();
    sim.setPacing(true);

    double lagSum = 0;
    double lagMax = 0;
    double minGap = 1e9;
    int sets = 0;
    int late = 0;
    int round = 0;
    for (auto _ : state) {
        // Each round drags over other positions, so that every position is a
        // change. The line settles into exchanges back to back from the first
        // position on, so a drag of exactly one second would always end at the
        // same point of an exchange: each round lasts a tenth of an exchange
        // longer (mod 10), so that ten rounds end at every point of one.
        const int base = 1000 + (round % 2) * 100;
        const auto drag = kDrag + std::chrono::microseconds(int64_t(kExchangeMs * 100 * (round % 10)));
        ++round;
        spinUntil(Clock::now() + std::chrono::milliseconds(100));
        sim.clearReceived();
        const Clock::time_point start = Clock::now();
        Clock::time_point last;
        int position = 0;
        for (int i = 0; i < kPositions; ++i) {
            spinUntil(start + drag * i / (kPositions - 1));
            position = base + i * 250;
            last = Clock::now();
            slider->setValue(position);
        }
        const uint16_t target = uint16_t(PaneCamera::convFocusUiToVisca(position));
        const auto settleLimit = Clock::now() + kSettleLimit;
        while (sim.word(quvtest::hexBytes("04 48")) != target && Clock::now() < settleLimit)
            spinUntil(Clock::now() + std::chrono::microseconds(500));
        if (sim.word(quvtest::hexBytes("04 48")) != target)
            return state.SkipWithError("the camera never reached the last position");

        std::vector<Clock::time_point> times;
        for (const CamSim::Packet& packet : sim.packets()) {
            if (packet.bytes.startsWith(quvtest::hexBytes("81 01 04 48")))
                times.push_back(packet.time);
        }
        sets += int(times.size());
        for (size_t i = 1; i < times.size(); ++i)
            minGap = std::min(minGap, ms(times[i] - times[i - 1]));
        const double lag = ms(times.back() - last) + kSetOnWireMs;
        lagSum += lag;
        lagMax = std::max(lagMax, lag);
        late += lag > kTargetExchanges * kExchangeMs ? 1 : 0;
        state.SetIterationTime(lag / 1000.0);
    }
    state.counters["lag_exchanges"] = lagSum / state.iterations() / kExchangeMs;
    state.counters["max_lag_exchanges"] = lagMax / kExchangeMs;
    state.counters["sets"] = double(sets) / state.iterations();
    state.counters["min_gap_exchanges"] = minGap / kExchangeMs;
    state.counters["over_target"] = late;
    state.counters["exchange_ms"] = kExchangeMs;
}
BENCHMARK(BM_FocusDragLag)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // No display is needed, and the pane's preferences stay away from the user's.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));
    // The camera layer's diagnostics would interleave with the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
