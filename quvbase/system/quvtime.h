#pragma once

// Monotonic clocks and a stopwatch. The clocks count from an arbitrary origin
// (not the epoch), never go backwards and are meant for differences and
// deadlines.

#include <cstdint>
#include <string>

// Unit of a QUVTimer. Every value other than 1 and 2 behaves as milliseconds.
enum QUVTimerPrecision : int32_t
{
    QUVTimerPrecisionMilliseconds = 0,
    QUVTimerPrecisionMicroseconds = 1,
    QUVTimerPrecisionNanoseconds = 2,
};

class QUVTime
{
public:
    QUVTime() = delete;

    // Raw reading of the platform's monotonic counter.
    static uint64_t GetSystemCounter();
    // Counts of GetSystemCounter() per second; computed once, then cached.
    static uint64_t GetSystemFrequency();
    // The counter converted to nanoseconds with the platform's timebase.
    static uint64_t GetSystemTime();
    // The counter in milliseconds, microseconds and nanoseconds (0 while the
    // frequency is unknown).
    static uint64_t GetSystemMilliseconds();
    static uint64_t GetSystemMicroseconds();
    static uint64_t GetSystemNanoseconds();

    // Sleep the calling thread; negative values sleep 0.
    static void Sleep(int ms);
    static void SleepInMicroseconds(int us);
};

// A stopwatch in milliseconds, microseconds or nanoseconds. Not for
// concurrent use: each user keeps its own.
class QUVTimer
{
public:
    explicit QUVTimer(QUVTimerPrecision precision = QUVTimerPrecisionMilliseconds);
    virtual ~QUVTimer();

    // Starts (or restarts) from now.
    void Start();
    // Freezes the elapsed time at now.
    void Stop();
    // Back to idle: start 0, stop 0, not running; the precision stays.
    void Reset();
    // (running ? now : stop) - start, in the timer's unit, modulo 2^32.
    uint32_t ElapsedTime() const;
    // ElapsedTime() >= interval.
    bool Timeout(uint32_t interval) const;
    bool IsRunning() const { return m_running; }
    QUVTimerPrecision Precision() const { return m_precision; }

    // "milliseconds", "microseconds", "nanoseconds" (or "ms", "us", "ns").
    static std::string PrecisionName(QUVTimerPrecision precision, bool longName);

protected:
    // The current time in the timer's unit.
    uint64_t now() const;

    uint64_t m_start = 0;
    uint64_t m_stop = 0;
    bool m_running = false;
    QUVTimerPrecision m_precision;
};
