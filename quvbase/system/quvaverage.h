#pragma once

// Running averages over a ring of 64-bit samples.

#include <cstdint>
#include <vector>

// The average of the last ring-size samples marked. Meant for non-negative
// samples (times, sizes): the sum is taken as unsigned. A ring of size 0
// ignores every sample.
class QUVRunAverage
{
public:
    explicit QUVRunAverage(uint64_t size);
    virtual ~QUVRunAverage();

    // Changes the ring size and empties it.
    virtual void Resize(uint64_t size);
    // Forgets every sample.
    virtual void Reset();

    void Mark(int64_t value);
    int64_t MarkAverage(int64_t value);
    // 0 while nothing has been marked.
    int64_t Average() const;
    // -1 while nothing has been marked.
    int64_t LastValue() const;

protected:
    // Samples ever marked since the last reset.
    uint64_t m_count = 0;
    uint64_t m_size = 0;
    std::vector<int64_t> m_samples;
};

// A running average of the microseconds between calls of MarkDeltaTime.
class QUVRunTimeAverage : public QUVRunAverage
{
public:
    // A negative size gives a ring of size 0.
    explicit QUVRunTimeAverage(int size);
    ~QUVRunTimeAverage() override;

    void Resize(uint64_t size) override;
    // Forgets every sample and restarts the time measurement.
    void Reset() override;
    // Restarts the time measurement only.
    virtual void ResetTime();

    // Marks and returns the microseconds since the last mark (or reset).
    int64_t MarkDeltaTime();
    // As MarkDeltaTime, returning the average.
    int64_t MarkDeltaAverage();

private:
    uint64_t m_lastTime = 0;
};
