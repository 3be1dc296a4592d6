// Input to wire: from a key handled by the main window to the first packet it
// puts on the line of an idle camera (an instant simulator, so no wire time is
// counted: the packet's bytes arrive in one read, and the time is taken when
// the simulator has read them). Each iteration presses the key once; another
// key brings the camera back outside the timed part. Reported: the median and
// the 99th percentile of the samples, in microseconds, for the first packet
// (median_us, p99_us) and for the first command packet, 81 01 ...
// (cmd_median_us, cmd_p99_us).
//
// "L" steps the zoom toward tele: the pane reads the zoom position on the GUI
// thread (the first packet, an inquiry), then starts the zoom (the command).
// Up steps the exposure: the brightness is queued for the camera's worker
// thread, which writes it (first packet and command are one).

#include "camsim.h"
#include "quvtest.h"
#include "testwindow.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>

using quvtest::CamSim;

namespace {

double percentile(std::vector<double> samples, double fraction)
{
    std::sort(samples.begin(), samples.end());
    return samples.at(std::min(samples.size() - 1, size_t(fraction * double(samples.size()))));
}

// key: the key timed; rest: the key that brings the camera back to rest.
void keyToWire(benchmark::State& state, Qt::Key key, Qt::Key rest)
{
    CamSim sim;
    apptest::TestWindow window;
    sim.setValue(quvtest::hexBytes("04 39"), quvtest::hexBytes("0D")); // bright mode: Up and Down step the brightness
    window.ports = { SerialPortDesc::forDevicePath(sim.devicePath()) };
    if (!window.scan())
        return state.SkipWithError("the camera was not placed");
    const QByteArray command = quvtest::hexBytes("81 01");
    std::vector<double> first_us;
    std::vector<double> command_us;
    for (auto _ : state) {
        sim.clearReceived();
        const CamSim::Clock::time_point pressed = CamSim::Clock::now();
        QTest::keyClick(&window, key);
        if (!sim.waitForPacket(command))
            return state.SkipWithError("the key sent no command");
        const std::vector<CamSim::Packet> packets = sim.packets();
        const auto sent = std::find_if(packets.begin(), packets.end(),
            [&command](const CamSim::Packet& packet) { return packet.bytes.startsWith(command); });
        first_us.push_back(std::chrono::duration<double, std::micro>(packets.front().time - pressed).count());
        command_us.push_back(std::chrono::duration<double, std::micro>(sent->time - pressed).count());
        state.PauseTiming();
        sim.clearReceived();
        QTest::keyClick(&window, rest);
        if (!sim.waitForPackets(1) || !sim.waitUntilSent())
            return state.SkipWithError("the camera did not come back to rest");
        state.ResumeTiming();
    }
    state.counters["median_us"] = percentile(first_us, 0.5);
    state.counters["p99_us"] = percentile(first_us, 0.99);
    state.counters["cmd_median_us"] = percentile(command_us, 0.5);
    state.counters["cmd_p99_us"] = percentile(command_us, 0.99);
}

BENCHMARK_CAPTURE(keyToWire, zoom_tele_L, Qt::Key_L, Qt::Key_K)->Iterations(500)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(keyToWire, exposure_up, Qt::Key_Up, Qt::Key_Down)->Iterations(500)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quvtest::Environment environment;
    QApplication app(argc, argv);
    environment.applicationCreated();
    // Only the benchmark scans: the countdown armed at start never runs out.
    paneclock::setSourceForTesting(apptest::testClock);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
