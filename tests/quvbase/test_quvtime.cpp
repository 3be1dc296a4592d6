// Clocks, stopwatch, atomics and process functions of the base library.

#include <atomic>
#include <climits>
#include <cstdint>
#include <ctime>
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
    uint64_t start() const { return m_start; }
    uint64_t current() const { return now(); }
};

} // namespace

Q_DECLARE_METATYPE(QUVTimerPrecision)

class TestQuvTime : public QObject
{
    Q_OBJECT

private slots:
    void clocksFollowTheMonotonicClock();
    void clocksNeverDecrease();
    void sleeps();
    void idleTimer();
    void stoppedTimerIsFrozen();
    void startRestartsFromNow();
    void elapsedWrapsModulo32Bits_data();
    void elapsedWrapsModulo32Bits();
    void runningNanosecondTimerWraps();
    void precisionNames_data();
    void precisionNames();
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

void TestQuvTime::clocksNeverDecrease()
{
    uint64_t lastMs = QUVTime::GetSystemMilliseconds();
    uint64_t lastUs = QUVTime::GetSystemMicroseconds();
    uint64_t lastNs = QUVTime::GetSystemNanoseconds();
    for (int i = 0; i < 10000; ++i) {
        const uint64_t ms = QUVTime::GetSystemMilliseconds();
        const uint64_t us = QUVTime::GetSystemMicroseconds();
        const uint64_t ns = QUVTime::GetSystemNanoseconds();
        QVERIFY(ms >= lastMs);
        QVERIFY(us >= lastUs);
        QVERIFY(ns >= lastNs);
        lastMs = ms;
        lastUs = us;
        lastNs = ns;
    }
}

void TestQuvTime::sleeps()
{
    uint64_t start = monotonicNs();
    QUVTime::Sleep(20);
    QVERIFY(monotonicNs() - start >= 20000000u);

    start = monotonicNs();
    QUVTime::SleepInMicroseconds(3000);
    QVERIFY(monotonicNs() - start >= 3000000u);

    // Negative durations sleep 0; a generous bound only guards against a
    // negative value read as a huge unsigned one.
    start = monotonicNs();
    QUVTime::Sleep(-5);
    QUVTime::SleepInMicroseconds(-5);
    QUVTime::Sleep(0);
    QVERIFY(monotonicNs() - start < 5000000000u);
}

void TestQuvTime::idleTimer()
{
    QUVTimer timer(QUVTimerPrecisionMicroseconds);
    QCOMPARE(timer.ElapsedTime(), 0u);
    QVERIFY(timer.Timeout(0));
    QVERIFY(!timer.Timeout(1));
    QVERIFY(!timer.IsRunning());
    QCOMPARE(timer.Precision(), QUVTimerPrecisionMicroseconds);

    QUVTimer defaultTimer;
    QCOMPARE(defaultTimer.Precision(), QUVTimerPrecisionMilliseconds);
}

void TestQuvTime::stoppedTimerIsFrozen()
{
    QUVTimer timer(QUVTimerPrecisionMilliseconds);
    timer.Start();
    QVERIFY(timer.IsRunning());
    QUVTime::Sleep(5);
    timer.Stop();
    QVERIFY(!timer.IsRunning());
    const uint32_t elapsed = timer.ElapsedTime();
    QVERIFY(elapsed >= 4); // the ms conversion may lose one unit at each end
    QUVTime::Sleep(2);
    QCOMPARE(timer.ElapsedTime(), elapsed);
    QCOMPARE(timer.ElapsedTime(), elapsed);
    QVERIFY(timer.Timeout(elapsed));
    QVERIFY(!timer.Timeout(elapsed + 1));

    timer.Reset();
    QCOMPARE(timer.ElapsedTime(), 0u);
    QVERIFY(!timer.IsRunning());
    QCOMPARE(timer.Precision(), QUVTimerPrecisionMilliseconds);
}

void TestQuvTime::startRestartsFromNow()
{
    PlacedTimer timer(QUVTimerPrecisionMicroseconds);
    timer.place(1, 0, true);
    const uint64_t before = timer.current();
    timer.Start();
    QVERIFY(timer.start() >= before);
    QVERIFY(timer.IsRunning());

    // Stop on a stopped timer moves the stop time to now.
    timer.place(before, before, false);
    timer.Stop();
    QVERIFY(timer.ElapsedTime() < 60000000u);
}

void TestQuvTime::elapsedWrapsModulo32Bits_data()
{
    QTest::addColumn<QUVTimerPrecision>("precision");
    QTest::addColumn<quint64>("start");
    QTest::addColumn<quint64>("stop");
    QTest::addColumn<uint>("elapsed");

    QTest::newRow("ms, across 2^32") << QUVTimerPrecisionMilliseconds << Q_UINT64_C(0xFFFFFFFB)
                                     << Q_UINT64_C(0x100000005) << 10u;
    QTest::newRow("us, across 2^33") << QUVTimerPrecisionMicroseconds << Q_UINT64_C(0x1FFFFFFF0)
                                     << Q_UINT64_C(0x200000010) << 0x20u;
    QTest::newRow("ns, just under a full wrap")
        << QUVTimerPrecisionNanoseconds << Q_UINT64_C(0x500000000) << Q_UINT64_C(0x5FFFFFFFF) << 0xFFFFFFFFu;
    QTest::newRow("ns, a full wrap reads 0")
        << QUVTimerPrecisionNanoseconds << Q_UINT64_C(0x500000000) << Q_UINT64_C(0x600000000) << 0u;
    QTest::newRow("ns, 5 s") << QUVTimerPrecisionNanoseconds << Q_UINT64_C(1000) << Q_UINT64_C(5000001000)
                             << 705032704u;
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

void TestQuvTime::runningNanosecondTimerWraps()
{
    // A nanosecond timer that has run 5 s reads about 0.7 s.
    PlacedTimer timer(QUVTimerPrecisionNanoseconds);
    timer.place(timer.current() - 5000000000u, 0, true);
    const uint32_t elapsed = timer.ElapsedTime();
    QVERIFY(elapsed >= 705032704u);
    QVERIFY(elapsed < 705032704u + 3500000000u);
}

void TestQuvTime::precisionNames_data()
{
    QTest::addColumn<int>("precision");
    QTest::addColumn<bool>("longName");
    QTest::addColumn<QString>("name");

    QTest::newRow("0 long") << 0 << true << "milliseconds";
    QTest::newRow("1 long") << 1 << true << "microseconds";
    QTest::newRow("2 long") << 2 << true << "nanoseconds";
    QTest::newRow("7 long") << 7 << true << "milliseconds";
    QTest::newRow("-1 long") << -1 << true << "milliseconds";
    QTest::newRow("0 short") << 0 << false << "ms";
    QTest::newRow("1 short") << 1 << false << "us";
    QTest::newRow("2 short") << 2 << false << "ns";
    QTest::newRow("7 short") << 7 << false << "ms";
}

void TestQuvTime::precisionNames()
{
    QFETCH(int, precision);
    QFETCH(bool, longName);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(QUVTimer::PrecisionName(QUVTimerPrecision(precision), longName)), name);
}

void TestQuvTime::atomicReturnRules()
{
    // Signed and pointer exchanges give the value now stored, unsigned ones
    // the value replaced.
    int i = 3;
    QCOMPARE(QUVAtomic::Exchange(&i, 9), 9);
    QCOMPARE(i, 9);
    unsigned int u = 3;
    QCOMPARE(QUVAtomic::Exchange(&u, 9u), 3u);
    QCOMPARE(u, 9u);
    long long ll = -3;
    QCOMPARE(QUVAtomic::Exchange(&ll, -9ll), -9ll);
    QCOMPARE(ll, -9ll);
    unsigned long long ull = 3;
    QCOMPARE(QUVAtomic::Exchange(&ull, 0x123456789ull), 3ull);
    QCOMPARE(ull, 0x123456789ull);
    int target = 0;
    void* p = nullptr;
    QCOMPARE(QUVAtomic::Exchange(&p, &target), static_cast<void*>(&target));
    QCOMPARE(p, static_cast<void*>(&target));

    // Increments and decrements give the new value.
    i = -1;
    QCOMPARE(QUVAtomic::Increment(&i), 0);
    QCOMPARE(QUVAtomic::Decrement(&i), -1);
    QCOMPARE(QUVAtomic::Decrement(&i), -2);
    i = INT_MAX;
    QCOMPARE(QUVAtomic::Increment(&i), INT_MIN);
    ll = 0;
    QCOMPARE(QUVAtomic::Decrement(&ll), -1ll);
    QCOMPARE(QUVAtomic::Increment(&ll), 0ll);

    // Unsigned decrements wrap the stored value but never return a value with
    // the top bit set.
    u = 0;
    QCOMPARE(QUVAtomic::Decrement(&u), 0u);
    QCOMPARE(u, 0xFFFFFFFFu);
    QCOMPARE(QUVAtomic::Increment(&u), 0u);
    u = 0x80000001u;
    QCOMPARE(QUVAtomic::Decrement(&u), 0u);
    QCOMPARE(u, 0x80000000u);
    u = 5;
    QCOMPARE(QUVAtomic::Decrement(&u), 4u);
    ull = 0;
    QCOMPARE(QUVAtomic::Decrement(&ull), 0ull);
    QCOMPARE(ull, 0xFFFFFFFFFFFFFFFFull);
    QCOMPARE(QUVAtomic::Increment(&ull), 0ull);
    ull = 0x8000000000000001ull;
    QCOMPARE(QUVAtomic::Decrement(&ull), 0ull);
    ull = 7;
    QCOMPARE(QUVAtomic::Decrement(&ull), 6ull);
}

void TestQuvTime::atomicsUnderContention()
{
    constexpr int threads = 8;
    constexpr int rounds = 100000;
    // Each increment of the counter below is a split lock, which kernels with
    // split-lock detection slow down on purpose (by some milliseconds each):
    // fewer of them, all at once.
    constexpr int splitRounds = 500;
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
    QUVProcess owner;
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

    QVERIFY(!QUVProcess::Activate(QUVProcess::GetPid()));
    QVERIFY(!QUVProcess::Activate("anything"));
}

QUV_TEST_MAIN(TestQuvTime)
#include "test_quvtime.moc"
