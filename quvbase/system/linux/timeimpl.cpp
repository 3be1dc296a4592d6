#include "quvbase/system/linux/timeimpl.h"

#include <cerrno>
#include <ctime>

#include "quvbase/system/quvlock.h"

namespace {

// QUV_LOCK_WAIT_FOREVER waits this long: 365 days, in seconds.
constexpr time_t kForeverSeconds = 31536000;
constexpr long kNanosecondsPerSecond = 1000000000;

} // namespace

uint64_t QUVTimeImpl::Counter()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

void QUVTimeImpl::Timebase(uint32_t* numerator, uint32_t* denominator)
{
    *numerator = 1;
    *denominator = 1;
}

void QUVTimeImpl::SleepMicroseconds(uint64_t us)
{
    timespec request {};
    request.tv_sec = time_t(us / 1000000u);
    request.tv_nsec = long(us % 1000000u) * 1000;
    timespec remaining {};
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR)
        request = remaining;
}

timespec QUVTimeImpl::Deadline(clockid_t clock, uint32_t timeoutMs)
{
    timespec deadline {};
    clock_gettime(clock, &deadline);
    if (timeoutMs == QUV_LOCK_WAIT_FOREVER) {
        deadline.tv_sec += kForeverSeconds;
        return deadline;
    }
    deadline.tv_sec += time_t(timeoutMs / 1000);
    deadline.tv_nsec += long(timeoutMs % 1000) * 1000000;
    if (deadline.tv_nsec >= kNanosecondsPerSecond) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= kNanosecondsPerSecond;
    }
    return deadline;
}
