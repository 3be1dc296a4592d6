// File checks on Linux: stat() and the opened descriptor's fstat() tell a
// regular file from a pipe or a device; faccessat() with the effective ids and
// a test write beside the file tell why it cannot be written.

#include "app/fileaccess.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

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

bool canWrite(const QByteArray& name, int mode, int* error)
{
    if (faccessat(AT_FDCWD, name.constData(), mode, AT_EACCESS) == 0)
        return true;
    *error = errno;
    return false;
}

// Writes size_bytes of zeros into a new file beside name and removes it; the
// errno of the first failure, 0 when it all reached the disk.
int testWrite(const QByteArray& name, qint64 size_bytes)
{
    QByteArray pattern = name + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    const QByteArray block(64 * 1024, '\0');
    int error = 0;
    for (qint64 left = qMax<qint64>(size_bytes, 1); left > 0 && error == 0;) {
        const ssize_t written = write(fd, block.constData(), size_t(qMin<qint64>(left, block.size())));
        if (written > 0)
            left -= written;
        else if (written == 0 || errno != EINTR)
            error = written == 0 ? EIO : errno;
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    unlink(pattern.constData());
    return error;
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

QString specialKind(const QString& path)
{
    struct stat node = {};
    if (stat(QFile::encodeName(path).constData(), &node) != 0 || S_ISREG(node.st_mode) || S_ISDIR(node.st_mode))
        return QString();
    return kindOf(node.st_mode);
}

QString nowhere()
{
    // A device, not a folder: every path below it fails with ENOTDIR, root's too.
    return QStringLiteral("/dev/null");
}

QString writeProblem(const QString& path, qint64 size_bytes, bool writeTest)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat node = {};
    const bool exists = stat(name.constData(), &node) == 0;
    if (exists && !S_ISREG(node.st_mode))
        return kindOf(node.st_mode);

    // The nearest folder that exists; the missing ones below it are created
    // with the file.
    const QString folder = QFileInfo(path).absolutePath();
    QString existing = folder;
    while (stat(QFile::encodeName(existing).constData(), &node) != 0 && existing != QLatin1String("/"))
        existing = QFileInfo(existing).absolutePath();
    int error = 0;
    if (!S_ISDIR(node.st_mode))
        error = ENOTDIR;
    else
        canWrite(QFile::encodeName(existing), W_OK | X_OK, &error);
    if (error != 0 && existing != folder)
        return QStringLiteral("its folder \"%1\" cannot be created (%2)").arg(folder, errorText(error));
    if (error != 0)
        return QStringLiteral("its folder \"%1\" cannot be written (%2)").arg(folder, errorText(error));
    if (existing != folder)
        return QString();
    if (exists && !canWrite(name, R_OK | W_OK, &error))
        return QStringLiteral("the file cannot be written (%1)").arg(errorText(error));
    if (writeTest) {
        error = testWrite(name, size_bytes);
        if (error != 0)
            return errorText(error);
    }
    return QString();
}

} // namespace fileaccess
