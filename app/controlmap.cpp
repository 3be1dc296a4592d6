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
    { 12, 100 },
    { 0, 101 },
    { 1, 102 },
    { 2, 103 },
    { 13, 104 },
    { 3, 105 },
    { 4, 106 },
    { 5, 107 },
    { 14, 108 },
    { 6, 109 },
    { 7, 110 },
    { 8, 111 },
    { 15, 200 },
    { 10, 201 },
    { 9, 202 },
    { 11, 203 },
    { 16, 401 },
    { 17, 300 },
    { 18, 403 },
    { 19, 301 },
    { 20, 405 },
    { 21, 406 },
    { 25, 306 },
    { 26, 307 },
    { 22, 304 },
    { 23, 305 },
    { 24, 303 },
    { 27, 306 },
    { 28, 307 },
};

// Any other controller (a game pad).
const ButtonRow LAYOUT0_BUTTONS[] = {
    { 0, 404 },
    { 3, 301 },
    { 8, 304 },
    { 9, 303 },
    { 10, 306 },
    { 11, 307 },
    { 4, 300 },
    { 7, 401 },
    { 5, 403 },
    { 6, 406 },
    { 15, 200 },
    { 12, 201 },
    { 13, 202 },
    { 14, 203 },
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
