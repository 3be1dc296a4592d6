// File checks on Linux: stat() and the opened descriptor's fstat() tell a
// regular file from a pipe or a device.

#include "app/fileaccess.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

// What a file that is not a regular one is, for the user.
QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("it is a device");
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket");
    return QStringLiteral("it is not a regular file");
}

QString errorText(int error)
{
    return qt_error_string(error);
}

} // namespace

namespace fileaccess {

bool openRegular(const QString& path, QFile& file, bool* refused, QString* reason)
{
    *refused = false;
    const QByteArray name = QFile::encodeName(path);
    struct stat node = {};
    if (stat(name.constData(), &node) != 0) {
        *reason = errorText(errno);
        return false;
    }
    if (!S_ISREG(node.st_mode)) {
        *refused = true;
        *reason = kindOf(node.st_mode);
        return false;
    }
    // Should a pipe or a device take the file's place before the open, the
    // open neither waits for a writer or a carrier nor makes a terminal ours;
    // the descriptor then tells what was opened.
    const int fd = open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *reason = errorText(errno);
        return false;
    }
    if (fstat(fd, &node) != 0 || !S_ISREG(node.st_mode)) {
        *refused = true;
        *reason = kindOf(node.st_mode);
        close(fd);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        close(fd);
        return false;
    }
    return true;
}

} // namespace fileaccess
