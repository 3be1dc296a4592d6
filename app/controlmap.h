#pragma once

// Controller and keyboard operation codes, and the map from a controller's
// button and axis numbers to them for the two controller layouts.

#include <QMap>
#include <QObject>

// One operation of the controller or the keyboard. Presets and camera slots
// count from their first code (preset index = op - TaqoOpPreset1).
typedef int TaqoOp;

enum : TaqoOp
{
    TaqoOpNone = 0,
    TaqoOpPreset1 = 100, // 100..115: presets 1 to 16
    TaqoOpPreset16 = 115,
    TaqoOpCamera1 = 200, // 200..207: camera slots 1 to 8
    TaqoOpCamera8 = 207,
    TaqoOpAutoExposure = 300, // toggle the camera pane's auto exposure
    TaqoOpWindowToggle = 301, // minimise the main window, or maximise it when minimised
    TaqoOpZoomTele = 303, // one zoom step toward tele
    TaqoOpZoomWide = 304, // one zoom step toward wide
    TaqoOpZoomStop = 305,
    TaqoOpExposureDown = 306,
    TaqoOpExposureUp = 307,
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

// Controller layout: 1 for a joystick whose name contains "VM", 0 for any other.
typedef int MapType;

class ControlMap : public QObject
{
    Q_OBJECT

public:
    // Whether the layout's button table has the button.
    virtual bool buttonSupported(int button);
    // The button's operation, TaqoOpNone when the table does not have it.
    virtual TaqoOp buttonOp(int button);
    // Push operations (400..406) are reported on press and on release.
    virtual bool buttonOpIsPush(TaqoOp op);
    virtual MapType mapType();
    // Stores the layout and refills the three maps from its tables (layout 1
    // for 1, layout 0 for any other value).
    virtual void mapTypeSet(MapType type);
    // The axis's operation, TaqoOpNone when the table does not have it.
    virtual TaqoOp axesOp(int axis);
    // Raw values from -deadZone to deadZone count as the resting stick.
    virtual int axesDeadZone(int axis);
    virtual bool axesIsReverse(int axis);

private:
    QMap<int, TaqoOp> m_buttons;
    QMap<int, TaqoOp> m_axes;
    QMap<int, bool> m_axesReverse;
    MapType m_mapType = 0;
};
