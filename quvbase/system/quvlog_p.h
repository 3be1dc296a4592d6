#pragma once

// Internal to the base library and its tests.

#include <string>

namespace quvlog_internal {

// The name of the shared segment the debug log maps, "quv-shm-debug" unless
// changed. Tests give their own so that parallel runs and the developer's own
// log never meet. Change it only while the log is closed; null restores the
// default.
void setSegmentName(const char* name);
std::string segmentName();

} // namespace quvlog_internal
