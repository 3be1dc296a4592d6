#pragma once

// The file checks of preset files, which the portable file classes cannot
// make: opening a file for reading without ever waiting on a named pipe or a
// device. The platform's implementation is in linux/.

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

} // namespace fileaccess
