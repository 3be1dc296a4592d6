#include "app/controlmap.h"

#include <iterator>

namespace {

struct ButtonRow
{
    int button;
    TaqoOp op;
};

struct AxisRow
{
    int axis;
    TaqoOp op;
    bool reverse;
};

struct Layout
{
    const ButtonRow* buttons;
    int buttonCount;
    const AxisRow* axes;
    int axisCount;
};

// The camera joystick: presets 1 to 12 and camera slots 1 to 4 have buttons;
// 25/27 and 26/28 are two buttons each for the exposure steps.
const ButtonRow LAYOUT1_BUTTONS[] = {
    { 12, TaqoOpPreset1 },
    { 0, TaqoOpPreset2 },
    { 1, TaqoOpPreset3 },
    { 2, TaqoOpPreset4 },
    { 13, TaqoOpPreset5 },
    { 3, TaqoOpPreset6 },
    { 4, TaqoOpPreset7 },
    { 5, TaqoOpPreset8 },
    { 14, TaqoOpPreset9 },
    { 6, TaqoOpPreset10 },
    { 7, TaqoOpPreset11 },
    { 8, TaqoOpPreset12 },
    { 15, TaqoOpCamera1 },
    { 10, TaqoOpCamera2 },
    { 9, TaqoOpCamera3 },
    { 11, TaqoOpCamera4 },
    { 16, TaqoOpHeldAperture },
    { 17, TaqoOpAutoExposure },
    { 18, TaqoOpHeldFocus },
    { 19, TaqoOpWindowToggle },
    { 20, TaqoOpHeldPresetSet },
    { 21, TaqoOpFocusAutoPush },
    { 25, TaqoOpExposureDown },
    { 26, TaqoOpExposureUp },
    { 22, TaqoOpZoomWide },
    { 23, TaqoOpZoomStop },
    { 24, TaqoOpZoomTele },
    { 27, TaqoOpExposureDown },
    { 28, TaqoOpExposureUp },
};

// Any other controller (a game pad).
const ButtonRow LAYOUT0_BUTTONS[] = {
    { 0, TaqoOpHeldPresetRecall },
    { 3, TaqoOpWindowToggle },
    { 8, TaqoOpZoomWide },
    { 9, TaqoOpZoomTele },
    { 10, TaqoOpExposureDown },
    { 11, TaqoOpExposureUp },
    { 4, TaqoOpAutoExposure },
    { 7, TaqoOpHeldAperture },
    { 5, TaqoOpHeldFocus },
    { 6, TaqoOpFocusAutoPush },
    { 15, TaqoOpCamera1 },
    { 12, TaqoOpCamera2 },
    { 13, TaqoOpCamera3 },
    { 14, TaqoOpCamera4 },
};

// Axis 1 (the stick's Y) reads positive downward, hence reversed.
const AxisRow LAYOUT1_AXES[] = {
    { 0, TaqoOpAxisX, false },
    { 1, TaqoOpAxisY, true },
    { 2, TaqoOpAxisZ, false },
    { 3, TaqoOpAxisS, false },
};

const AxisRow LAYOUT0_AXES[] = {
    { 0, TaqoOpAxisX, false },
    { 1, TaqoOpAxisY, true },
    { 2, TaqoOpAxisZ, false },
    { 3, TaqoOpNone, false },
};

const Layout LAYOUTS[2] = {
    { LAYOUT0_BUTTONS, int(std::size(LAYOUT0_BUTTONS)), LAYOUT0_AXES, int(std::size(LAYOUT0_AXES)) },
    { LAYOUT1_BUTTONS, int(std::size(LAYOUT1_BUTTONS)), LAYOUT1_AXES, int(std::size(LAYOUT1_AXES)) },
};

// Raw axis values within +-4096 of the centre are the stick at rest.
const int DEAD_ZONE = 4096;

} // namespace

bool ControlMap::buttonSupported(int button)
{
    return m_buttons.contains(button);
}

TaqoOp ControlMap::buttonOp(int button)
{
    return m_buttons.value(button, TaqoOpNone);
}

bool ControlMap::buttonOpIsPush(TaqoOp op)
{
    return op >= TaqoOpHeld && op <= TaqoOpFocusAutoPush;
}

MapType ControlMap::mapType()
{
    return m_mapType;
}

void ControlMap::mapTypeSet(MapType type)
{
    m_mapType = type;
    m_buttons.clear();
    m_axes.clear();
    m_axesReverse.clear();
    const Layout& layout = LAYOUTS[type == 1 ? 1 : 0];
    for (int i = 0; i < layout.buttonCount; ++i)
        m_buttons.insert(layout.buttons[i].button, layout.buttons[i].op);
    for (int i = 0; i < layout.axisCount; ++i) {
        m_axes.insert(layout.axes[i].axis, layout.axes[i].op);
        m_axesReverse.insert(layout.axes[i].axis, layout.axes[i].reverse);
    }
}

TaqoOp ControlMap::axesOp(int axis)
{
    return m_axes.value(axis, TaqoOpNone);
}

int ControlMap::axesDeadZone(int)
{
    return DEAD_ZONE;
}

bool ControlMap::axesIsReverse(int axis)
{
    return m_axesReverse.value(axis, false);
}
