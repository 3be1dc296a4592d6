#include "quvbase/system/quvtime.h"

#include <algorithm>
#include <atomic>

#include "timeimpl.h"

namespace {

// Filled on first use without a lock: racing threads compute the same
// values, so each field only has to be safe to read while another thread
// stores it.
struct Timebase
{
    std::atomic<uint32_t> numerator { 0 };
    std::atomic<uint32_t> denominator { 0 };

    void fetch()
    {
        if (denominator.load(std::memory_order_acquire) != 0)
            return;
        uint32_t num = 0;
        uint32_t den = 0;
        QUVTimeImpl::Timebase(&num, &den);
        numerator.store(num, std::memory_order_relaxed);
        denominator.store(den, std::memory_order_release);
    }
};

Timebase s_frequencyTimebase;
// GetSystemTime keeps its own copy of the ratio.
Timebase s_timeTimebase;
std::atomic<uint64_t> s_frequency { 0 };
std::atomic<bool> s_frequencyComputed { false };

uint64_t convert(uint64_t counter, double factor)
{
    const uint64_t frequency = QUVTime::GetSystemFrequency();
    if (frequency == 0)
        return 0;
    // The cast of a double at or above 2^63 to uint64_t is well defined.
    return uint64_t(double(counter) / double(frequency) * factor);
}

} // namespace

uint64_t QUVTime::GetSystemCounter()
{
    return QUVTimeImpl::Counter();
}

uint64_t QUVTime::GetSystemFrequency()
{
    if (s_frequencyComputed.load(std::memory_order_acquire))
        return s_frequency.load(std::memory_order_relaxed);
    s_frequencyTimebase.fetch();
    const uint64_t numerator = s_frequencyTimebase.numerator.load(std::memory_order_relaxed);
    const uint64_t denominator = s_frequencyTimebase.denominator.load(std::memory_order_relaxed);
    const uint64_t nsPerSecondScaled = denominator ? numerator * 1000000000u / denominator : 0;
    const uint64_t frequency = nsPerSecondScaled ? 1000000000000000000u / nsPerSecondScaled : 0;
    s_frequency.store(frequency, std::memory_order_relaxed);
    s_frequencyComputed.store(true, std::memory_order_release);
    return frequency;
}

uint64_t QUVTime::GetSystemTime()
{
    const uint64_t counter = GetSystemCounter();
    s_timeTimebase.fetch();
    const uint64_t denominator = s_timeTimebase.denominator.load(std::memory_order_relaxed);
    if (denominator == 0)
        return 0;
    return counter * s_timeTimebase.numerator.load(std::memory_order_relaxed) / denominator;
}

uint64_t QUVTime::GetSystemMilliseconds()
{
    return convert(GetSystemCounter(), 1e3);
}

uint64_t QUVTime::GetSystemMicroseconds()
{
    return convert(GetSystemCounter(), 1e6);
}

uint64_t QUVTime::GetSystemNanoseconds()
{
    return convert(GetSystemCounter(), 1e9);
}

void QUVTime::Sleep(int ms)
{
    // 64-bit product: a 32-bit one would wrap above 4,294,967 ms.
    QUVTimeImpl::SleepMicroseconds(uint64_t(std::max(ms, 0)) * 1000u);
}

void QUVTime::SleepInMicroseconds(int us)
{
    QUVTimeImpl::SleepMicroseconds(uint64_t(std::max(us, 0)));
}

QUVTimer::QUVTimer(QUVTimerPrecision precision)
    : m_precision(precision)
{ }

QUVTimer::~QUVTimer() = default;

uint64_t QUVTimer::now() const
{
    switch (m_precision) {
    case QUVTimerPrecisionMicroseconds:
        return QUVTime::GetSystemMicroseconds();
    case QUVTimerPrecisionNanoseconds:
        return QUVTime::GetSystemNanoseconds();
    default:
        return QUVTime::GetSystemMilliseconds();
    }
}

void QUVTimer::Start()
{
    m_start = now();
    m_running = true;
}

void QUVTimer::Stop()
{
    m_stop = now();
    m_running = false;
}

void QUVTimer::Reset()
{
    m_start = 0;
    m_stop = 0;
    m_running = false;
}

uint32_t QUVTimer::ElapsedTime() const
{
    // Only the low 32 bits take part, so the difference is right across a
    // 2^32 boundary as long as less than one full wrap has passed.
    const uint32_t end = uint32_t(m_running ? now() : m_stop);
    return end - uint32_t(m_start);
}

bool QUVTimer::Timeout(uint32_t interval) const
{
    return ElapsedTime() >= interval;
}

std::string QUVTimer::PrecisionName(QUVTimerPrecision precision, bool longName)
{
    switch (precision) {
    case QUVTimerPrecisionMicroseconds:
        return longName ? "microseconds" : "us";
    case QUVTimerPrecisionNanoseconds:
        return longName ? "nanoseconds" : "ns";
    default:
        return longName ? "milliseconds" : "ms";
    }
}
