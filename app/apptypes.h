#pragma once

// Values of the main window's preset store and preset files. They are stored
// in the preferences as plain numbers, so each has a fixed underlying int.

// The kind of preset the sixteen preset buttons act on.
enum PresetType : int
{
    PresetTypeEptz = 0, // ePTZ window positions, in the preferences
    PresetTypeGlobal = 1, // snapshots of the camera settings, in the preferences
    PresetTypeCamera = 2, // the camera's own memories
};

// The look of a preset button.
enum PresetButtonType : int
{
    PresetButtonEmpty = 0,
    PresetButtonSet = 1,
};

// Which remembered file location an operation uses.
enum LocationType : int
{
    LocationPresetFile = 1, // preset import and export
};
