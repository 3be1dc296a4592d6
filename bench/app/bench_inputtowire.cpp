// Input to wire: from a key handled by the main window to the first packet it
// puts on the line of an idle camera (an instant simulator, so no wire time is
// counted). Each iteration presses the key once; the camera is brought back to
// rest outside the timed part. Reported: the median and the 99th percentile
// of the samples, in microseconds.

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
        if (rest != Qt::Key_unknown)
            QTest::keyClick(&window, rest);
        sim.waitUntilSent();
        state.ResumeTiming();
    }
    state.counters["median_us"] = percentile(samples_us, 0.5);
    state.counters["p99_us"] = percentile(samples_us, 0.99);
}

// "L": zoom toward tele; "K" stops it again.
BENCHMARK_CAPTURE(keyToWire, zoom_tele_L, Qt::Key_L, Qt::Key_K)->Iterations(500)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quvtest::Environment environment;
    QApplication app(argc, argv);
    environment.applicationCreated();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
