#include "app/windowlayout.h"

#include "panes/paneui.h"

#include <cmath>

namespace windowlayout {

namespace {
constexpr int PANE_FRAME_Y = 50;
constexpr int PANE_FRAME_HEIGHT = 462;
constexpr int STATUS_HEIGHT = 20;
} // namespace

const Control PANE_FRAME { "paneFrame", 50, PANE_FRAME_Y, 662, PANE_FRAME_HEIGHT, "", "" };
const Control POWER_BUTTON { "powerButton", 725, 10, 26, 28, "", "" };
// Centred in the window.
const Control HERO { "heroLabel", (WINDOW_WIDTH - 625) / 2, (WINDOW_HEIGHT - 412) / 2, 625, 412,
    ":/media/taqocam_hero.png",
    "Make sure TaqoRx is powered and its USB cable\nis connected to host computer. Check that\nthe HDbaseT cable is "
    "connected to the TaqoCam." };
const Control WARNING { "warningLabel", 7, 2, 650, 20, "Test informational warning here...", "" };
// 40 px above the picture's bottom edge, as wide as the picture.
const Control WAITING { "waitingLabel", HERO.x, HERO.y + HERO.height - 40, HERO.width, 20,
    "Waiting for TaqoCam connection...", HERO.toolTip };
const Control LOGO { "logoLabel", 332, 531, 97, 22, ":/media/quv_logo.png", "" };
const Control PRESET_TYPE { "presetTypeLabel", 95, 422, 25, 25, ":/media/preset_eptz.png",
    "Presets Control Group\nRight click for options." };

// Left group from the frame's left edge + 9, each 5 px after the previous;
// right group from the frame's right edge - 45, each 5 px before the previous;
// all 2 px below the frame's last row.
constexpr int STATUS_Y = PANE_FRAME_Y + PANE_FRAME_HEIGHT + 1;
const Control STATUS_LABELS[StatusFieldCount] = {
    { "formatLabel", 59, STATUS_Y, 78, STATUS_HEIGHT, "1080p59.94", "Output video format" },
    { "colorSpaceLabel", 142, STATUS_Y, 36, STATUS_HEIGHT, "YUV", "Output video colorspace" },
    { "eptzLabel", 183, STATUS_Y, 56, STATUS_HEIGHT, "EPTZ On", "EPTZ enable state" },
    { "joystickLabel", 244, STATUS_Y, 65, STATUS_HEIGHT, "", "Joystick controller attached" },
    { "zoomLabel", 666, STATUS_Y, 36, STATUS_HEIGHT, "400x", "Zoom multiplier" },
    { "focusLabel", 607, STATUS_Y, 54, STATUS_HEIGHT, "1500mm", "Focus value" },
    { "shutterLabel", 548, STATUS_Y, 54, STATUS_HEIGHT, "1/10000", "Shutter speed" },
    { "apertGainLabel", 480, STATUS_Y, 63, STATUS_HEIGHT, "F5.6/12db", "F-Stop/Gain values" },
};

const char* const PANE_BUTTON_PICTURE = ":/media/b_nonactive_camera.png";
const char* const STATUS_SHEET = "color: rgb(121,121,121);";
const char* const WARNING_SHEET = "color: rgb(67,149,194);";

int presetButtonX(int index)
{
    const double step = double(WINDOW_WIDTH - 2 * PRESET_TYPE.x - PRESET_BUTTON_WIDTH) / PRESET_COUNT;
    return int(std::round(PRESET_TYPE.x + (index + 1) * step));
}

int cameraButtonX(int slot)
{
    const int left = PRESET_TYPE.x - 2;
    const double step = double(WINDOW_WIDTH - 2 * left - CAMERA_BUTTON_WIDTH) / (CAMERA_COUNT - 1);
    return int(std::round(left + slot * step));
}

QRect paneButtonRect(int index, int width, int height)
{
    return QRect(60 + index * (width + 10), 66 - height, width, height);
}

QRect paneRect(int frameWidth, int frameHeight)
{
    return QRect(0, 16, frameWidth, frameHeight - 69);
}

// A preset button's number: black while the preset is empty, light grey once
// it is set. The power, preset and camera buttons' sheets start with the empty
// look's colour, which the preset store swaps.
const char* const PRESET_NUMBER_EMPTY = "color:rgb(0,0,0);";
const char* const PRESET_NUMBER_SET = "color:rgb(210,210,210);";

namespace {

// The power, preset and camera buttons: the stem's off, on, press and disabled pictures.
const paneui::ImageButtonLook SWITCH_BUTTON_LOOK = {
    PRESET_NUMBER_EMPTY, "%1_off", "background-repeat: no-repeat;border:0;margin:0;padding:0;padding-bottom:2;",
    { { ":!checked", "%1_off" }, { ":checked", "%1_on" }, { ":pressed", "%1_press" }, { ":disabled", "%1_disabled" } }
};

// The pane tabs: the stem's active and non-active pictures.
const paneui::ImageButtonLook PANE_BUTTON_LOOK = { "", "b_active_%1", "border:0;margin:0;padding:0;",
    { { ":!checked", "b_nonactive_%1" }, { ":checked", "b_active_%1" }, { nullptr, nullptr } } };
const char* const PANE_BUTTON_STEMS[PANE_COUNT] = { "camera", "eptz", "settings" };

} // namespace

QString powerSheet()
{
    return paneui::imageButtonSheet(SWITCH_BUTTON_LOOK, QStringLiteral("power"));
}

QString presetSheet()
{
    return paneui::imageButtonSheet(SWITCH_BUTTON_LOOK, QStringLiteral("preset"));
}

QString cameraSheet()
{
    return paneui::imageButtonSheet(SWITCH_BUTTON_LOOK, QStringLiteral("camera"));
}

QString paneButtonSheet(int index)
{
    return paneui::imageButtonSheet(
        PANE_BUTTON_LOOK, QLatin1String(PANE_BUTTON_STEMS[qBound(0, index, PANE_COUNT - 1)]));
}

} // namespace windowlayout
