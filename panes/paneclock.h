#pragma once

#include "quvbase/system/quvtime.h"

#include <cstdint>

// The millisecond clock of the panes: their re-read deadlines and the jog's
// press timing. It is QUVTime::GetSystemMilliseconds(); a test may put a clock
// of its own in its place, so that time-dependent behaviour can be stepped
// through without waiting for it.
namespace paneclock {

using Source = uint64_t (*)();

// Milliseconds on a monotonic count (the test source while one is set).
uint64_t now_ms();

// Replaces the clock; null gives the monotonic clock back. GUI thread only.
void setSourceForTesting(Source source);

} // namespace paneclock

// A millisecond stopwatch on the panes' clock. With the monotonic clock it is
// a QUVTimer of millisecond precision; with a test source it counts that
// source's milliseconds.
class PaneStopwatch
{
public:
    void Start();
    // now - start in milliseconds, modulo 2^32 as QUVTimer counts.
    uint32_t ElapsedTime() const;

private:
    QUVTimer m_timer { QUVTimerPrecisionMilliseconds };
    uint64_t m_start_ms = 0;
    bool m_onTestSource = false;
};
