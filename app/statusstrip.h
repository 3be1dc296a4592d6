#pragma once

// The texts of the main window's status strip and warning line. The strip
// shows the selected camera's cached values only: it never talks to a camera.

#include "app/windowlayout.h"
#include "panes/panetypes.h"

#include <QString>

class DeviceInterface;
class QLabel;

namespace statusstrip {

QString warningText(WarningType type);
// Output format (message 8); the UHD formats show the HD format sent out while ePTZ is on.
QString formatText(int format, bool eptzOn);
// Colour space (message 9).
QString colorSpaceText(int colorSpace);
// ePTZ on/off (message 0).
QString eptzText(int eptz);
// Zoom position (message 3) in the scale of the digital-zoom mode (message 2).
QString zoomText(int zoom, int zoomMode);
// Focus (message 6), shutter (message 14), and iris (message 4) or, in
// exposure mode 13, brightness (message 49), over gain (message 30).
QString focusText(int focus);
QString shutterText(int shutter);
QString apertGainText(int exposureMode, int iris, int brightness, int gain);

// Sets each label, in windowlayout::StatusField order, to its text from
// device's cache (a value not cached shows its default), only where the text
// changes.
void refresh(QLabel* const labels[windowlayout::StatusFieldCount], const DeviceInterface& device,
    bool joystickAttached);

} // namespace statusstrip
