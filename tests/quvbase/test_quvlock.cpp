// The recursive timed lock. Built twice: in the normal test run and under
// ThreadSanitizer, so its threads synchronise only through the lock itself
// and std primitives (no Qt threads).

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "quvtest.h"

#include "quvbase/system/quvlock.h"

namespace {

uint64_t monotonicMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

// A thread that runs one call at a time on behalf of the test, so that a
// test can say which thread does what and in which order.
class Worker
{
public:
    Worker()
        : m_thread([this] { run(); })
    { }
    ~Worker()
    {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    QUVStatus call(std::function<QUVStatus()> job)
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_job = std::move(job);
        m_done = false;
        m_wake.notify_all();
        m_wake.wait(guard, [this] { return m_done; });
        return m_result;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        for (;;) {
            m_wake.wait(guard, [this] { return m_quit || m_job; });
            if (m_quit)
                return;
            std::function<QUVStatus()> job = std::move(m_job);
            m_job = nullptr;
            guard.unlock();
            const QUVStatus result = job();
            guard.lock();
            m_result = result;
            m_done = true;
            m_wake.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<QUVStatus()> m_job;
    QUVStatus m_result = QUV_STATUS_SUCCESS;
    bool m_done = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace

class TestQuvLock : public QObject
{
    Q_OBJECT

private slots:
    void recursionAndOwnership();
    void timeouts();
    void contention();
};

void TestQuvLock::recursionAndOwnership()
{
    QUVLock lock("ownership");
    QVERIFY(lock.IsValid());
    Worker owner;
    Worker other;

    for (int i = 0; i < 3; ++i)
        QCOMPARE(owner.call([&] { return lock.Lock(1000); }), QUV_STATUS_SUCCESS);
    QCOMPARE(other.call([&] { return lock.Lock(0); }), QUV_STATUS_TIMEOUT);

    // Someone else's Unlock fails and leaves the owner's hold intact.
    QCOMPARE(other.call([&] { return lock.Unlock(); }), QUV_STATUS_FAIL);
    QCOMPARE(lock.Unlock(), QUV_STATUS_FAIL);
    QCOMPARE(other.call([&] { return lock.Lock(0); }), QUV_STATUS_TIMEOUT);

    // Three locks need three unlocks; a fourth fails.
    QCOMPARE(owner.call([&] { return lock.Unlock(); }), QUV_STATUS_SUCCESS);
    QCOMPARE(owner.call([&] { return lock.Unlock(); }), QUV_STATUS_SUCCESS);
    QCOMPARE(other.call([&] { return lock.Lock(0); }), QUV_STATUS_TIMEOUT);
    QCOMPARE(owner.call([&] { return lock.Unlock(); }), QUV_STATUS_SUCCESS);
    QCOMPARE(owner.call([&] { return lock.Unlock(); }), QUV_STATUS_FAIL);

    QCOMPARE(other.call([&] { return lock.Lock(0); }), QUV_STATUS_SUCCESS);
    QCOMPARE(other.call([&] { return lock.Unlock(); }), QUV_STATUS_SUCCESS);

    // A lock nobody holds cannot be unlocked.
    QCOMPARE(lock.Unlock(), QUV_STATUS_FAIL);
}

void TestQuvLock::timeouts()
{
    QUVLock lock(nullptr);
    Worker holder;
    QCOMPARE(holder.call([&] { return lock.Lock(QUV_LOCK_WAIT_FOREVER); }), QUV_STATUS_SUCCESS);

    QCOMPARE(lock.Lock(0), QUV_STATUS_TIMEOUT);

    const uint64_t start = monotonicMs();
    QCOMPARE(lock.Lock(250), QUV_STATUS_TIMEOUT);
    QVERIFY(monotonicMs() - start >= 249);

    // A time-out leaves the lock not held by the waiter.
    QCOMPARE(lock.Unlock(), QUV_STATUS_FAIL);

    QCOMPARE(holder.call([&] { return lock.Unlock(); }), QUV_STATUS_SUCCESS);
    QCOMPARE(lock.Lock(0), QUV_STATUS_SUCCESS);
    QCOMPARE(lock.Unlock(), QUV_STATUS_SUCCESS);
}

void TestQuvLock::contention()
{
    // Plain (non-atomic) data guarded only by the lock: lost updates, or a
    // race under ThreadSanitizer, mean the lock (or its scoped holder, nested
    // here) does not exclude.
    {
        QUVAutoLock nothing(nullptr);
    }
    QUVLock lock("contention");
    constexpr int threads = 4;
    constexpr int rounds = 20000;
    long long counter = 0;
    std::vector<int> owners;
    std::atomic<int> failures { 0 };

    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int r = 0; r < rounds; ++r) {
                if (r % 2 == 0) {
                    QUVAutoLock guard(&lock);
                    QUVAutoLock nested(&lock);
                    ++counter;
                    owners.push_back(t);
                } else {
                    if (lock.Lock(QUV_LOCK_WAIT_FOREVER) != QUV_STATUS_SUCCESS) {
                        ++failures;
                        continue;
                    }
                    ++counter;
                    if (lock.Unlock() != QUV_STATUS_SUCCESS)
                        ++failures;
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    QCOMPARE(failures.load(), 0);
    QCOMPARE(counter, static_cast<long long>(threads) * rounds);
    QCOMPARE(int(owners.size()), threads * rounds / 2);
}

QUV_TEST_MAIN(TestQuvLock)
#include "test_quvlock.moc"
