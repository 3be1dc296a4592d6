#pragma once

// A millisecond clock that stands still until the test moves it, for the
// panes' clock (paneclock::setSourceForTesting(quvtest::steppedClock)): the
// re-read windows, the jog's press timing and the main window's countdowns
// are then stepped through without waiting for them.

#include <cstdint>

namespace quvtest {

// The clock's reading; a test moves it on (or sets it) by hand.
inline uint64_t clock_ms = 5000000;

inline uint64_t steppedClock()
{
    return clock_ms;
}

} // namespace quvtest
