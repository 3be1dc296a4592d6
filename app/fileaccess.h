#pragma once

// The file checks of preset files and of the preference store, which the
// portable file classes cannot make: opening a file for reading without ever
// waiting on a named pipe or a device, and telling why a file cannot be
// written. The platform's implementation is in linux/.

#include <QString>

class QFile;

namespace fileaccess {

// Opens path (a link is followed) for reading into file when it is a regular
// file. Anything else (a named pipe, a device, a socket, a folder) is refused
// without waiting for it, also when it takes the file's place between the check
// and the open. On failure file stays closed, *refused tells whether path is
// not a regular file, and *reason says why for the user ("it is a named pipe",
// "No such file or directory").
bool openRegular(const QString& path, QFile& file, bool* refused, QString* reason);

// What is at path, for the user, when it is neither a regular file nor a
// folder (a link is followed): "it is a named pipe", "it is a socket", "it is
// a device". Opening such a file to read it may wait for ever (a pipe, a
// terminal) or never reach its end (a device), and a file saved in its place
// would replace it. Empty for a regular file, a folder, or nothing there.
QString specialKind(const QString& path);

// A folder in which nothing can be read or created, by anyone: the settings
// of a run that must not touch the store are pointed there.
QString nowhere();

// Why a file at path cannot be replaced by a new one of about size_bytes now,
// for the user: it is a folder, its folder cannot be created or written, the
// file cannot be written; with writeTest, a test write of size_bytes beside it
// also finds a full disk or a quota. Empty when nothing is found.
QString writeProblem(const QString& path, qint64 size_bytes, bool writeTest);

} // namespace fileaccess
