// Input to wire: from a key handled by the main window to the first packet it
// puts on the line of an idle camera (an instant simulator, so no wire time is
// counted; the time is taken when the simulator has read the packet). Each
// iteration presses the key once; another key brings the camera back outside
// the timed part. Reported: the median and the 99th percentile of the
// samples, in microseconds.
//
// "L" steps the zoom toward tele: the pane reads the zoom position on the GUI
// thread, then starts the zoom. Up steps the exposure: the brightness is
// queued for the camera's worker thread, which writes it.

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
    std::vector<double> samples_us;
    for (auto _ : state) {
        sim.clearReceived();
        const CamSim::Clock::time_point pressed = CamSim::Clock::now();
        QTest::keyClick(&window, key);
        if (!sim.waitForPackets(1))
            return state.SkipWithError("the key sent nothing");
        const std::chrono::duration<double, std::micro> toWire = sim.packets().front().time - pressed;
        samples_us.push_back(toWire.count());
        state.PauseTiming();
        sim.clearReceived();
        QTest::keyClick(&window, rest);
        if (!sim.waitForPackets(1) || !sim.waitUntilSent())
            return state.SkipWithError("the camera did not come back to rest");
        state.ResumeTiming();
    }
    state.counters["median_us"] = percentile(samples_us, 0.5);
    state.counters["p99_us"] = percentile(samples_us, 0.99);
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
