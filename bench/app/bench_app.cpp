// The application's costs:
// - start-up: from process start until the main window is shown, against a
//   bare Qt program that shows one empty dialog, measured in the same run;
// - idle: CPU share of one core and resident memory of the whole process
//   while it sits with eight simulated cameras placed;
// - one 100 ms tick with eight cameras (status strip from the cache).
// The programs measured are this executable started again in a child mode,
// so that each runs in a process of its own as the application does.

#include "app/appstyle.h"
#include "app/mainwindow.h"
#include "device/deviceset.h"
#include "quvapp/quvapplication.h"
#include "quvbase/system/quvlog.h"

#include "camsim.h"

#include <chrono>
#include <memory>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

constexpr int kPlaceLimitMs = 60000;
// After placing, the panes re-read for a few seconds; idle starts after that.
constexpr int kSettleMs = 4000;
constexpr int kIdleSampleMs = 10000;

QString s_self;

// The main window with the ports it scans given on the command line.
class BenchWindow : public MainWindow
{
public:
    explicit BenchWindow(const QStringList& paths)
        : m_paths(paths)
    { }
    bool placed() const
    {
        return m_deviceSet->deviceSetCount() == m_paths.size() && m_deviceSet->processingCount() == 0;
    }

protected:
    QList<SerialPortDesc> serialPorts() override
    {
        QList<SerialPortDesc> ports;
        for (const QString& path : m_paths)
            ports.append(SerialPortDesc::forDevicePath(path));
        return ports;
    }

private:
    QStringList m_paths;
};

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// The application as main() starts it, up to the window shown; with ports,
// it then waits until they are placed and idles until killed.
int runApplication(int argc, char** argv, const QStringList& paths)
{
    QUVLog log;
    QuvApplication application(argc, argv, QuvStyleLookSlate);
    application.setStyleSheet(applicationStyleSheet(application.getStyleSheet()));
    BenchWindow window(paths);
    window.show();
    say("shown");
    if (paths.isEmpty())
        return 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.placed()) {
            poll.stop();
            say("placed");
        }
    });
    poll.start(50);
    return application.exec();
}

int runDialog(int argc, char** argv)
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    say("shown");
    return 0;
}

// Starts this program in a child mode and waits for the line; -1 on failure.
double startChild(QProcess& child, const QStringList& arguments, const char* line, int timeout_ms)
{
    QElapsedTimer clock;
    clock.start();
    child.start(s_self, arguments);
    while (clock.elapsed() < timeout_ms) {
        if (child.canReadLine() || child.waitForReadyRead(10)) {
            if (child.readLine().trimmed() == line)
                return double(clock.nsecsElapsed()) / 1e6;
        }
        if (child.state() == QProcess::NotRunning)
            break;
    }
    return -1;
}

void BM_StartUp(benchmark::State& state)
{
    double window_ms = 0;
    double dialog_ms = 0;
    for (auto _ : state) {
        QProcess window;
        QProcess dialog;
        const double windowTime = startChild(window, { QStringLiteral("--child=window") }, "shown", 30000);
        const double dialogTime = startChild(dialog, { QStringLiteral("--child=dialog") }, "shown", 30000);
        window.waitForFinished();
        dialog.waitForFinished();
        if (windowTime < 0 || dialogTime < 0) {
            state.SkipWithError("a child did not show its window");
            return;
        }
        window_ms += windowTime;
        dialog_ms += dialogTime;
        state.SetIterationTime(windowTime / 1000);
    }
    state.counters["window_ms"] = window_ms / double(state.iterations());
    state.counters["dialog_ms"] = dialog_ms / double(state.iterations());
    state.counters["ratio"] = window_ms / dialog_ms;
}
BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// User plus system CPU time of a process, in clock ticks.
long cpuTicks(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields.at(11).toLong() + fields.at(12).toLong() : -1;
}

double residentMegabytes(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

std::vector<std::unique_ptr<quvtest::CamSim>> eightCameras(QStringList& paths)
{
    std::vector<std::unique_ptr<quvtest::CamSim>> sims;
    for (int i = 0; i < 8; ++i) {
        sims.push_back(std::make_unique<quvtest::CamSim>());
        sims.back()->setWord(quvtest::hexBytes("04 22"), uint16_t(i));
        paths.append(sims.back()->devicePath());
    }
    return sims;
}

void BM_IdleEightCameras(benchmark::State& state)
{
    QStringList paths;
    const auto sims = eightCameras(paths);
    for (auto _ : state) {
        QProcess child;
        if (startChild(child, QStringList { QStringLiteral("--child=idle") } + paths, "placed", kPlaceLimitMs) < 0) {
            state.SkipWithError("the cameras were not placed");
            return;
        }
        QTest::qSleep(kSettleMs);
        const long before = cpuTicks(child.processId());
        QTest::qSleep(kIdleSampleMs);
        const long after = cpuTicks(child.processId());
        state.counters["cpu_percent"] = double(after - before) / double(sysconf(_SC_CLK_TCK))
            / (kIdleSampleMs / 1000.0) * 100.0;
        state.counters["rss_mb"] = residentMegabytes(child.processId());
        child.kill();
        child.waitForFinished();
    }
}
BENCHMARK(BM_IdleEightCameras)->Iterations(1)->Unit(benchmark::kSecond);

void BM_TickEightCameras(benchmark::State& state)
{
    QStringList paths;
    const auto sims = eightCameras(paths);
    BenchWindow window(paths);
    window.rescan(true);
    if (!QTest::qWaitFor([&] { return window.placed(); }, kPlaceLimitMs)) {
        state.SkipWithError("the cameras were not placed");
        return;
    }
    QTest::qWait(kSettleMs);
    for (auto _ : state)
        window.slot_updateTimer();
}
BENCHMARK(BM_TickEightCameras)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    // The window stores its preferences: keep them away from the user's own.
    // No display and no message bus are needed.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent");
    // The application's diagnostics would interleave with the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));

    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("--child=window"))
        return runApplication(1, argv, {});
    if (mode == QLatin1String("--child=dialog"))
        return runDialog(1, argv);
    if (mode == QLatin1String("--child=idle")) {
        QStringList paths;
        for (int i = 2; i < argc; ++i)
            paths.append(QString::fromLocal8Bit(argv[i]));
        return runApplication(1, argv, paths);
    }

    QuvApplication application(argc, argv, QuvStyleLookSlate);
    s_self = QCoreApplication::applicationFilePath();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
