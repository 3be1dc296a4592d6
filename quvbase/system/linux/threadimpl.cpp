#include "quvbase/system/linux/threadimpl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <cxxabi.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "quvbase/system/linux/timeimpl.h"
#include "quvbase/system/quvlog.h"

namespace {

constexpr int kUnit = 0;
constexpr int kError = 3;
constexpr size_t kStackSize = 0x100000; // 1 MiB
// Linux thread names hold 15 bytes and a terminator.
constexpr size_t kNameBytes = 15;

// The nice value of each priority 1..5 relative to the process's own: the
// inverse of a scheduling priority of -10, 0, 10, 19 and 5.
constexpr int kNiceOffsets[] = { 10, 0, -10, -19, -5 };
// The nice values Linux accepts.
constexpr int kNiceLowest = -20;
constexpr int kNiceHighest = 19;
constexpr QUVThreadPriority kRealtimePriority = 4;

// The process's nice value when it started. Priorities count from it: a
// program started with nice(1) keeps its thread at that value for the normal
// priority (which so never needs privilege) and moves the others with it.
int processNice()
{
    static const int value = [] {
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        return errno == 0 ? nice : 0;
    }();
    return value;
}

// Read while the program starts, on its main thread: on Linux the nice value
// belongs to each thread, and a later caller may have been given another.
[[maybe_unused]] const int s_processNiceRead = processNice();

int niceValueOf(QUVThreadPriority priority)
{
    return std::clamp(processNice() + kNiceOffsets[priority - 1], kNiceLowest, kNiceHighest);
}

// Gives back the exit mutex, locked by the caller, when a cancel unwinds the
// caller: the condition waits are cancellation points and hand the mutex back
// locked before the unwinding starts, and a mutex left locked would block the
// thread's exit signal and every later Start and Stop for ever. The normal
// path releases the guard and unlocks the mutex itself.
class ExitMutexGuard
{
public:
    explicit ExitMutexGuard(pthread_mutex_t* mutex)
        : m_mutex(mutex)
    { }
    ~ExitMutexGuard()
    {
        if (m_mutex)
            pthread_mutex_unlock(m_mutex);
    }

    ExitMutexGuard(const ExitMutexGuard&) = delete;
    ExitMutexGuard& operator=(const ExitMutexGuard&) = delete;

    void release() { m_mutex = nullptr; }

private:
    pthread_mutex_t* m_mutex;
};

} // namespace

// Marks the thread as exited and wakes a waiting Stop, however the thread
// function ends: by returning, by an exception, or unwound by a cancel. A
// thread that has deleted its own object disowns it first: then there is
// nothing left to mark.
class QUVThreadImpl::ExitSignal
{
public:
    explicit ExitSignal(QUVThreadImpl* impl)
        : m_impl(impl)
    {
        m_impl->m_exitSignal = this;
    }
    ~ExitSignal()
    {
        if (!m_impl)
            return;
        int error = pthread_mutex_lock(&m_impl->m_exitMutex);
        if (error != 0) {
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
                "QUVThread(%p)::ThreadProcStatic error %d locking exit mutex", static_cast<void*>(m_impl->m_owner),
                error);
            return;
        }
        m_impl->m_exited = true;
        error = pthread_cond_broadcast(&m_impl->m_exitCondition);
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
                "QUVThread(%p)::ThreadProcStatic error %d signaling cond variable", static_cast<void*>(m_impl->m_owner),
                error);
        error = pthread_mutex_unlock(&m_impl->m_exitMutex);
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
                "QUVThread(%p)::ThreadProcStatic error %d unlocking exit mutex", static_cast<void*>(m_impl->m_owner),
                error);
    }

    ExitSignal(const ExitSignal&) = delete;
    ExitSignal& operator=(const ExitSignal&) = delete;

    void disown() { m_impl = nullptr; }

private:
    QUVThreadImpl* m_impl;
};

QUVThreadImpl::QUVThreadImpl(QUVThread* owner)
    : m_owner(owner)
    , m_lock(nullptr)
{
    int error = pthread_mutex_init(&m_exitMutex, nullptr);
    if (error != 0)
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThreadImpl(%p) mutex init reported error %d",
            static_cast<void*>(m_owner), error);
    else
        m_mutexReady = true;

    pthread_condattr_t attributes;
    error = pthread_condattr_init(&attributes);
    if (error == 0) {
        // Deadlines on the monotonic clock: a wall-clock step cannot stretch
        // or cut a Stop.
        error = pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
        if (error == 0)
            error = pthread_cond_init(&m_exitCondition, &attributes);
        pthread_condattr_destroy(&attributes);
    }
    if (error != 0)
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThreadImpl(%p) cond init reported error %d",
            static_cast<void*>(m_owner), error);
    else
        m_conditionReady = true;
}

QUVThreadImpl::~QUVThreadImpl()
{
    if (IsCurrentThread()) {
        // The thread deletes its own object: nobody is left to wait for it or
        // to join it. It ends by itself, detached, and its exit path leaves
        // the object alone. The Start that made it may still be finishing
        // (setting the priority) under the lock: taking the lock waits for it.
        {
            QUVAutoLock startDone(&m_lock);
        }
        if (m_exitSignal)
            m_exitSignal->disown();
        const int error = pthread_detach(pthread_self());
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "~QUVThreadImpl(%p) error %d detaching thread",
                static_cast<void*>(m_owner), error);
    } else {
        Stop(QUV_LOCK_WAIT_FOREVER);
    }
    if (m_mutexReady) {
        const int error = pthread_mutex_destroy(&m_exitMutex);
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "~QUVThreadImpl(%p) mutex destroy reported error %d",
                static_cast<void*>(m_owner), error);
    }
    if (m_conditionReady) {
        const int error = pthread_cond_destroy(&m_exitCondition);
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "~QUVThreadImpl(%p) cond destroy reported error %d",
                static_cast<void*>(m_owner), error);
    }
}

bool QUVThreadImpl::aliveLocked()
{
    const pthread_t thread = m_thread.load();
    if (thread == 0)
        return false;
    // pthread_kill(thread, 0) is no test: it succeeds for a thread that has
    // ended but not been joined. A try-join tells the two apart and reaps
    // the finished one.
    const int error = pthread_tryjoin_np(thread, nullptr);
    if (error == EBUSY)
        return true;
    m_thread.store(0);
    m_tid.store(0);
    return false;
}

QUVStatus QUVThreadImpl::Start()
{
    // A thread that asks to start itself is running.
    if (IsCurrentThread())
        return QUV_STATUS_SUCCESS;
    QUVAutoLock guard(&m_lock);
    if (aliveLocked())
        return QUV_STATUS_SUCCESS;

    pthread_attr_t attributes;
    bool attributesMade = pthread_attr_init(&attributes) == 0;
    const bool attributesSet = attributesMade && pthread_attr_setstacksize(&attributes, kStackSize) == 0
        && pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE) == 0;
    if (!attributesSet || !m_mutexReady || !m_conditionReady) {
        if (attributesMade)
            pthread_attr_destroy(&attributes);
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThreadImpl::Start(%p) error setting thread attributes",
            static_cast<void*>(m_owner));
        m_thread.store(0);
        return QUV_STATUS_FAIL;
    }

    m_terminate.store(false);
    pthread_mutex_lock(&m_exitMutex);
    m_started = false;
    m_exited = false;
    pthread_mutex_unlock(&m_exitMutex);
    {
        std::lock_guard<std::mutex> attached(m_attachMutex);
        m_runFunction = m_function;
        m_runContext = m_context;
    }

    pthread_t thread = 0;
    const int error = pthread_create(&thread, &attributes, ThreadProcStatic, this);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThreadImpl::Start(%p) error %d creating thread",
            static_cast<void*>(m_owner), error);
        m_thread.store(0);
        return QUV_STATUS_FAIL;
    }
    m_thread.store(thread);

    // The priority needs the new thread's kernel id, which only it can tell.
    pthread_mutex_lock(&m_exitMutex);
    {
        ExitMutexGuard held(&m_exitMutex);
        while (!m_started)
            pthread_cond_wait(&m_exitCondition, &m_exitMutex);
    }

    // The thread runs: a priority the system refuses is reported by
    // SetPriority and must not make the caller think otherwise.
    SetPriority(m_priority.load());
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVThreadImpl::Stop(uint32_t timeoutMs)
{
    // The thread cannot wait for itself: it is only asked to end.
    if (IsCurrentThread()) {
        m_terminate.store(true);
        return QUV_STATUS_SUCCESS;
    }
    QUVAutoLock guard(&m_lock);
    if (!aliveLocked())
        return QUV_STATUS_SUCCESS;

    int error = pthread_mutex_lock(&m_exitMutex);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThreadImpl::Stop(%p) error %d locking exit mutex",
            static_cast<void*>(m_owner), error);
        return QUV_STATUS_FAIL;
    }
    ExitMutexGuard held(&m_exitMutex);
    const timespec deadline = QUVTimeImpl::Deadline(CLOCK_MONOTONIC, timeoutMs);
    m_terminate.store(true);
    int waitError = 0;
    while (!m_exited && waitError == 0)
        waitError = pthread_cond_timedwait(&m_exitCondition, &m_exitMutex, &deadline);
    const bool exited = m_exited;
    QUVStatus result = QUV_STATUS_SUCCESS;
    held.release();
    error = pthread_mutex_unlock(&m_exitMutex);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::Stop error %d unlocking exit mutex",
            static_cast<void*>(m_owner), error);
        result = QUV_STATUS_FAIL;
    }
    if (!exited) {
        // Timed out: joining now could block without bound, so the thread is
        // left running (and flagged) for a later Stop.
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
            "QUVThread(%p)::Stop pthread_cond_timedwait returned error %d", static_cast<void*>(m_owner), waitError);
        return QUV_STATUS_FAIL;
    }

    // The function has returned; the join waits only for the thread's exit.
    error = pthread_join(m_thread.load(), nullptr);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::Stop error %d from pthread_join",
            static_cast<void*>(m_owner), error);
        result = QUV_STATUS_FAIL;
    }
    m_thread.store(0);
    m_tid.store(0);
    return result;
}

QUVStatus QUVThreadImpl::Kill(uint32_t timeoutMs)
{
    if (IsCurrentThread()) {
        // Unwinds at this thread's next cancellation point.
        const int error = pthread_cancel(pthread_self());
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::Kill error %d from pthread_cancel",
                static_cast<void*>(m_owner), error);
        return error ? QUV_STATUS_FAIL : QUV_STATUS_SUCCESS;
    }
    QUVAutoLock guard(&m_lock);
    if (!aliveLocked())
        return QUV_STATUS_SUCCESS;

    const pthread_t thread = m_thread.load();
    int error = pthread_cancel(thread);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::Kill error %d from pthread_cancel",
            static_cast<void*>(m_owner), error);
        return QUV_STATUS_FAIL;
    }
    // glibc's timed join measures on the wall clock.
    const timespec deadline = QUVTimeImpl::Deadline(CLOCK_REALTIME, timeoutMs);
    error = pthread_timedjoin_np(thread, nullptr, &deadline);
    if (error == ETIMEDOUT)
        return QUV_STATUS_TIMEOUT; // still unwinding: a later Stop or Active reaps it
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::Kill error %d from pthread_join",
            static_cast<void*>(m_owner), error);
        return QUV_STATUS_FAIL;
    }
    m_thread.store(0);
    m_tid.store(0);
    return QUV_STATUS_SUCCESS;
}

bool QUVThreadImpl::Active()
{
    if (IsCurrentThread())
        return true;
    QUVAutoLock guard(&m_lock);
    return aliveLocked();
}

bool QUVThreadImpl::IsCurrentThread()
{
    const pthread_t thread = m_thread.load();
    return thread != 0 && pthread_equal(thread, pthread_self());
}

QUVStatus QUVThreadImpl::SetPriority(QUVThreadPriority priority)
{
    if (priority < 1 || priority > 5) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::SetPriority: bad thread priority %d",
            static_cast<void*>(m_owner), priority);
        return QUV_STATUS_RANGE;
    }
    m_priority.store(priority);
    if (IsCurrentThread())
        return applyPriority(priority, pthread_self(), gettid());
    QUVAutoLock guard(&m_lock);
    if (!aliveLocked())
        return QUV_STATUS_SUCCESS; // applies at the next Start
    return applyPriority(priority, m_thread.load(), m_tid.load());
}

QUVStatus QUVThreadImpl::applyPriority(QUVThreadPriority priority, pthread_t thread, pid_t tid)
{
    int policy = 0;
    sched_param parameters {};
    int error = pthread_getschedparam(thread, &policy, &parameters);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::SetPriority: error %d getting sched param",
            static_cast<void*>(m_owner), error);
        return QUV_STATUS_FAIL;
    }

    if (priority == kRealtimePriority) {
        // Real-time round robin where the system permits it; otherwise the
        // thread keeps the normal policy with its best nice value.
        if (policy != SCHED_RR) {
            sched_param realtime {};
            realtime.sched_priority = sched_get_priority_min(SCHED_RR);
            error = pthread_setschedparam(thread, SCHED_RR, &realtime);
            if (error != 0)
                QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
                    "QUVThread(%p)::SetPriority: error %d setting real-time policy", static_cast<void*>(m_owner),
                    error);
            else
                m_realtime.store(true);
        }
    } else if (m_realtime.load()) {
        sched_param normal {};
        error = pthread_setschedparam(thread, SCHED_OTHER, &normal);
        if (error != 0) {
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
                "QUVThread(%p)::SetPriority: error %d setting sched param", static_cast<void*>(m_owner), error);
            return QUV_STATUS_FAIL;
        }
        m_realtime.store(false);
    }

    // Under the normal policy Linux takes no static priority: the nice value
    // of the thread is what orders it. Going below the process's own needs
    // CAP_SYS_NICE.
    if (setpriority(PRIO_PROCESS, id_t(tid), niceValueOf(priority)) != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVThread(%p)::SetPriority: error %d setting sched param",
            static_cast<void*>(m_owner), errno);
        return QUV_STATUS_FAIL;
    }
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVThreadImpl::GetPriority(QUVThreadPriority* priority)
{
    if (!priority)
        return QUV_STATUS_INITIALIZE;
    *priority = m_priority.load();
    return QUV_STATUS_SUCCESS;
}

bool QUVThreadImpl::Terminate()
{
    return m_terminate.load();
}

QUVStatus QUVThreadImpl::Attach(void (*function)(QUVThread*, void*), void* context)
{
    std::lock_guard<std::mutex> guard(m_attachMutex);
    m_function = function;
    m_context = context;
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVThreadImpl::SetThreadName(const char* name)
{
    if (!name)
        return QUV_STATUS_FAIL;
    // Linux refuses longer names (ERANGE): cut them, never inside a UTF-8
    // sequence.
    size_t length = strnlen(name, kNameBytes + 1);
    if (length > kNameBytes) {
        length = kNameBytes;
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80)
            --length;
    }
    char cut[kNameBytes + 1];
    std::memcpy(cut, name, length);
    cut[length] = '\0';
    return pthread_setname_np(pthread_self(), cut) == 0 ? QUV_STATUS_SUCCESS : QUV_STATUS_FAIL;
}

uint64_t QUVThreadImpl::GetThreadId()
{
    return uint64_t(gettid());
}

// The handler of the forced unwinding gets no object: the sanitizer's null
// check of the reference is switched off for this function alone.
__attribute__((no_sanitize("null"))) void QUVThreadImpl::runBody(QUVThreadImpl* impl)
{
    try {
        if (impl->m_runFunction)
            impl->m_runFunction(impl->m_owner, impl->m_runContext);
        else
            impl->m_owner->ThreadRun();
    } catch (abi::__forced_unwind&) {
        // A cancel unwinds the thread with this; swallowing it aborts the
        // process.
        throw;
    } catch (...) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__,
            "QUVThread(%p)::ThreadProcStatic exception in thread function", static_cast<void*>(impl->m_owner));
    }
}

void* QUVThreadImpl::ThreadProcStatic(void* arg)
{
    if (!arg)
        return nullptr;
    QUVThreadImpl* impl = static_cast<QUVThreadImpl*>(arg);
    // Recorded here too, since the thread may run before Start stores it.
    impl->m_thread.store(pthread_self());
    impl->m_tid.store(gettid());
    pthread_mutex_lock(&impl->m_exitMutex);
    impl->m_started = true;
    pthread_cond_broadcast(&impl->m_exitCondition);
    pthread_mutex_unlock(&impl->m_exitMutex);

    ExitSignal exitSignal(impl);
    runBody(impl);
    return nullptr;
}
