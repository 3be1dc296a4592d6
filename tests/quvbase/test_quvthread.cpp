// The base library's thread class on real threads. Kill runs in a helper
// process, where a wrong cancel could abort a whole process.

#include <algorithm>
#include <atomic>
#include <sched.h>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

#include <QFile>

#include "quvbasetest.h"
#include "quvtest.h"

#include "quvbase/system/quvthread.h"
#include "quvbase/system/quvtime.h"

namespace {

// A loop that runs until told to end, counting its calls; it can be told to
// ignore Terminate() until released, to run only once, and to name its thread.
class CountingThread : public QUVThread
{
public:
    ~CountingThread() override
    {
        m_release.store(true);
        Stop(0xFFFFFFFFu);
    }

    QUVStatus ThreadInit() override
    {
        if (m_name)
            m_nameStatus.store(SetThreadName(m_name));
        m_tid.store(GetThreadId());
        ++m_inits;
        return m_initStatus.load();
    }
    bool ThreadLoop() override
    {
        ++m_loops;
        if (m_ignoreTerminate.load()) {
            while (!m_release.load())
                QUVTime::SleepInMicroseconds(200);
        }
        QUVTime::SleepInMicroseconds(200);
        return !m_once.load();
    }
    QUVStatus ThreadFlush() override
    {
        ++m_flushes;
        return QUV_STATUS_SUCCESS;
    }

    std::atomic<int> m_inits { 0 };
    std::atomic<int> m_loops { 0 };
    std::atomic<int> m_flushes { 0 };
    std::atomic<QUVStatus> m_initStatus { QUV_STATUS_SUCCESS };
    std::atomic<bool> m_once { false };
    std::atomic<bool> m_ignoreTerminate { false };
    std::atomic<bool> m_release { false };
    std::atomic<uint64_t> m_tid { 0 };
    const char* m_name = nullptr;
    std::atomic<QUVStatus> m_nameStatus { QUV_STATUS_UNKNOWN };
};

// Asks its own object things while running.
class SelfAskingThread : public QUVThread
{
public:
    ~SelfAskingThread() override { Stop(0xFFFFFFFFu); }

    bool ThreadLoop() override
    {
        m_current.store(IsCurrentThread());
        m_active.store(Active());
        m_start.store(Start());
        m_stop.store(Stop(0xFFFFFFFFu));
        m_terminate.store(Terminate());
        m_asked.store(true);
        return true;
    }

    std::atomic<bool> m_current { false };
    std::atomic<bool> m_active { false };
    std::atomic<QUVStatus> m_start { QUV_STATUS_UNKNOWN };
    std::atomic<QUVStatus> m_stop { QUV_STATUS_UNKNOWN };
    std::atomic<bool> m_terminate { false };
    std::atomic<bool> m_asked { false };
};

// On its way out (while a Stop waits for it) uses its own object.
class WindingDownThread : public QUVThread
{
public:
    ~WindingDownThread() override { Stop(0xFFFFFFFFu); }

    bool ThreadLoop() override
    {
        m_running.store(true);
        QUVTime::SleepInMicroseconds(200);
        return true;
    }
    QUVStatus ThreadFlush() override
    {
        m_priority.store(SetPriority(1));
        m_attach.store(Attach(nullptr, nullptr));
        m_active.store(Active());
        return QUV_STATUS_SUCCESS;
    }

    std::atomic<bool> m_running { false };
    std::atomic<QUVStatus> m_priority { QUV_STATUS_UNKNOWN };
    std::atomic<QUVStatus> m_attach { QUV_STATUS_UNKNOWN };
    std::atomic<bool> m_active { false };
};

void throwFromTheThread(QUVThread*, void*)
{
    throw std::runtime_error("thrown by the thread");
}

void loopUntilTerminated(QUVThread* thread, void* context)
{
    static_cast<std::atomic<bool>*>(context)->store(true);
    while (!thread->Terminate())
        QUVTime::SleepInMicroseconds(200);
}

struct SelfDeletion
{
    std::atomic<pid_t> tid { 0 };
    std::atomic<bool> deleted { false };
};

void deleteOwnObject(QUVThread* thread, void* context)
{
    auto* deletion = static_cast<SelfDeletion*>(context);
    deletion->tid.store(pid_t(QUVThread::GetThreadId()));
    delete thread;
    deletion->deleted.store(true);
}

QByteArray threadComm(uint64_t tid)
{
    QFile file(QStringLiteral("/proc/self/task/%1/comm").arg(tid));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int niceOf(uint64_t tid)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, id_t(tid));
}

} // namespace

class TestQuvThread : public QObject
{
    Q_OBJECT

private slots:
    void lifecycle();
    void startAfterNaturalEnd();
    void stopTimesOut();
    void callsFromTheThreadItself();
    void ownObjectWhileBeingStopped();
    void exceptionEndsOnlyTheThread();
    void destroyingStopsTheThread();
    void threadDeletesItsOwnObject();
    void priorityOfARunningThread();
    void names_data();
    void names();
    void killInAHelper();
    void killWhileWaitingInAnotherStop();
    void failedStartLeavesNoThread();
};

void TestQuvThread::lifecycle()
{
    CountingThread thread;
    QVERIFY(!thread.Active());
    QCOMPARE(thread.Stop(0), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Kill(0), QUV_STATUS_SUCCESS);

    // A second Start on a running thread does nothing.
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QVERIFY(thread.Active());
    QVERIFY(!thread.IsCurrentThread());
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_loops.load() > 2, 10000);
    QCOMPARE(thread.m_inits.load(), 1);

    QCOMPARE(thread.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    QVERIFY(!thread.Active());
    QVERIFY(thread.Terminate());
    QCOMPARE(thread.m_flushes.load(), 1);

    // A new start clears the terminate flag.
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QVERIFY(!thread.Terminate());
    QTRY_COMPARE_WITH_TIMEOUT(thread.m_inits.load(), 2, 10000);
    QCOMPARE(thread.Stop(5000), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.m_flushes.load(), 2);
}

void TestQuvThread::startAfterNaturalEnd()
{
    // A thread whose loop ends by itself is no longer active, and a new
    // Start runs it again.
    CountingThread thread;
    thread.m_once.store(true);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(!thread.Active(), 10000);
    QCOMPARE(thread.m_loops.load(), 1);
    QCOMPARE(thread.m_flushes.load(), 1);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_COMPARE_WITH_TIMEOUT(thread.m_flushes.load(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!thread.Active(), 10000);

    // A failed initialisation ends the thread before its loop.
    thread.m_initStatus.store(QUV_STATUS_OPEN);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_COMPARE_WITH_TIMEOUT(thread.m_inits.load(), 3, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!thread.Active(), 10000);
    QCOMPARE(thread.m_loops.load(), 2);
    QCOMPARE(thread.m_flushes.load(), 2);
    QCOMPARE(thread.ThreadRun(), QUV_STATUS_OPEN);
}

void TestQuvThread::stopTimesOut()
{
    CountingThread thread;
    thread.m_ignoreTerminate.store(true);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_loops.load() > 0, 10000);

    // The loop ignores the flag: the wait times out, the thread stays.
    QCOMPARE(thread.Stop(100), QUV_STATUS_FAIL);
    QVERIFY(thread.Active());
    QVERIFY(thread.Terminate());

    thread.m_release.store(true);
    QCOMPARE(thread.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);
    QVERIFY(!thread.Active());
    QCOMPARE(thread.m_flushes.load(), 1);
}

void TestQuvThread::callsFromTheThreadItself()
{
    // From its own thread, Stop only sets the flag (waiting for itself would
    // never end) and Start finds the thread running.
    SelfAskingThread thread;
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_asked.load(), 10000);
    QVERIFY(thread.m_current.load());
    QVERIFY(thread.m_active.load());
    QCOMPARE(thread.m_start.load(), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.m_stop.load(), QUV_STATUS_SUCCESS);
    QVERIFY(thread.m_terminate.load());
    QTRY_VERIFY_WITH_TIMEOUT(!thread.Active(), 10000);
}

void TestQuvThread::ownObjectWhileBeingStopped()
{
    // A Stop waiting for the thread must not keep the thread from using its
    // own object (the wait would then never end).
    WindingDownThread thread;
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_running.load(), 10000);
    QCOMPARE(thread.Stop(30000), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.m_priority.load(), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.m_attach.load(), QUV_STATUS_SUCCESS);
    QVERIFY(thread.m_active.load());
    QVERIFY(!thread.Active());
}

void TestQuvThread::exceptionEndsOnlyTheThread()
{
    QUVThread thread;
    QCOMPARE(thread.Attach(&throwFromTheThread, nullptr), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(!thread.Active(), 10000);
    QCOMPARE(thread.Stop(1000), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);
}

void TestQuvThread::destroyingStopsTheThread()
{
    // No subclass: the object's own destructor tells the attached loop to end
    // and waits for it.
    std::atomic<bool> running { false };
    auto* thread = new QUVThread;
    QCOMPARE(thread->Attach(&loopUntilTerminated, &running), QUV_STATUS_SUCCESS);
    QCOMPARE(thread->Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(running.load(), 10000);
    delete thread;
}

void TestQuvThread::threadDeletesItsOwnObject()
{
    // Nobody is left to stop or join the thread: it must end by itself, and
    // neither its way out nor the Start still finishing on this thread may
    // touch the freed object (the sanitizer build sees any such access).
    SelfDeletion deletion;
    auto* thread = new QUVThread;
    QCOMPARE(thread->Attach(&deleteOwnObject, &deletion), QUV_STATUS_SUCCESS);
    QCOMPARE(thread->Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(deletion.deleted.load(), 10000);
    const QString task = QStringLiteral("/proc/self/task/%1").arg(deletion.tid.load());
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(task), 10000);
}

void TestQuvThread::priorityOfARunningThread()
{
    // A stored priority the system may refuse (raising needs privileges)
    // still starts the thread.
    CountingThread thread;
    QCOMPARE(thread.SetPriority(0), QUV_STATUS_RANGE);
    QCOMPARE(thread.SetPriority(6), QUV_STATUS_RANGE);
    QCOMPARE(thread.GetPriority(nullptr), QUV_STATUS_INITIALIZE);
    QUVThreadPriority priority = 0;
    QCOMPARE(thread.GetPriority(&priority), QUV_STATUS_SUCCESS);
    QCOMPARE(priority, 2);
    QCOMPARE(thread.SetPriority(3), QUV_STATUS_SUCCESS);
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_tid.load() != 0, 10000);
    QVERIFY(thread.Active());
    const uint64_t tid = thread.m_tid.load();

    // Each priority is a nice value counted from the process's own, within
    // what Linux accepts; lowering is always permitted.
    const int own = niceOf(0);
    const int niceBefore = niceOf(tid);
    const QUVStatus raised = thread.SetPriority(3);
    QCOMPARE(niceOf(tid), raised == QUV_STATUS_SUCCESS ? std::max(own - 10, -20) : niceBefore);
    QCOMPARE(thread.SetPriority(1), QUV_STATUS_SUCCESS);
    QCOMPARE(niceOf(tid), std::min(own + 10, 19));
    QCOMPARE(thread.GetPriority(&priority), QUV_STATUS_SUCCESS);
    QCOMPARE(priority, 1);

    // The highest asks for real-time round robin where permitted and leaves
    // it again for any other.
    const QUVStatus highest = thread.SetPriority(4);
    QVERIFY(highest == QUV_STATUS_SUCCESS || highest == QUV_STATUS_FAIL);
    const QUVStatus normal = thread.SetPriority(5);
    QVERIFY(normal == QUV_STATUS_SUCCESS || normal == QUV_STATUS_FAIL);
    QCOMPARE(sched_getscheduler(pid_t(tid)), SCHED_OTHER);
    QCOMPARE(thread.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);
}

void TestQuvThread::names_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("comm");

    QTest::newRow("15 bytes") << QByteArray("fifteen-bytes!!") << QByteArray("fifteen-bytes!!");
    QTest::newRow("20 bytes, cut") << QByteArray("twenty-bytes-name-xx") << QByteArray("twenty-bytes-na");
    // A euro sign (3 bytes) that would straddle byte 15 goes as a whole.
    QTest::newRow("UTF-8 at the cut") << QByteArray("abcdefghijklmn\xE2\x82\xACz") << QByteArray("abcdefghijklmn");
    QTest::newRow("UTF-8 before the cut")
        << QByteArray("abcdefghijkl\xE2\x82\xACz") << QByteArray("abcdefghijkl\xE2\x82\xAC");
}

void TestQuvThread::names()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, comm);

    CountingThread thread;
    thread.m_name = name.constData();
    QCOMPARE(thread.Start(), QUV_STATUS_SUCCESS);
    QTRY_VERIFY_WITH_TIMEOUT(thread.m_tid.load() != 0, 10000);
    QCOMPARE(thread.m_nameStatus.load(), QUV_STATUS_SUCCESS);
    QCOMPARE(threadComm(thread.m_tid.load()), comm + '\n');
    QCOMPARE(thread.Stop(0xFFFFFFFFu), QUV_STATUS_SUCCESS);

    QUVThread object;
    QCOMPARE(object.SetThreadName(nullptr), QUV_STATUS_FAIL);
}

void TestQuvThread::killInAHelper()
{
    // The kill unwinds the blocked thread (a swallowed forced unwind would
    // abort the helper), joins it, and leaves the caller's cancel settings.
    QByteArray output;
    QCOMPARE(quvbasetest::runHelper({ QStringLiteral("thread-kill") }, &output), 0);
    QCOMPARE(output, QByteArray("ok\n"));
}

void TestQuvThread::killWhileWaitingInAnotherStop()
{
    // A thread killed while it waits in another object's Stop must not leave
    // that object's exit mutex locked: the other thread could not signal its
    // exit, and the next Stop would hang for ever (a helper that does not
    // end).
    QByteArray output;
    QCOMPARE(quvbasetest::runHelper({ QStringLiteral("thread-kill-waiting") }, &output), 0);
    QCOMPARE(output, QByteArray("ok\n"));
}

void TestQuvThread::failedStartLeavesNoThread()
{
    // A thread that cannot be created (its stack cannot be mapped) leaves the
    // object as never started: asked, stopped, killed and destroyed, it has no
    // thread to look at, and it starts later as any other. In a helper that
    // has run no thread before, so that no stack is cached for reuse.
    QByteArray output;
    QCOMPARE(quvbasetest::runHelper({ QStringLiteral("thread-start-fails") }, &output), 0);
    QCOMPARE(output, QByteArray("ok\n"));
}

QUV_TEST_MAIN(TestQuvThread)
#include "test_quvthread.moc"
