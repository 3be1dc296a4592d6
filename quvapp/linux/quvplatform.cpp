#include "quvapp/quvplatform.h"

// Linux keeps no per-display target gamma: the X server's gamma ramps describe
// the video card's correction (1.0 on most set-ups and under Xvfb), not the
// calibration target, so reading them would lighten every colour for nothing.
// Nor does a Linux program carry a bundle with version and information texts.

namespace quvplatform {

std::optional<float> displayTargetGamma()
{
    return std::nullopt;
}

std::optional<QString> bundleVersionString()
{
    return std::nullopt;
}

std::optional<QString> bundleInfoString()
{
    return std::nullopt;
}

} // namespace quvplatform
