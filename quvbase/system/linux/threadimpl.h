#pragma once

// Platform half of QUVThread on Linux: a joinable pthread with a 1 MiB stack,
// priorities as nice values counted from the process's own (and SCHED_RR for
// the highest where permitted), liveness by pthread_tryjoin_np.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <sys/types.h>

#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvthread.h"

class QUVThreadImpl
{
public:
    explicit QUVThreadImpl(QUVThread* owner);
    virtual ~QUVThreadImpl();

    QUVThreadImpl(const QUVThreadImpl&) = delete;
    QUVThreadImpl& operator=(const QUVThreadImpl&) = delete;

    QUVStatus Start();
    QUVStatus Stop(uint32_t timeoutMs);
    QUVStatus Kill(uint32_t timeoutMs);
    bool Active();
    bool IsCurrentThread();
    QUVStatus SetPriority(QUVThreadPriority priority);
    QUVStatus GetPriority(QUVThreadPriority* priority);
    bool Terminate();
    QUVStatus Attach(void (*function)(QUVThread*, void*), void* context);
    QUVStatus SetThreadName(const char* name);

    static uint64_t GetThreadId();
    // Entry function of every started thread; impl is the QUVThreadImpl.
    static void* ThreadProcStatic(void* impl);

private:
    class ExitSignal;

    // True while the thread runs. A thread whose function has returned is
    // joined here and the field cleared. The caller holds m_lock.
    bool aliveLocked();
    // Runs the attached function or ThreadRun; an exception ends the thread
    // (reported), a cancel's forced unwinding passes through.
    static void runBody(QUVThreadImpl* impl);
    // Gives a running thread the priority's nice value (and policy).
    QUVStatus applyPriority(QUVThreadPriority priority, pthread_t thread, pid_t tid);

    QUVThread* m_owner;
    // 0 when no thread runs. Written by Start, Stop, Kill and the liveness
    // test under m_lock, and by the new thread itself as it begins; read
    // without the lock by IsCurrentThread.
    std::atomic<pthread_t> m_thread { 0 };
    // The kernel id of the running thread, for its nice value.
    std::atomic<pid_t> m_tid { 0 };
    std::atomic<QUVThreadPriority> m_priority { 2 };
    // True while SCHED_RR given by priority 4 is in force.
    std::atomic<bool> m_realtime { false };
    // The attached pair, under its own mutex so that the thread may attach
    // for its next run while a Stop holds m_lock.
    std::mutex m_attachMutex;
    void (*m_function)(QUVThread*, void*) = nullptr;
    void* m_context = nullptr;
    // What the running thread executes: copied by Start from the attached pair.
    void (*m_runFunction)(QUVThread*, void*) = nullptr;
    void* m_runContext = nullptr;
    // Serialises Start, Stop, Kill, SetPriority and the liveness test.
    QUVLock m_lock;
    std::atomic<bool> m_terminate { false };
    // Under m_exitMutex: the new thread has recorded its ids; its function
    // has returned (or unwound).
    bool m_started = false;
    bool m_exited = false;
    pthread_mutex_t m_exitMutex;
    // Signalled on m_started and m_exited; waits measure on CLOCK_MONOTONIC.
    pthread_cond_t m_exitCondition;
    bool m_mutexReady = false;
    bool m_conditionReady = false;
    // The exit signal of the running thread, on its stack; set and read only
    // by that thread (the destructor, when the thread deletes its object).
    ExitSignal* m_exitSignal = nullptr;
};
