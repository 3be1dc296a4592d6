#pragma once

// Values the panes and the main window exchange. They travel as plain numbers
// (the main window forwards whatever a pane raised), so each enumeration has a
// fixed underlying int and values outside the named ones stay well defined.

#include "device/viscamessage.h"

#include <QMetaType>

// The kind of re-read a pane asks for with sig_resync and receives in uiResync.
enum ResyncType : int
{
    ResyncAll = 0, // full re-read of a pane from the camera
    ResyncEptz = 1, // ePTZ on/off or position changed
    ResyncSlot = 2, // the camera's slot number changed
    ResyncRestart = 3, // the camera must restart
    ResyncName = 4, // the camera's name changed
    ResyncApplyOutput = 5, // apply the pending output settings
    ResyncFlipV = 6, // the picture's vertical flip changed
    ResyncFocus = 7, // the focus must be re-read
};

// The warning a pane asks the main window to show with sig_postWarning.
enum WarningType : int
{
    // The focus cannot be changed by the user while auto-zoom is active.
    WarningFocusDuringAutoZoom = 0,
};

// Index of a pane in the main window's pane list and of its pane button.
enum PaneType : int
{
    PaneTypeCamera = 0,
    PaneTypeEptz = 1,
    PaneTypeSettings = 2,
};

Q_DECLARE_METATYPE(ResyncType)
Q_DECLARE_METATYPE(WarningType)
Q_DECLARE_METATYPE(PaneType)
