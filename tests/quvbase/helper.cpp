// A second process for the base library's tests. Each command does one thing
// and reports on standard output; the exit status says whether it went as
// the command expects (0) or not (non-zero). A crash shows as a signal.
//
//   log-open-race <segment> <file>   prints "ready", waits for <file> to exist,
//                                    then opens the log with a client reference
//   log-close-race <segment> <rounds>  closes and reopens the log <rounds>
//                                    times while another thread reports into it
//                                    and reads it; prints "ok"
//   thread-kill                      kills a thread blocked in pause() and
//                                    checks the outcome; prints "ok"
//   thread-kill-waiting              kills a thread while it waits in another
//                                    thread object's Stop, then stops that
//                                    object; prints "ok"
//   thread-start-fails               starts threads whose creation fails, then
//                                    uses and destroys their objects; prints "ok"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"
#include "quvbase/system/quvlog_p.h"
#include "quvbase/system/quvthread.h"
#include "quvbase/system/quvtime.h"

namespace {

// Waits until done() holds, which another thread or process brings about;
// false after 30 s.
bool waitUntil(const std::function<bool()>& done)
{
    const uint64_t deadline = QUVTime::GetSystemMilliseconds() + 30000;
    while (!done()) {
        if (QUVTime::GetSystemMilliseconds() > deadline)
            return false;
        QUVTime::SleepInMicroseconds(100);
    }
    return true;
}

int logOpenRace(const char* segment, const char* startFile)
{
    quvlog_internal::setSegmentName(segment);
    // Every helper says it is ready, then waits for the same signal, so that
    // the opens meet.
    std::printf("ready\n");
    std::fflush(stdout);
    if (!waitUntil([startFile] { return access(startFile, F_OK) == 0; }))
        return 4;
    const QUVStatus status = QUVDebug::Open(true);
    std::printf("%d\n", status);
    QUVDebug::Close(false);
    return status == QUV_STATUS_SUCCESS ? 0 : 5;
}

int logCloseRace(const char* segment, int rounds)
{
    quvlog_internal::setSegmentName(segment);
    if (QUVDebug::Open(false) != QUV_STATUS_SUCCESS || QUVDebug::SetClientReferenceCount(1) != QUV_STATUS_SUCCESS
        || QUVDebug::Enable(0, 1) != QUV_STATUS_SUCCESS) {
        std::printf("open failed\n");
        return 6;
    }

    // Everything that reaches into the segment without the log's lock: the
    // writers, the masks, the accessors, and a text handed out before a close.
    std::atomic<bool> stop { false };
    std::atomic<bool> running { false };
    std::atomic<size_t> bytesRead { 0 };
    std::thread user([&] {
        for (int i = 0; !stop.load(); ++i) {
            QUVDebug::Report(0, 3, __FILE__, __LINE__, "race %d", i);
            QUVDebug::Report(0, 3, __FILE__, __LINE__, std::string("race"));
            QUVDebug::IsActive(0);
            QUVDebug::Enable(7, 1);
            QUVDebug::Disable(7, 1);
            uint32_t mask = 0;
            QUVDebug::GetDestination(0, &mask);
            uint64_t sequence = 0;
            QUVDebug::GetSequenceNumber(&sequence);
            uint64_t pid = 0;
            QUVDebug::GetProcessId(sequence, &pid);
            const char* text = nullptr;
            if (QUVDebug::GetMessageText(sequence, &text) == QUV_STATUS_SUCCESS)
                bytesRead += strnlen(text, 512);
            running.store(true);
        }
    });
    if (!waitUntil([&running] { return running.load(); })) {
        stop.store(true);
        user.join();
        return 7;
    }
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0)
            QUVDebug::Close(false);
        else
            QUVDebug::SetClientReferenceCount(0);
        if (QUVDebug::Open(false) != QUV_STATUS_SUCCESS || QUVDebug::SetClientReferenceCount(1) != QUV_STATUS_SUCCESS) {
            std::printf("reopen failed\n");
            stop.store(true);
            user.join();
            return 8;
        }
    }
    stop.store(true);
    user.join();
    QUVDebug::Close(false);
    std::printf("ok\n");
    return 0;
}

// Blocks in pause(), a cancellation point, until killed; its destructor shows
// that the cancel unwound the stack.
class PausingThread : public QUVThread
{
public:
    ~PausingThread() override { Stop(0xFFFFFFFFu); }

    bool ThreadLoop() override
    {
        struct Unwound
        {
            std::atomic<bool>* flag;
            ~Unwound() { flag->store(true); }
        } unwound { &m_unwound };
        m_running.store(true);
        for (;;)
            pause();
    }

    std::atomic<bool> m_running { false };
    std::atomic<bool> m_unwound { false };
};

int threadKill()
{
    int stateBefore = 0;
    int typeBefore = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &stateBefore);
    pthread_setcancelstate(stateBefore, nullptr);
    pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &typeBefore);
    pthread_setcanceltype(typeBefore, nullptr);

    {
        PausingThread thread;
        for (int round = 0; round < 2; ++round) {
            thread.m_running.store(false);
            thread.m_unwound.store(false);
            if (thread.Start() != QUV_STATUS_SUCCESS) {
                std::printf("start failed\n");
                return 11;
            }
            if (!waitUntil([&thread] { return thread.m_running.load(); }))
                return 12;
            const QUVStatus status = thread.Kill(30000);
            if (status != QUV_STATUS_SUCCESS) {
                std::printf("kill gave %d\n", status);
                return 13;
            }
            if (thread.Active() || !thread.m_unwound.load()) {
                std::printf("thread not ended and unwound\n");
                return 14;
            }
        }
    }

    int stateAfter = 0;
    int typeAfter = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &stateAfter);
    pthread_setcancelstate(stateAfter, nullptr);
    pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, &typeAfter);
    pthread_setcanceltype(typeAfter, nullptr);
    if (stateAfter != stateBefore || typeAfter != typeBefore) {
        std::printf("caller's cancel settings changed\n");
        return 15;
    }
    std::printf("ok\n");
    return 0;
}

void ignoreTerminate(QUVThread*, void* release)
{
    while (!static_cast<std::atomic<bool>*>(release)->load())
        QUVTime::SleepInMicroseconds(200);
}

void stopOther(QUVThread*, void* other)
{
    static_cast<QUVThread*>(other)->Stop(QUV_LOCK_WAIT_FOREVER);
}

int threadKillWaiting()
{
    std::atomic<bool> release { false };
    QUVThread stubborn;
    stubborn.Attach(&ignoreTerminate, &release);
    if (stubborn.Start() != QUV_STATUS_SUCCESS)
        return 20;

    // The stopper sets the other object's terminate flag while it holds that
    // object's exit mutex, and then waits on it; killed from here on, it
    // unwinds from the wait (or from its start) with the mutex locked.
    QUVThread stopper;
    stopper.Attach(&stopOther, &stubborn);
    if (stopper.Start() != QUV_STATUS_SUCCESS)
        return 21;
    if (!waitUntil([&stubborn] { return stubborn.Terminate(); }))
        return 22;
    const QUVStatus killed = stopper.Kill(30000);
    if (killed != QUV_STATUS_SUCCESS) {
        std::printf("kill gave %d\n", killed);
        return 23;
    }

    // A mutex left locked would keep the thread from signalling its exit and
    // this Stop from ever taking the mutex.
    release.store(true);
    const QUVStatus stopped = stubborn.Stop(30000);
    if (stopped != QUV_STATUS_SUCCESS || stubborn.Active()) {
        std::printf("stop gave %d\n", stopped);
        return 24;
    }
    if (stubborn.Start() != QUV_STATUS_SUCCESS || stubborn.Stop(30000) != QUV_STATUS_SUCCESS) {
        std::printf("object unusable after the kill\n");
        return 25;
    }
    std::printf("ok\n");
    return 0;
}

// The address space the process uses, in bytes, as RLIMIT_AS counts it; 0
// when it cannot be read.
size_t addressSpaceBytes()
{
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    return read ? size_t(pages) * size_t(sysconf(_SC_PAGESIZE)) : 0;
}

void markRun(QUVThread*, void* ran)
{
    static_cast<std::atomic<bool>*>(ran)->store(true);
}

int threadStartFails()
{
    // No thread has run in this process, so the C library has no stack cached
    // for reuse: each new thread's 1 MiB stack must be mapped, and a limit on
    // the address space a little above what the process already uses leaves
    // no room for it. The headroom (bytes) takes the sanitizer's own record of
    // a thread (56 KiB), made before the stack.
    constexpr size_t kHeadroom = 256 * 1024;
    std::atomic<bool> ran { false };
    auto destroyed = std::make_unique<QUVThread>();
    QUVThread thread;
    destroyed->Attach(&markRun, &ran);
    thread.Attach(&markRun, &ran);
    rlimit before {};
    const size_t used = addressSpaceBytes();
    if (used == 0 || getrlimit(RLIMIT_AS, &before) != 0) {
        std::printf("address space not readable\n");
        return 30;
    }
    rlimit tight = before;
    tight.rlim_cur = rlim_t(used + kHeadroom);
    if (setrlimit(RLIMIT_AS, &tight) != 0) {
        std::printf("limit refused\n");
        return 31;
    }
    const QUVStatus destroyedStart = destroyed->Start();
    const QUVStatus threadStart = thread.Start();
    setrlimit(RLIMIT_AS, &before);
    if (destroyedStart != QUV_STATUS_FAIL || threadStart != QUV_STATUS_FAIL) {
        std::printf("start gave %d and %d\n", destroyedStart, threadStart);
        return 32;
    }

    // Each object is left as never started: its destructor, and every call
    // that looks at the thread, find none.
    destroyed.reset();
    if (thread.Active() || thread.IsCurrentThread() || thread.SetPriority(3) != QUV_STATUS_SUCCESS
        || thread.Stop(0) != QUV_STATUS_SUCCESS || thread.Kill(0) != QUV_STATUS_SUCCESS || ran.load()) {
        std::printf("failed start left a thread behind\n");
        return 33;
    }
    if (thread.Start() != QUV_STATUS_SUCCESS || !waitUntil([&ran] { return ran.load(); })
        || thread.Stop(30000) != QUV_STATUS_SUCCESS || thread.Active()) {
        std::printf("object unusable after the failed start\n");
        return 34;
    }
    std::printf("ok\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    int result = 100;
    if (command == "log-open-race" && argc == 4)
        result = logOpenRace(argv[2], argv[3]);
    else if (command == "log-close-race" && argc == 4)
        result = logCloseRace(argv[2], std::atoi(argv[3]));
    else if (command == "thread-kill" && argc == 2)
        result = threadKill();
    else if (command == "thread-kill-waiting" && argc == 2)
        result = threadKillWaiting();
    else if (command == "thread-start-fails" && argc == 2)
        result = threadStartFails();
    else
        std::fprintf(stderr, "quvbase_helper: unknown command\n");
    std::fflush(stdout);
    return result;
}
