#pragma once

// Preset files: every ePTZ and Global preset of the preference store in one
// JSON file, and the folder the file dialogs open in. No widget here; the
// main window shows the dialogs and the messages.

#include "app/apptypes.h"

#include <QString>

namespace presetfile {

// Writes the presets to path through a temporary file that replaces path only
// once it is complete, creating missing folders. On failure the file at path
// is as it was, and *error says why for the user.
bool write(const QString& path, QString* error);
// Merges the presets of the file at path into the store. A file that is not a
// preset file (unreadable, not a regular file, larger than 4 MiB, not JSON,
// not an object, no preset in it) is refused: the store is untouched and
// *error says why. It never waits on a named pipe or a device.
bool read(const QString& path, QString* error);

// The remembered file and folder of location 1; other locations do nothing.
void pathLastFileSet(LocationType type, const QString& path);
void pathLastDirSet(LocationType type, const QString& path);
// The folder a file dialog opens in: the remembered one, else pathDefault().
QString pathLastDir(LocationType type);
// The user's Documents folder.
QString pathDefault();

} // namespace presetfile
