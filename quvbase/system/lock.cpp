#include "quvbase/system/quvlock.h"

#include "lockimpl.h"

QUVLock::QUVLock(const char* name)
    : m_impl(new QUVLockImpl(name))
{ }

QUVLock::~QUVLock() = default;

QUVStatus QUVLock::Lock(uint32_t timeoutMs)
{
    return m_impl ? m_impl->Lock(timeoutMs) : QUV_STATUS_FAIL;
}

QUVStatus QUVLock::Unlock()
{
    return m_impl ? m_impl->Unlock() : QUV_STATUS_FAIL;
}

bool QUVLock::IsValid()
{
    return m_impl != nullptr;
}

QUVAutoLock::QUVAutoLock(QUVLock* lock)
    : m_lock(lock)
{
    if (m_lock)
        m_lock->Lock(QUV_LOCK_WAIT_FOREVER);
}

QUVAutoLock::~QUVAutoLock()
{
    if (m_lock)
        m_lock->Unlock();
}
