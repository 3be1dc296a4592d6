#pragma once

// The map from a controller's button and axis numbers to operation codes
// (panes/taqoop.h) for the two controller layouts.

#include "panes/taqoop.h"

#include <QMap>
#include <QObject>

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
