#pragma once

// The ePTZ and Global presets in the preference store: their keys, the
// snapshot and recall of a preset on a camera, and their JSON form for preset
// files. Nothing here touches a widget; the main window adds the dialogs,
// buttons and menus. Every function builds its own default QSettings.

#include "app/apptypes.h"

#include <QString>

class DeviceInterface;
class QJsonObject;
class QSettings;

// "Eptz", "Global", "Camera"; empty for any other value.
QString presetTypeString(PresetType type);

// Stores the value of key in object as an int under key, when object holds
// it as a whole number; a value of another JSON type is skipped with a
// warning, an absent key changes nothing.
void presetWriteToPref(const QJsonObject& object, QString key, QSettings& settings);

namespace presetstore {

constexpr int PRESET_COUNT = 16;
constexpr int NAME_MAX_LENGTH = 64;
// Largest preset file read: a full export is about 60 KB.
constexpr qint64 FILE_MAX_BYTES = 4 * 1024 * 1024;

extern const char* const UNTITLED;

// The preset selection, which the main window restores at start: the kind,
// the index last set or recalled, and the camera memory last recalled.
extern const char* const PRESET_TYPE_KEY;
extern const char* const PRESET_INDEX_KEY;
extern const char* const SAVED_PRESET_KEY;

QString availableKey(PresetType type, int index);
QString nameKey(PresetType type, int index);
// "Global<index>_<stem>_val1" or "_val2" of a preset message.
QString globalValueKey(int index, int msg, int which);

bool available(PresetType type, int index);
void availableSet(PresetType type, int index, bool on);
// The stored name, "untitled" when there is none.
QString displayName(PresetType type, int index);
// The preset as the dialogs and warnings name it, numbered from 1: "Eptz-5"
// for index 4.
QString label(PresetType type, int index);
// A name cut to 64 characters (UTF-16 units); a character of two units that
// the cut would halve is dropped whole.
QString cutName(const QString& name);
// A name as rename stores it: an empty one becomes "untitled", a long one is cut.
QString storedName(const QString& name);

// The ePTZ position, from the cache when it has one; false, with pan and
// tilt untouched, when it cannot be read.
bool eptzRead(DeviceInterface* device, int& pan, int& tilt);
// Stores a position into preset index and marks the preset set.
void eptzStore(int index, int pan, int tilt);
// Reads the ePTZ position into preset index. False, with the preset
// untouched, when the position cannot be read.
bool eptzSet(DeviceInterface* device, int index);
// Sends the stored position when it differs from the current one; true when sent.
bool eptzRecall(DeviceInterface* device, int index);

// The Global snapshot: output formats, every preset message that can be read
// and the zoom speed. False, with the preset untouched, when the camera is
// offline: its reads would all fail.
bool globalCopy(DeviceInterface* device, int index);
// The first part of a Global recall: the exposure mode, entering bright mode
// (13) through shutter priority (10) from a mode that cannot switch to it
// directly. False for a preset that is not set. *exposureChanged tells whether
// a mode was sent, *exposureMode is the stored mode.
bool globalPastePt1(DeviceInterface* device, int index, bool* exposureChanged, int* exposureMode);
// The second part: zoom speed, then every preset message whose stored value
// differs from the camera's, in message order. A message that cannot be sent
// or that the camera refuses is skipped with a warning; the recall stops, and
// returns false, at the first write the camera does not answer (the link down
// or timed out).
bool globalPastePt2(DeviceInterface* device, int index);

// All 16 ePTZ and Global presets as a flat object: every available key, and
// the other keys of the presets that are set.
void prefToJson(QJsonObject& object);
// Merges the presets of object into the store, key by key. Only preset keys
// of the right JSON type are taken; names are cut to 64 characters. Refuses
// (writes nothing, returns false) an object with no usable available key.
bool jsonToPref(const QJsonObject& object);

} // namespace presetstore
