#pragma once

// The main window's fixed layout: every control's place, texts and style
// sheets, one row per control. The window has no layout manager; positions
// are window coordinates, the panes' rectangle frame coordinates.

#include <QRect>
#include <QString>

namespace windowlayout {

constexpr int WINDOW_WIDTH = 762;
constexpr int WINDOW_HEIGHT = 572;

struct Control
{
    const char* name; // object name
    int x;
    int y;
    int width;
    int height;
    const char* text; // placeholder text, or the picture for a picture label
    const char* toolTip;

    QRect rect() const { return QRect(x, y, width, height); }
};

extern const Control PANE_FRAME;
extern const Control POWER_BUTTON;
extern const Control HERO;
extern const Control WARNING;
extern const Control WAITING;
extern const Control LOGO;
extern const Control PRESET_TYPE;

// The status strip, left group then right group.
enum StatusField : int
{
    StatusFormat,
    StatusColorSpace,
    StatusEptz,
    StatusJoystick,
    StatusZoom,
    StatusFocus,
    StatusShutter,
    StatusApertGain,
    StatusFieldCount
};
extern const Control STATUS_LABELS[StatusFieldCount];

constexpr int PRESET_COUNT = 16;
constexpr int PRESET_BUTTON_Y = 427;
constexpr int PRESET_BUTTON_WIDTH = 25;
constexpr int PRESET_BUTTON_HEIGHT = 21;
// Left edge of the preset buttons, i in 0..15: spread evenly between the kind
// icon and the window's right margin, rounded half away from zero.
int presetButtonX(int index);

constexpr int CAMERA_COUNT = 8;
constexpr int CAMERA_BUTTON_Y = 460;
constexpr int CAMERA_BUTTON_WIDTH = 55;
constexpr int CAMERA_BUTTON_HEIGHT = 36;
// Left edge of the camera buttons, slot in 0..7.
int cameraButtonX(int slot);

// The pane tabs: size of their picture, top edge 66 px minus their height,
// the first at x 60, each next 10 px right of the previous one.
constexpr int PANE_COUNT = 3;
QRect paneButtonRect(int index, int width, int height);
// Where the panes lie inside a frame of the given size.
QRect paneRect(int frameWidth, int frameHeight);

// The picture whose size gives the pane tabs'.
extern const char* const PANE_BUTTON_PICTURE;
constexpr int PANE_BUTTON_FALLBACK_WIDTH = 133;
constexpr int PANE_BUTTON_FALLBACK_HEIGHT = 27;

// The power button's sheet, and the same with the preset buttons' and the
// camera buttons' pictures (preset_off ..., camera_off ...).
QString powerSheet();
QString presetSheet();
QString cameraSheet();
// The text colour rule of a preset button's number, which the sheets above
// start with as the empty look's.
extern const char* const PRESET_NUMBER_EMPTY;
extern const char* const PRESET_NUMBER_SET;
// A pane tab's sheet (index 0 camera, 1 ePTZ, 2 settings): its b_active_ and
// b_nonactive_ pictures.
QString paneButtonSheet(int index);
extern const char* const STATUS_SHEET;
extern const char* const WARNING_SHEET;

} // namespace windowlayout
