#pragma once

// The codes by which the rest of the program names a camera parameter or
// action; callers spell them by name (ViscaMsg::ZoomValue). A code is a plain
// int because the codes 0 .. Count - 1 index the message table
// (viscamessages.cpp) and the value cache, and the Global presets walk them
// in order. The negative codes ask the device itself for something (open or
// close the serial line, a marker in its queue, nothing) and are never sent
// to a camera.

using eViscaMsg = int;

namespace ViscaMsg {
enum : int
{
    SerialOpen = -4,
    SerialClose = -3,
    Marker = -2,
    Nothing = -1,
    EptOnOff = 0,
    EptPosition = 1,
    DigitalZoom = 2,
    ZoomValue = 3,
    Iris = 4,
    ExposureMode = 5,
    FocusValue = 6,
    FocusMode = 7,
    VideoFormat = 8,
    ColorSpace = 9,
    BaudRate = 10,
    DelayMode = 11,
    CameraReset = 12,
    AddressSet = 13,
    Shutter = 14,
    ZoomStop = 15,
    ZoomWide = 16,
    ZoomTele = 17,
    Power = 18,
    Stabilizer = 19,
    NoiseReduction = 20,
    NoiseReduction2d3d = 21,
    Backlight = 22,
    InfraredCut = 23,
    Display = 24,
    FlipV = 25,
    FlipH = 26,
    ColorBar = 27,
    WhiteBalance = 28,
    WhiteBalanceTrigger = 29,
    Gain = 30,
    MemoryReset = 31,
    MemorySet = 32,
    MemoryRecall = 33,
    LensInitialize = 34,
    Mute = 35,
    CameraId = 36,
    SpotFocusOn = 37,
    SpotFocusPosition = 38,
    SpotExposureOn = 39,
    SpotExposurePosition = 40,
    RedGainReset = 41,
    BlueGainReset = 42,
    RedGain = 43,
    BlueGain = 44,
    Temperature = 45,
    GammaMode = 46,
    GammaPattern = 47,
    GammaOffset = 48,
    Brightness = 49,
    UserRegister0 = 50,
    UserRegister1 = 51,
    UserRegister2 = 52,
    ExposureCompOn = 53,
    ExposureCompValue = 54,
};
// Codes 0 .. Count - 1 are camera values, each with an entry in the value cache.
constexpr int Count = 55;
} // namespace ViscaMsg

// VISCA on/off values.
constexpr int VISCA_ON = 2;
constexpr int VISCA_OFF = 3;

// Auto-zoom as the panes and the status strip share it.
using eAutoZoomState = int;
namespace AutoZoom {
enum : int
{
    Stopped = 0,
    ZoomingWide = 1,
    ZoomingTele = 2
};
}
