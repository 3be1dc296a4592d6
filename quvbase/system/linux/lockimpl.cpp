#include "quvbase/system/linux/lockimpl.h"

#include <cerrno>
#include <ctime>

#include "quvbase/system/linux/timeimpl.h"
#include "quvbase/system/quvlock.h"
#include "quvbase/system/quvlog.h"

namespace {

constexpr int kUnit = 0;
constexpr int kError = 3;

const char* printable(const char* name)
{
    return name ? name : "(null)";
}

} // namespace

QUVLockImpl::QUVLockImpl(const char* name)
    : m_name(name)
{
    pthread_mutexattr_t attributes;
    int error = pthread_mutexattr_init(&attributes);
    if (error != 0) {
        QUVDebug::Report(
            kUnit, kError, __FILE__, __LINE__, "QUVLockImpl(%s) attr init reported error %d", printable(m_name), error);
        return;
    }
    error = pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVLockImpl(%s) attr settype reported error %d",
            printable(m_name), error);
    } else {
        error = pthread_mutex_init(&m_mutex, &attributes);
        if (error != 0)
            QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVLockImpl(%s) mutex init reported error %d",
                printable(m_name), error);
        else
            m_initialized = true;
    }
    error = pthread_mutexattr_destroy(&attributes);
    if (error != 0)
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVLockImpl(%s) attr destroy reported error %d",
            printable(m_name), error);
}

QUVLockImpl::~QUVLockImpl()
{
    if (!m_initialized)
        return;
    const int error = pthread_mutex_destroy(&m_mutex);
    if (error != 0)
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "~QUVLockImpl(%s) mutex destroy reported error %d",
            printable(m_name), error);
}

QUVStatus QUVLockImpl::Lock(uint32_t timeoutMs)
{
    const pthread_t self = pthread_self();
    if (m_owner.load(std::memory_order_relaxed) == self) {
        ++m_count;
        return QUV_STATUS_SUCCESS;
    }
    if (!m_initialized)
        return QUV_STATUS_FAIL;

    // glibc's timed lock measures its deadline on the wall clock.
    const timespec deadline = QUVTimeImpl::Deadline(CLOCK_REALTIME, timeoutMs);
    const int error = pthread_mutex_timedlock(&m_mutex, &deadline);
    if (error == ETIMEDOUT)
        return QUV_STATUS_TIMEOUT;
    if (error != 0) {
        QUVDebug::Report(kUnit, kError, __FILE__, __LINE__, "QUVLockImpl::Lock(%s) mutex lock reported error %d",
            printable(m_name), error);
        return QUV_STATUS_FAIL;
    }
    m_owner.store(self, std::memory_order_relaxed);
    m_count = 1;
    return QUV_STATUS_SUCCESS;
}

QUVStatus QUVLockImpl::Unlock()
{
    if (m_owner.load(std::memory_order_relaxed) != pthread_self() || m_count == 0)
        return QUV_STATUS_FAIL;
    if (--m_count > 0)
        return QUV_STATUS_SUCCESS;
    m_owner.store(0, std::memory_order_relaxed);
    pthread_mutex_unlock(&m_mutex);
    return QUV_STATUS_SUCCESS;
}
