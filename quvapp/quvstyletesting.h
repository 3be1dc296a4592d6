#pragma once

#include <optional>

// Test seam of the style's colour correction. Not for application code.
namespace quvstyletesting {

// Makes the style see this display target gamma instead of the platform's
// answer (std::nullopt: the platform has none) and forgets the cached gamma,
// so that the next colour correction reads it again.
void setDisplayTargetGamma(std::optional<float> gamma);

// Back to the platform's answer, with the cache forgotten.
void resetDisplayTargetGamma();

} // namespace quvstyletesting
