#include "device/viscavalues.h"

#include <algorithm>
#include <iterator>

using namespace VideoFormat;

// clang-format off
const VideoFormatRow VIDEO_FORMATS[] = {
    { Uhd2997, "3840x2160 29.97p", "UHDp29.97", Hd5994 },
    { Uhd25, "3840x2160 25p", "UHDp25", Hd50 },
    { Hd5994, "1920x1080 59.94p", "1080p59.94", 0 },
    { Hd50, "1920x1080 50p", "1080p50", 0 },
    { 1, "1920x1080 29.97i", "1080i29.97", 0 },
    { 4, "1920x1080 25i", "1080i25", 0 },
    { 9, "1280x720 59.94p", "720p59.94", 0 },
    { 12, "1280x720 50p", "720p50", 0 },
    { 27, "720x480 59.94p", "NTSC", 0 },
    { 28, "720x576 50p", "PAL", 0 },
    { 6, nullptr, "1080p29.97", 0 },
    { 8, nullptr, "1080p25", 0 },
};
// clang-format on
const int VIDEO_FORMAT_COUNT = int(std::size(VIDEO_FORMATS));

const ColorSpaceRow COLOR_SPACES[] = { { 0, "YUV" }, { 1, "RGB" } };
const int COLOR_SPACE_COUNT = int(std::size(COLOR_SPACES));

const VideoFormatRow* videoFormatRow(int code)
{
    const auto row = std::find_if(
        std::begin(VIDEO_FORMATS), std::end(VIDEO_FORMATS), [code](const VideoFormatRow& r) { return r.code == code; });
    return row == std::end(VIDEO_FORMATS) ? nullptr : row;
}

bool isUhdFormat(int code)
{
    const VideoFormatRow* row = videoFormatRow(code);
    return row && row->eptzCode != 0;
}

namespace ViscaScale {

namespace {

// The iris value of each step.
const int IRIS_VALUES[IrisStepMax + 1] = { 0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17 };

const char* const SHUTTER_TEXTS[ShutterMax + 1]
    = { "1/1", "1/2", "1/4", "1/8", "1/15", "1/30", "1/60", "1/90", "1/100", "1/125", "1/180", "1/250", "1/350",
          "1/500", "1/725", "1/1000", "1/1500", "1/2000", "1/3000", "1/4000", "1/6000", "1/10000" };

} // namespace

int irisFromStep(int step)
{
    return IRIS_VALUES[std::clamp(step, 0, IrisStepMax)];
}

int irisToStep(int iris)
{
    const int value = std::clamp(iris, 0, IRIS_VALUES[IrisStepMax]);
    return int(std::lower_bound(std::begin(IRIS_VALUES), std::end(IRIS_VALUES), value) - std::begin(IRIS_VALUES));
}

int brightFromStep(int step)
{
    const int level = std::clamp(step, 0, BrightStepMax) + 4;
    return level < 5 ? 0 : level;
}

int brightToStep(int bright)
{
    return std::clamp(bright - 4, 0, BrightStepMax);
}

int gainFromStep(int step)
{
    return std::clamp(step, 0, GainStepMax) + 1;
}

int gainToStep(int gain)
{
    return std::clamp(gain - 1, 0, GainStepMax);
}

int focusFlip(int value)
{
    return FocusStepMax - std::clamp(value, 0, FocusStepMax);
}

const char* shutterText(int shutter)
{
    return SHUTTER_TEXTS[std::clamp(shutter, 0, ShutterMax)];
}

} // namespace ViscaScale
