#pragma once

// The values of camera messages that more than one part of the program names:
// exposure, zoom and focus modes, output formats and colour spaces, and the
// scales in which the camera pane's sliders and the status strip show iris,
// brightness, gain, focus and shutter. Each is written here once; the panes,
// the presets and the status strip use these names.

// Exposure modes (message 5).
namespace ExposureMode {
enum : int
{
    Auto = 0,
    Manual = 3,
    ShutterPriority = 10,
    IrisPriority = 11,
    Bright = 13, // iris and gain as one brightness level (message 49)
};
} // namespace ExposureMode

// Digital-zoom modes (message 2).
namespace ZoomMode {
enum : int
{
    Digital = 2, // optical and digital, to 144x
    Optical = 3, // to 12x
    Super = 4, // to 20x
};
} // namespace ZoomMode

// Focus modes (message 7).
namespace FocusMode {
enum : int
{
    Auto = 2,
    Manual = 3,
    // The camera's auto/manual toggle: what switching automatic focus off
    // sends; the camera then reports the mode it went to.
    Toggle = 16,
};
} // namespace FocusMode

// Output video formats (message 8) that the program names by themselves.
namespace VideoFormat {
enum : int
{
    Hd5994 = 19, // 1920x1080 59.94p
    Hd50 = 20, // 1920x1080 50p
    Uhd2997 = 29, // 3840x2160 29.97p
    Uhd25 = 30, // 3840x2160 25p
};
} // namespace VideoFormat

// One output video format: its code, the settings pane's choice (null for a
// format the pane does not offer), the status strip's text, and for a UHD
// format the HD format the camera sends while ePTZ cuts its window (0 for
// every other format).
struct VideoFormatRow
{
    int code;
    const char* settingsText;
    const char* statusText;
    int eptzCode;
};
// In the order of the settings pane's choices; the formats it does not offer last.
extern const VideoFormatRow VIDEO_FORMATS[];
extern const int VIDEO_FORMAT_COUNT;
// The row of code; null for a code not in the table.
const VideoFormatRow* videoFormatRow(int code);
// Whether code is a UHD format, the only kind that carries an ePTZ window.
bool isUhdFormat(int code);

// One output colour space (message 9): its code and its text, the same in
// the settings pane and the status strip.
struct ColorSpaceRow
{
    int code;
    const char* text;
};
extern const ColorSpaceRow COLOR_SPACES[];
extern const int COLOR_SPACE_COUNT;

// The scales of the camera pane's sliders and the status strip: a step is a
// slider position (0 .. the scale's maximum), which SegmentSlider captions.
// A step or a camera value outside its range counts as the nearest end.
namespace ViscaScale {
// Iris (message 4): Close, f14 .. f1.8.
constexpr int IrisStepMax = 13;
int irisFromStep(int step);
// The first step whose iris value is at least iris.
int irisToStep(int iris);
// Brightness (message 49, exposure mode 13): camera value = step + 4, and 0
// (closed) for step 0.
constexpr int BrightStepMax = 28;
int brightFromStep(int step);
int brightToStep(int bright);
// Gain (message 30): 0 .. 33 dB in 3 dB steps, camera value = step + 1.
constexpr int GainStepMax = 11;
int gainFromStep(int step);
int gainToStep(int gain);
// Focus (message 6): the scale runs opposite to the camera value, so one
// mapping serves both ways.
constexpr int FocusStepMax = 57344;
int focusFlip(int value);
// Shutter (message 14): the camera value is the row, "1/1" .. "1/10000".
constexpr int ShutterMax = 21;
const char* shutterText(int shutter);
} // namespace ViscaScale
