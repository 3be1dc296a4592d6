#pragma once

// Internal to the base library and its tests.

#include <string>

namespace quvlog_internal {

// The name of the shared segment the debug log maps, "quv-shm-debug" unless
// changed. Tests give their own so that parallel runs and the developer's own
// log never meet. Null restores the default. A new name closes the log and
// unmaps the segment it kept mapped, so change it only while no thread uses
// the log.
void setSegmentName(const char* name);
std::string segmentName();

} // namespace quvlog_internal
