#include "quvbase/system/linux/timeimpl.h"

#include <cerrno>
#include <ctime>

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
