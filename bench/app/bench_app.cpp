// The application beside a bare Qt program, each figure with its baseline
// from the same run. The programs run on an X server of the benchmark's own
// (Xvfb, the xcb platform), and the benchmark watches that server as a plain
// client of its own, so both programs are timed and measured the same way and
// neither is changed for it. Without Xvfb the two process benchmarks are
// skipped with the reason.
//
// The bare program (quv-bare-dialog) shows one empty QDialog and links Qt
// Widgets only. As Qt starts it, it loads Qt's OpenGL integration (GLX and
// the driver) before its window shows; the application does not (its
// widgets are drawn by the raster engine alone). So each figure is also given
// beside the bare program started with --raster, which skips that too: the
// first comparison is the target, the second what the application itself
// costs over Qt.
//
// - BM_StartUp: from exec to the main window being mapped, for the
//   application (quv-taqo-control), the bare program and the bare program
//   with --raster, started in turn, each round in another order, after one
//   round to warm the caches. Reported: the median of each (app_ms, bare_ms,
//   bare_raster_ms) and the median of the rounds' ratios (ratio, the target,
//   1.5 at most; ratio_raster).
// - BM_IdleEightCameras: the memory of a process at idle, resident (RSS) and
//   proportional (PSS, shared pages divided among the processes that map
//   them), from /proc/<pid>/smaps_rollup: the main window with eight simulated
//   cameras placed (quv-bench-window: the application whose scans find the
//   simulators' lines), the two bare programs, and the application executable
//   itself, which finds no camera here. added_rss_mb is the window's RSS over
//   the bare program's (the target is 10 MB at most), added_rss_raster_mb over
//   the bare program's with --raster; cpu_percent is the window's share of one
//   core at idle with the eight cameras.
// - BM_TickEightCameras: one 100 ms tick of the shown main window with eight
//   cameras placed, the selected camera's zoom, focus, shutter and gain
//   changed in its cache before the tick, including the repaint of the
//   status labels that changed (tick_us, with labels_repainted per tick);
//   beside it the same tick when nothing changed (unchanged_us).

#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "xserver.h"

#include "camsim.h"
#include "quvtest.h"
#include "testwindow.h"

#include <algorithm>
#include <memory>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using benchx::Clock;
using quvtest::CamSim;

namespace {

constexpr int kRounds = 15;
constexpr int kMapLimitMs = 30000;
constexpr int kPlaceLimitMs = 60000;
// After the cameras are placed the panes re-read for a few seconds; idle starts after that.
constexpr int kSettleMs = 4000;
constexpr int kIdleSampleMs = 5000;
// The application's first scan starts 500 ms after its window shows.
constexpr int kAppIdleMs = 3000;
constexpr int kBareIdleMs = 2000;

benchx::Xserver* s_server = nullptr;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples.at(samples.size() / 2);
}

bool skipWithoutServer(benchmark::State& state)
{
    if (s_server->isRunning())
        return false;
    state.SkipWithError(qPrintable(QStringLiteral("skipped: %1").arg(s_server->error())));
    return true;
}

// The programs compared, with their arguments.
struct Program
{
    const char* name;
    const char* path;
    QStringList arguments;
};
const Program kApp { "app", QUV_APP_PROGRAM, {} };
const Program kBare { "bare", QUV_BARE_PROGRAM, {} };
const Program kBareRaster { "bare_raster", QUV_BARE_PROGRAM, { QStringLiteral("--raster") } };

// From exec to the program's first top-level window mapped, in ms; -1 when it never maps one.
double startToMap(benchx::XWatch& watch, const Program& program)
{
    benchx::Child child;
    watch.drain();
    const Clock::time_point start = Clock::now();
    Clock::time_point mapped;
    if (!child.start(QString::fromLocal8Bit(program.path), program.arguments, {})
        || !watch.waitForMap(kMapLimitMs, &mapped))
        return -1;
    child.stop();
    watch.sync();
    return ms(mapped - start);
}

// The application, the bare program and the bare program drawing like the
// application (no OpenGL), started in turn, each round in another order.
void BM_StartUp(benchmark::State& state)
{
    if (skipWithoutServer(state))
        return;
    benchx::XWatch watch(s_server->display());
    const Program* programs[] = { &kApp, &kBare, &kBareRaster };
    std::vector<double> times[3];
    std::vector<double> ratios;
    std::vector<double> rasterRatios;
    for (auto _ : state) {
        for (int round = -1; round < kRounds; ++round) {
            double time[3];
            for (int i = 0; i < 3; ++i) {
                const int which = (i + std::max(round, 0)) % 3;
                time[which] = startToMap(watch, *programs[which]);
                if (time[which] < 0)
                    return state.SkipWithError("a program did not map its window");
            }
            if (round < 0)
                continue; // caches warmed
            for (int i = 0; i < 3; ++i)
                times[i].push_back(time[i]);
            ratios.push_back(time[0] / time[1]);
            rasterRatios.push_back(time[0] / time[2]);
        }
        state.SetIterationTime(median(times[0]) / 1000);
    }
    state.counters["app_ms"] = median(times[0]);
    state.counters["bare_ms"] = median(times[1]);
    state.counters["ratio"] = median(ratios);
    state.counters["bare_raster_ms"] = median(times[2]);
    state.counters["ratio_raster"] = median(rasterRatios);
    state.counters["rounds"] = double(ratios.size());
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// User plus system CPU time of a process, in clock ticks.
long cpuTicks(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLong() + fields.at(12).toLong() : -1;
}

std::vector<std::unique_ptr<CamSim>> eightCameras(QStringList& paths)
{
    std::vector<std::unique_ptr<CamSim>> sims;
    for (int i = 0; i < 8; ++i) {
        sims.push_back(std::make_unique<CamSim>());
        sims.back()->setWord(quvtest::hexBytes("04 22"), uint16_t(i));
        paths.append(sims.back()->devicePath());
    }
    return sims;
}

// Starts program, waits for its window and then idle_ms, and takes its memory.
bool idleMemory(benchx::XWatch& watch, const Program& program, int idle_ms, double* rss, double* pss)
{
    benchx::Child child;
    watch.drain();
    Clock::time_point mapped;
    if (!child.start(QString::fromLocal8Bit(program.path), program.arguments, {})
        || !watch.waitForMap(kMapLimitMs, &mapped))
        return false;
    QTest::qSleep(idle_ms);
    return benchx::memoryMegabytes(child.pid(), rss, pss);
}

void BM_IdleEightCameras(benchmark::State& state)
{
    if (skipWithoutServer(state))
        return;
    benchx::XWatch watch(s_server->display());
    QStringList paths;
    const auto sims = eightCameras(paths);
    for (auto _ : state) {
        benchx::Child window;
        if (!window.start(QString::fromLocal8Bit(QUV_WINDOW_PROGRAM), paths, {}, true)
            || !window.waitForLine("placed", kPlaceLimitMs))
            return state.SkipWithError("the cameras were not placed");
        QTest::qSleep(kSettleMs);
        const long before = cpuTicks(window.pid());
        QTest::qSleep(kIdleSampleMs);
        const long after = cpuTicks(window.pid());
        double windowRss = 0, windowPss = 0, bareRss = 0, barePss = 0, rasterRss = 0, rasterPss = 0, appRss = 0,
               appPss = 0;
        if (!benchx::memoryMegabytes(window.pid(), &windowRss, &windowPss))
            return state.SkipWithError("cannot read the window's memory");
        window.stop();
        if (!idleMemory(watch, kBare, kBareIdleMs, &bareRss, &barePss)
            || !idleMemory(watch, kBareRaster, kBareIdleMs, &rasterRss, &rasterPss)
            || !idleMemory(watch, kApp, kAppIdleMs, &appRss, &appPss))
            return state.SkipWithError("a program did not show its window");
        state.counters["window_rss_mb"] = windowRss;
        state.counters["window_pss_mb"] = windowPss;
        state.counters["bare_rss_mb"] = bareRss;
        state.counters["bare_pss_mb"] = barePss;
        state.counters["added_rss_mb"] = windowRss - bareRss;
        state.counters["bare_raster_rss_mb"] = rasterRss;
        state.counters["bare_raster_pss_mb"] = rasterPss;
        state.counters["added_rss_raster_mb"] = windowRss - rasterRss;
        state.counters["app_rss_mb"] = appRss;
        state.counters["app_pss_mb"] = appPss;
        state.counters["cpu_percent"]
            = double(after - before) / double(sysconf(_SC_CLK_TCK)) / (kIdleSampleMs / 1000.0) * 100.0;
    }
}
BENCHMARK(BM_IdleEightCameras)->Iterations(1)->Unit(benchmark::kSecond);

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void BM_TickEightCameras(benchmark::State& state)
{
    QStringList paths;
    const auto sims = eightCameras(paths);
    apptest::TestWindow window;
    for (const QString& path : paths)
        window.ports.append(SerialPortDesc::forDevicePath(path));
    window.m_updateTimer.stop(); // the benchmark ticks
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !window.scan() || window.m_deviceSet->deviceSetCount() != 8)
        return state.SkipWithError("the cameras were not placed");
    quvtest::clock_ms += 60000; // every re-read window of the panes is over
    window.slot_updateTimer();
    QTest::qWait(200);
    PaintCounter counter;
    for (QLabel* label : { window.m_formatLabel, window.m_colorSpaceLabel, window.m_eptzLabel, window.m_joystickLabel,
             window.m_apertGainLabel, window.m_shutterLabel, window.m_focusLabel, window.m_zoomLabel })
        label->installEventFilter(&counter);
    DeviceInterface* device = window.m_deviceSet->get();
    const auto tick = [&window] {
        const Clock::time_point start = Clock::now();
        window.slot_updateTimer();
        // The labels that changed asked for a repaint; this is it, up to the window's backing store handed to
        // the platform.
        QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
        return ms(Clock::now() - start);
    };
    std::vector<double> changed;
    std::vector<double> unchanged;
    int round = 0;
    for (auto _ : state) {
        ++round;
        device->viscaSet(ViscaMsg::ZoomValue, round % 2 ? 0x1000 : 0x2000, 0);
        device->viscaSet(ViscaMsg::FocusValue, round % 2 ? 0x3000 : 0x4000, 0);
        device->viscaSet(ViscaMsg::Shutter, round % 2 ? 0x05 : 0x0A, 0);
        device->viscaSet(ViscaMsg::Gain, round % 2 ? 0x02 : 0x04, 0);
        changed.push_back(tick());
        unchanged.push_back(tick());
        state.SetIterationTime(changed.back() / 1000);
    }
    state.counters["tick_us"] = median(changed) * 1000;
    state.counters["unchanged_us"] = median(unchanged) * 1000;
    state.counters["labels_repainted"] = double(counter.paints) / double(changed.size());
    state.SetLabel(QGuiApplication::platformName().toStdString());
}
BENCHMARK(BM_TickEightCameras)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // The programs store their preferences: keep them away from the user's.
    QTemporaryDir config;
    QTemporaryDir runtime;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    benchx::Xserver server;
    s_server = &server;
    // The programs started inherit the display; this process shows its own window there too.
    benchx::useDisplayOf(server);
    // The window's diagnostics would interleave with the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    apptest::AppApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));
    // Only the benchmark scans and ticks: the countdown armed at start never runs out by itself.
    paneclock::setSourceForTesting(quvtest::steppedClock);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
