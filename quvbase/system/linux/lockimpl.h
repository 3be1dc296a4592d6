#pragma once

// Platform half of QUVLock on Linux: a recursive pthread mutex with an owner
// and a recursion count of its own, taken with glibc's timed lock.

#include <atomic>
#include <cstdint>
#include <pthread.h>

#include "quvbase/system/quvstatus.h"

class QUVLockImpl
{
public:
    explicit QUVLockImpl(const char* name);
    virtual ~QUVLockImpl();

    QUVLockImpl(const QUVLockImpl&) = delete;
    QUVLockImpl& operator=(const QUVLockImpl&) = delete;

    QUVStatus Lock(uint32_t timeoutMs);
    QUVStatus Unlock();

private:
    const char* m_name;
    // Read without the mutex by Lock's owner test, so atomic; only the owner
    // can find its own id here. 0 while nobody holds the lock.
    std::atomic<pthread_t> m_owner { 0 };
    // Recursion depth; touched only by the owner.
    uint32_t m_count = 0;
    pthread_mutex_t m_mutex;
    // False when the mutex could not be made: Lock and Unlock then fail
    // rather than use it.
    bool m_initialized = false;
};
