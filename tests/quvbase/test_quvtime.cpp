// Clocks, stopwatch, atomics and process functions of the base library.

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "quvtest.h"

#include "quvbase/system/quvatomic.h"
#include "quvbase/system/quvprocess.h"
#include "quvbase/system/quvtime.h"

namespace {

uint64_t monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

std::atomic<int> s_signalsCaught { 0 };

void countSignal(int)
{
    s_signalsCaught.fetch_add(1);
}

// Places the stopwatch's readings where a test needs them.
class PlacedTimer : public QUVTimer
{
public:
    using QUVTimer::QUVTimer;

    void place(uint64_t start, uint64_t stop, bool running)
    {
        m_start = start;
        m_stop = stop;
        m_running = running;
    }
};

} // namespace

Q_DECLARE_METATYPE(QUVTimerPrecision)

class TestQuvTime : public QObject
{
    Q_OBJECT

private slots:
    void clocksFollowTheMonotonicClock();
    void sleeps();
    void stoppedTimerIsFrozen();
    void elapsedWrapsModulo32Bits_data();
    void elapsedWrapsModulo32Bits();
    void atomicReturnRules();
    void atomicsUnderContention();
    void process();
};

void TestQuvTime::clocksFollowTheMonotonicClock()
{
    QCOMPARE(QUVTime::GetSystemFrequency(), uint64_t(1000000000));

    const uint64_t before = monotonicNs();
    const uint64_t counter = QUVTime::GetSystemCounter();
    const uint64_t time = QUVTime::GetSystemTime();
    const uint64_t ns = QUVTime::GetSystemNanoseconds();
    const uint64_t us = QUVTime::GetSystemMicroseconds();
    const uint64_t ms = QUVTime::GetSystemMilliseconds();
    const uint64_t after = monotonicNs();

    QVERIFY(counter >= before && counter <= after);
    QVERIFY(time >= before && time <= after);
    // The unit conversions go through a double: allow one unit of rounding.
    QVERIFY(ns + 1 >= before && ns <= after + 1);
    QVERIFY(us + 1 >= before / 1000 && us <= after / 1000 + 1);
    QVERIFY(ms + 1 >= before / 1000000 && ms <= after / 1000000 + 1);
}

void TestQuvTime::sleeps()
{
    uint64_t start = monotonicNs();
    QUVTime::SleepInMicroseconds(3000);
    QVERIFY(monotonicNs() - start >= 3000000u);

    // Negative durations sleep 0; a generous bound only guards against a
    // negative value read as a huge unsigned one.
    start = monotonicNs();
    QUVTime::Sleep(-5);
    QUVTime::SleepInMicroseconds(-5);
    QVERIFY(monotonicNs() - start < 5000000000u);

    // A signal cuts the system's sleep short; the sleep goes on for the time
    // left. The sleeper is interrupted every millisecond until it wakes.
    struct sigaction handler = {};
    handler.sa_handler = countSignal;
    sigemptyset(&handler.sa_mask);
    struct sigaction previous = {};
    QCOMPARE(sigaction(SIGUSR2, &handler, &previous), 0);
    std::atomic<bool> awake { false };
    std::atomic<uint64_t> sleptNs { 0 };
    std::thread sleeper([&] {
        const uint64_t begin = monotonicNs();
        QUVTime::Sleep(300);
        sleptNs.store(monotonicNs() - begin);
        awake.store(true);
    });
    const uint64_t deadline = monotonicNs() + 30000000000u;
    while (!awake.load() && monotonicNs() < deadline) {
        pthread_kill(sleeper.native_handle(), SIGUSR2);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sleeper.join();
    sigaction(SIGUSR2, &previous, nullptr);
    QVERIFY(s_signalsCaught.load() > 0);
    QVERIFY(sleptNs.load() >= 300000000u);
}

void TestQuvTime::stoppedTimerIsFrozen()
{
    QUVTimer timer;
    QCOMPARE(timer.ElapsedTime(), 0u);
    QVERIFY(!timer.Timeout(1));
    timer.Start();
    QVERIFY(timer.IsRunning());
    QUVTime::Sleep(5);
    timer.Stop();
    QVERIFY(!timer.IsRunning());
    const uint32_t elapsed = timer.ElapsedTime();
    QVERIFY(elapsed >= 4); // the ms conversion may lose one unit at each end
    QUVTime::Sleep(2);
    QCOMPARE(timer.ElapsedTime(), elapsed);
    QVERIFY(timer.Timeout(elapsed));
    QVERIFY(!timer.Timeout(elapsed + 1));

    timer.Reset();
    QCOMPARE(timer.ElapsedTime(), 0u);
    QVERIFY(!timer.IsRunning());

    // An unknown precision is taken as milliseconds.
    QCOMPARE(QUVTimer::PrecisionName(QUVTimerPrecisionMicroseconds, true), std::string("microseconds"));
    QCOMPARE(QUVTimer::PrecisionName(QUVTimerPrecisionNanoseconds, false), std::string("ns"));
    QCOMPARE(QUVTimer::PrecisionName(QUVTimerPrecision(7), false), std::string("ms"));
    QCOMPARE(QUVTimer::PrecisionName(QUVTimerPrecision(-1), true), std::string("milliseconds"));
}

void TestQuvTime::elapsedWrapsModulo32Bits_data()
{
    QTest::addColumn<QUVTimerPrecision>("precision");
    QTest::addColumn<quint64>("start");
    QTest::addColumn<quint64>("stop");
    QTest::addColumn<uint>("elapsed");

    QTest::newRow("ms, across 2^32") << QUVTimerPrecisionMilliseconds << Q_UINT64_C(0xFFFFFFFB)
                                     << Q_UINT64_C(0x100000005) << 10u;
    QTest::newRow("ns, just under a full wrap")
        << QUVTimerPrecisionNanoseconds << Q_UINT64_C(0x500000000) << Q_UINT64_C(0x5FFFFFFFF) << 0xFFFFFFFFu;
    QTest::newRow("unknown precision as ms") << QUVTimerPrecision(7) << Q_UINT64_C(100) << Q_UINT64_C(350) << 250u;
}

void TestQuvTime::elapsedWrapsModulo32Bits()
{
    QFETCH(QUVTimerPrecision, precision);
    QFETCH(quint64, start);
    QFETCH(quint64, stop);
    QFETCH(uint, elapsed);

    PlacedTimer timer(precision);
    timer.place(start, stop, false);
    QCOMPARE(timer.ElapsedTime(), uint32_t(elapsed));
    QVERIFY(timer.Timeout(elapsed));
    QCOMPARE(timer.Timeout(elapsed + 1u), elapsed == 0xFFFFFFFFu);
}

void TestQuvTime::atomicReturnRules()
{
    // Signed and pointer exchanges give the value now stored, unsigned ones
    // the value replaced.
    int i = 3;
    QCOMPARE(QUVAtomic::Exchange(&i, 9), 9);
    unsigned int u = 3;
    QCOMPARE(QUVAtomic::Exchange(&u, 9u), 3u);
    long long ll = -3;
    QCOMPARE(QUVAtomic::Exchange(&ll, -9ll), -9ll);
    unsigned long long ull = 3;
    QCOMPARE(QUVAtomic::Exchange(&ull, 0x123456789ull), 3ull);
    QCOMPARE(ull, 0x123456789ull);
    int target = 0;
    void* p = nullptr;
    QCOMPARE(QUVAtomic::Exchange(&p, &target), static_cast<void*>(&target));

    // Increments and decrements give the new value; unsigned decrements wrap
    // the stored value but never return a value with the top bit set.
    QCOMPARE(QUVAtomic::Increment(&ull), 0x12345678Aull);
    i = -1;
    QCOMPARE(QUVAtomic::Increment(&i), 0);
    QCOMPARE(QUVAtomic::Decrement(&i), -1);
    u = 0;
    QCOMPARE(QUVAtomic::Decrement(&u), 0u);
    QCOMPARE(u, 0xFFFFFFFFu);
    u = 5;
    QCOMPARE(QUVAtomic::Decrement(&u), 4u);
    // Only the top bit clamps: an odd result comes back as it is.
    u = 4;
    QCOMPARE(QUVAtomic::Decrement(&u), 3u);
    ull = 4;
    QCOMPARE(QUVAtomic::Decrement(&ull), 3ull);
    ull = 0x8000000000000001ull;
    QCOMPARE(QUVAtomic::Decrement(&ull), 0ull);
    QCOMPARE(ull, 0x8000000000000000ull);
}

void TestQuvTime::atomicsUnderContention()
{
    constexpr int threads = 8;
    constexpr int rounds = 100000;
    // Each increment of the counter below is a split lock, which kernels with
    // split-lock detection slow down on purpose: the task sleeps about 10 ms
    // and such locks run one at a time machine-wide, so 4000 of them took
    // over 30 s on a busy machine. A few dozen still overlap the threads.
    constexpr int splitRounds = 8;
    int counter = 0;
    // A 64-bit counter at an offset of 4 mod 8, as the debug log's fixed
    // layout has them, placed across a cache-line boundary on purpose (as
    // every eighth record's sequence number lies): increments must stay whole.
    alignas(64) unsigned char buffer[128] = {};
    auto* misaligned = reinterpret_cast<unsigned long long volatile*>(buffer + 60);

    std::atomic<bool> go { false };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            for (int r = 0; r < rounds; ++r) {
                QUVAtomic::Increment(&counter);
                if (r < splitRounds)
                    QUVAtomic::Increment(misaligned);
            }
        });
    }
    go.store(true);
    for (std::thread& worker : workers)
        worker.join();
    QCOMPARE(counter, threads * rounds);
    QCOMPARE(QUVAtomic::Exchange(misaligned, 0ull), static_cast<unsigned long long>(threads * splitRounds));
    // The bytes around it are untouched.
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), 60).count('\0'), 60);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer) + 68, 60).count('\0'), 60);
}

void TestQuvTime::process()
{
    QCOMPARE(QUVProcess::GetPid(), uint64_t(getpid()));
    QVERIFY(QUVProcess::IsValid(QUVProcess::GetPid()));

    // kill() reads these as "my process group" and "every process": no
    // process has such an id.
    QVERIFY(!QUVProcess::IsValid(0));
    QVERIFY(!QUVProcess::IsValid(0xFFFFFFFFu));
    QVERIFY(!QUVProcess::IsValid(uint64_t(INT_MAX) + 1));
    QVERIFY(!QUVProcess::IsValid(UINT64_MAX));

    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0)
        _exit(0);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(!QUVProcess::IsValid(uint64_t(child)));
}

QUV_TEST_MAIN(TestQuvTime)
#include "test_quvtime.moc"
