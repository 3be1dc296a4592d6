#pragma once

// The operation codes of the controller and the keyboard: the controller
// poll emits them, the main window acts on them, and a pane's buttonClick
// receives the ones it acts on itself.

// One operation of the controller or the keyboard. Presets and camera slots
// count from their first code (preset index = op - TaqoOpPreset1).
typedef int TaqoOp;

enum : TaqoOp
{
    TaqoOpNone = 0,
    TaqoOpPreset1 = 100, // 100..115: presets 1 to 16
    TaqoOpPreset2,
    TaqoOpPreset3,
    TaqoOpPreset4,
    TaqoOpPreset5,
    TaqoOpPreset6,
    TaqoOpPreset7,
    TaqoOpPreset8,
    TaqoOpPreset9,
    TaqoOpPreset10,
    TaqoOpPreset11,
    TaqoOpPreset12,
    TaqoOpPreset13,
    TaqoOpPreset14,
    TaqoOpPreset15,
    TaqoOpPreset16,
    TaqoOpCamera1 = 200, // 200..207: camera slots 1 to 8
    TaqoOpCamera2,
    TaqoOpCamera3,
    TaqoOpCamera4,
    TaqoOpCamera5,
    TaqoOpCamera6,
    TaqoOpCamera7,
    TaqoOpCamera8,
    TaqoOpAutoExposure = 300, // toggle the camera pane's auto exposure
    TaqoOpWindowToggle = 301, // minimise the main window, or maximise it when minimised
    TaqoOpZoomTele = 303, // one zoom step toward tele
    TaqoOpZoomWide = 304, // one zoom step toward wide
    TaqoOpZoomStop = 305,
    TaqoOpExposureDown = 306, // one exposure step darker
    TaqoOpExposureUp = 307, // one exposure step brighter
    TaqoOpHeld = 400, // held without a consumer
    TaqoOpHeldAperture = 401, // held: the Z axis drives the aperture
    TaqoOpHeldFocus = 403, // held: the Z axis drives the focus
    TaqoOpHeldPresetRecall = 404, // held: camera slot buttons recall presets
    TaqoOpHeldPresetSet = 405, // held: preset buttons store presets
    TaqoOpFocusAutoPush = 406, // momentary auto focus while held
    TaqoOpAxisX = 1000,
    TaqoOpAxisY = 1001,
    TaqoOpAxisZ = 1002,
    TaqoOpAxisS = 1003,
};
static_assert(TaqoOpPreset16 == 115 && TaqoOpCamera8 == 207, "16 presets and 8 camera slots");
