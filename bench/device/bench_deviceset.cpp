// Time for the camera set to place its cameras: from deviceSetCreate until
// the last marker has been handled, for one camera and for eight cameras
// created together, each on its own simulated line. Every camera has its own
// worker thread, so eight should take little longer than one; what they share
// is the set's own thread, which reads each camera's ID when its marker
// arrives. "paced" runs the simulated lines at 9600 baud, as a real line is;
// unpaced simulators answer at once and show the cost of the threads alone.

#include "device/deviceset.h"

#include "camsim.h"

#include <chrono>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// A camera that is never placed ends the wait here (ms).
constexpr int kPlaceLimitMs = 60000;

void BM_PlaceCameras(benchmark::State& state)
{
    const int count = int(state.range(0));
    const bool paced = state.range(1) != 0;

    for (auto _ : state) {
        std::vector<std::unique_ptr<quvtest::CamSim>> sims;
        QList<SerialPortDesc> ports;
        for (int i = 0; i < count; ++i) {
            sims.push_back(std::make_unique<quvtest::CamSim>());
            sims.back()->setWord(quvtest::hexBytes("04 22"), uint16_t(i));
            sims.back()->setPacing(paced);
            ports.append(SerialPortDesc::forDevicePath(sims.back()->devicePath(), QStringLiteral("SN%1").arg(i)));
        }
        QObject parent;
        DeviceSet set(&parent);
        QEventLoop loop;
        QObject::connect(&set, &DeviceSet::sig_deviceChanged, &loop, [&] {
            if (set.processingCount() == 0)
                loop.quit();
        });
        QTimer::singleShot(kPlaceLimitMs, &loop, &QEventLoop::quit);

        const auto start = std::chrono::steady_clock::now();
        set.deviceSetCreate(ports, false);
        loop.exec();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

        if (set.deviceSetCount() != count || set.processingCount() != 0) {
            state.SkipWithError("not every camera was placed");
            break;
        }
        state.SetIterationTime(elapsed.count());
    }
}
BENCHMARK(BM_PlaceCameras)
    ->ArgNames({ "cameras", "paced" })
    ->Args({ 1, 1 })
    ->Args({ 8, 1 })
    ->Args({ 1, 0 })
    ->Args({ 8, 0 })
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The set reads and writes the selected slot: keep that away from the
    // user's own preferences.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
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
