// Costs of the base library's hot paths: a debug-log report (written, and
// masked out), the lock taken without contention, and the clocks. The log
// runs on a segment of this run, unlinked at the end.

#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"
#include "quvbase/system/quvlog_p.h"
#include "quvbase/system/quvtime.h"

namespace {

const std::string& segmentName()
{
    static const std::string name = "quvbench-" + std::to_string(getpid()) + "-log";
    return name;
}

// Opens the run's own log as a viewer would: one client reference, unit 0 on.
void openLog()
{
    quvlog_internal::setSegmentName(segmentName().c_str());
    QUVDebug::Open(false);
    QUVDebug::SetClientReferenceCount(1);
    QUVDebug::SetDestination(0, 1);
    QUVDebug::SetDestination(1, 0);
}

void BM_ReportWritten(benchmark::State& state)
{
    openLog();
    int i = 0;
    for (auto _ : state)
        QUVDebug::Report(0, 6, __FILE__, __LINE__, "message %d", ++i);
}
BENCHMARK(BM_ReportWritten)->Threads(1)->Threads(4);

void BM_ReportMaskedOut(benchmark::State& state)
{
    openLog();
    for (auto _ : state)
        QUVDebug::Report(1, 6, __FILE__, __LINE__, "masked %d", 1);
}
BENCHMARK(BM_ReportMaskedOut);

void BM_LockUncontended(benchmark::State& state)
{
    QUVLock lock("bench");
    for (auto _ : state) {
        lock.Lock(QUV_LOCK_WAIT_FOREVER);
        lock.Unlock();
    }
}
BENCHMARK(BM_LockUncontended);

void BM_LockRecursive(benchmark::State& state)
{
    QUVLock lock("bench");
    lock.Lock(QUV_LOCK_WAIT_FOREVER);
    for (auto _ : state) {
        QUVAutoLock guard(&lock);
        benchmark::DoNotOptimize(&guard);
    }
    lock.Unlock();
}
BENCHMARK(BM_LockRecursive);

void BM_SystemMilliseconds(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QUVTime::GetSystemMilliseconds());
}
BENCHMARK(BM_SystemMilliseconds);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    QUVDebug::Close(false);
    shm_unlink(("/" + segmentName()).c_str());
    return 0;
}
