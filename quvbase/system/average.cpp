#include "quvbase/system/quvaverage.h"

#include <algorithm>

#include "quvbase/system/quvtime.h"

QUVRunAverage::QUVRunAverage(uint64_t size)
    : m_size(size)
    , m_samples(size, 0)
{ }

QUVRunAverage::~QUVRunAverage() = default;

void QUVRunAverage::Resize(uint64_t size)
{
    m_size = size;
    m_samples.resize(size, 0);
    Reset();
}

void QUVRunAverage::Reset()
{
    m_count = 0;
    std::fill(m_samples.begin(), m_samples.end(), 0);
}

void QUVRunAverage::Mark(int64_t value)
{
    // A ring of size 0 has no slot; the modulo below would divide by zero.
    if (m_size == 0)
        return;
    m_samples[m_count % m_size] = value;
    ++m_count;
}

int64_t QUVRunAverage::MarkAverage(int64_t value)
{
    Mark(value);
    return Average();
}

int64_t QUVRunAverage::Average() const
{
    const uint64_t n = std::min(m_count, m_size);
    if (n == 0)
        return 0;
    uint64_t sum = 0;
    for (uint64_t i = 0; i < n; ++i)
        sum += uint64_t(m_samples[i]);
    return int64_t(sum / n);
}

int64_t QUVRunAverage::LastValue() const
{
    if (m_count == 0 || m_size == 0)
        return -1;
    return m_samples[(m_count - 1) % m_size];
}

QUVRunTimeAverage::QUVRunTimeAverage(int size)
    : QUVRunAverage(uint64_t(std::max(size, 0)))
{
    // Constructors do not dispatch virtually; this is the derived Reset.
    QUVRunTimeAverage::Reset();
    m_lastTime = QUVTime::GetSystemMicroseconds();
}

QUVRunTimeAverage::~QUVRunTimeAverage() = default;

void QUVRunTimeAverage::Resize(uint64_t size)
{
    QUVRunAverage::Resize(size);
}

void QUVRunTimeAverage::Reset()
{
    QUVRunAverage::Reset();
    ResetTime();
}

void QUVRunTimeAverage::ResetTime()
{
    m_lastTime = QUVTime::GetSystemMicroseconds();
}

int64_t QUVRunTimeAverage::MarkDeltaTime()
{
    const uint64_t now = QUVTime::GetSystemMicroseconds();
    const int64_t delta = int64_t(now - m_lastTime);
    m_lastTime = now;
    Mark(delta);
    return delta;
}

int64_t QUVRunTimeAverage::MarkDeltaAverage()
{
    MarkDeltaTime();
    return Average();
}
