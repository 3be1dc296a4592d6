#pragma once

// A thread with a 1 MiB stack and a priority. A subclass overrides
// ThreadInit, ThreadLoop and ThreadFlush (or attaches a plain function);
// Start runs it on a new thread, Stop asks it to end and waits for it.
//
// A subclass must call Stop in its own destructor: the base destructor runs
// after the subclass's members are gone, and a loop still running would use
// them. A thread may delete its own object from its function, as the last
// thing it does with it: the thread then ends by itself, unjoined.

#include <atomic>
#include <cstdint>

#include "quvbase/system/quvstatus.h"

// 1 (lowest) to 5: 1 below normal, 2 normal (the default), 5 above normal,
// 3 high, 4 highest (real-time where the system permits it). Normal is the
// nice value the process started with; the others are counted from it.
using QUVThreadPriority = int32_t;

class QUVThreadImpl;

class QUVThread
{
public:
    QUVThread();
    virtual ~QUVThread();

    QUVThread(const QUVThread&) = delete;
    QUVThread& operator=(const QUVThread&) = delete;

    // Starts the thread unless it is running already (QUV_STATUS_SUCCESS in
    // both cases). A priority that the system refuses is reported to the log
    // and does not fail the start.
    virtual QUVStatus Start();
    // Sets the terminate flag and waits at most timeoutMs (0xFFFFFFFF: 365
    // days) for the thread function to return, then joins the thread.
    // QUV_STATUS_FAIL when the time ran out: the thread is left running, and a
    // later Stop can finish the job. Called from the thread itself, it only
    // sets the flag.
    virtual QUVStatus Stop(uint32_t timeoutMs);
    // Cancels the thread (it unwinds at its next cancellation point) and joins
    // it, waiting at most timeoutMs; QUV_STATUS_TIMEOUT when it has not ended
    // by then. The caller's own cancellation settings are not touched.
    virtual QUVStatus Kill(uint32_t timeoutMs);
    // True while the thread function has not returned.
    virtual bool Active();
    virtual bool IsCurrentThread();
    // 1..5, else QUV_STATUS_RANGE. Stored, and applied to a running thread.
    virtual QUVStatus SetPriority(QUVThreadPriority priority);
    virtual QUVStatus GetPriority(QUVThreadPriority* priority);
    // The thread's body: ThreadInit, then ThreadLoop until it returns false or
    // Terminate() is true, then ThreadFlush. A negative ThreadInit ends it at
    // once with that status.
    virtual QUVStatus ThreadRun();
    virtual QUVStatus ThreadInit();
    virtual bool ThreadLoop();
    virtual QUVStatus ThreadFlush();
    // True once Stop has asked the thread to end.
    virtual bool Terminate();
    // The next Start runs function(this, context) instead of ThreadRun.
    virtual QUVStatus Attach(void (*function)(QUVThread*, void*), void* context);
    // Names the calling thread (cut to 15 bytes).
    virtual QUVStatus SetThreadName(const char* name);

    // The calling thread's system-wide id.
    static uint64_t GetThreadId();

private:
    // Cleared at the start of destruction: the operations then give their
    // "no thread" answers (Terminate() true).
    std::atomic<QUVThreadImpl*> m_impl;
};
