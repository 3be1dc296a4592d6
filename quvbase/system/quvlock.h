#pragma once

// A recursive lock with a time-out, and a scoped holder for it.

#include <cstdint>
#include <memory>

#include "quvbase/system/quvstatus.h"

class QUVLockImpl;

// Time-out that QUVAutoLock uses: read as 365 days.
constexpr uint32_t QUV_LOCK_WAIT_FOREVER = 0xFFFFFFFFu;

class QUVLock
{
public:
    // name is kept as a pointer (not copied) and used only in report texts;
    // it may be null.
    explicit QUVLock(const char* name = nullptr);
    // Defined where the implementation is a complete type, as the
    // std::unique_ptr that deletes it needs.
    virtual ~QUVLock();

    QUVLock(const QUVLock&) = delete;
    QUVLock& operator=(const QUVLock&) = delete;

    // Takes the lock, waiting at most timeoutMs milliseconds
    // (QUV_LOCK_WAIT_FOREVER: 365 days). The owner may lock again; each
    // Lock needs its Unlock. QUV_STATUS_TIMEOUT when the time ran out,
    // QUV_STATUS_FAIL for any other failure; in both cases the lock is not held.
    virtual QUVStatus Lock(uint32_t timeoutMs);
    // QUV_STATUS_FAIL, changing nothing, when the caller is not the owner.
    virtual QUVStatus Unlock();
    // True while the implementation exists.
    virtual bool IsValid();

private:
    std::unique_ptr<QUVLockImpl> m_impl;
};

// Holds a lock for the length of a scope, taken with QUV_LOCK_WAIT_FOREVER.
// A null lock makes it do nothing.
class QUVAutoLock
{
public:
    explicit QUVAutoLock(QUVLock* lock);
    virtual ~QUVAutoLock();

    QUVAutoLock(const QUVAutoLock&) = delete;
    QUVAutoLock& operator=(const QUVAutoLock&) = delete;

private:
    QUVLock* m_lock;
};
