#pragma once

// Platform half of QUVTime on Linux: the monotonic counter and its timebase.

#include <cstdint>
#include <ctime>

class QUVTimeImpl
{
public:
    QUVTimeImpl() = delete;

    // CLOCK_MONOTONIC in nanoseconds. Like the counter it stands for, it does
    // not advance while the machine is suspended.
    static uint64_t Counter();
    // Numerator and denominator that turn counter ticks into nanoseconds (1/1).
    static void Timebase(uint32_t* numerator, uint32_t* denominator);
    // Sleeps the full duration, resuming after signals.
    static void SleepMicroseconds(uint64_t us);
    // The absolute time timeoutMs from now on clock, for the timed waits of
    // the locks and threads; QUV_LOCK_WAIT_FOREVER (0xFFFFFFFF) stands for
    // 365 days.
    static timespec Deadline(clockid_t clock, uint32_t timeoutMs);
};
