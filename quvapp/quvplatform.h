#pragma once

#include <optional>

#include <QString>

// What the widget library asks of the platform. Every answer may be "none";
// the callers then fall back as documented at each use.
namespace quvplatform {

// The target gamma the user calibrated for the main display (such as 1.8 or 2.2).
std::optional<float> displayTargetGamma();

// The application bundle's version text and its information (copyright) text.
std::optional<QString> bundleVersionString();
std::optional<QString> bundleInfoString();

} // namespace quvplatform
