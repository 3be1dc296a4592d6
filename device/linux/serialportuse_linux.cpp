// Serial line locks on Linux: flock() on the device node (the lock
// VISCA_open_serial takes) and the terminal's exclusive-open flag, which makes
// a non-root open of a held line fail with EBUSY. Lines are known by the
// device node's inode, as flock() knows them.

#include "device/serialportuse.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMutex>
#include <QMutexLocker>
#include <QPair>
#include <QSet>

namespace {

using LineKey = QPair<quint64, quint64>; // st_dev, st_ino of the device node

LineKey keyOf(const struct stat& node)
{
    return { quint64(node.st_dev), quint64(node.st_ino) };
}

// The lines this program's camera links hold. The mutex is held across every
// change of a link's lock and across a scan's look at a line, and is taken
// after a device mutex, never before one.
QMutex& registryMutex()
{
    static QMutex mutex;
    return mutex;
}

QSet<LineKey>& heldLines()
{
    static QSet<LineKey> lines;
    return lines;
}

void forget(const ViscaPort* port)
{
    struct stat node {};
    if (port->fd > 0 && fstat(port->fd, &node) == 0)
        heldLines().remove(keyOf(node));
}

} // namespace

SerialLineLock::SerialLineLock(const QString& path)
{
    const QByteArray node = path.toLocal8Bit();
    QMutexLocker registry(&registryMutex());
    struct stat line {};
    if (stat(node.constData(), &line) == 0 && heldLines().contains(keyOf(line))) {
        m_use = SerialPortUse::ThisProgram;
        return;
    }
    // Opened as a camera link opens it, but neither set up, read nor written.
    const int fd = open(node.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            m_use = SerialPortUse::OtherProgram;
        return;
    }
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0 && errno == EWOULDBLOCK) {
        close(fd);
        m_use = SerialPortUse::OtherProgram;
        return;
    }
    m_fd = fd;
}

SerialLineLock::~SerialLineLock()
{
    if (m_fd < 0)
        return;
    flock(m_fd, LOCK_UN);
    close(m_fd);
}

SerialPortUse serialPortUse(const QString& path)
{
    return SerialLineLock(path).use();
}

uint32_t serialLineOpen(ViscaPort* port, const char* path)
{
    QMutexLocker registry(&registryMutex());
    const uint32_t result = VISCA_open_serial(port, path);
    struct stat node {};
    if (result == VISCA_SUCCESS && fstat(port->fd, &node) == 0)
        heldLines().insert(keyOf(node));
    return result;
}

uint32_t serialLineClose(ViscaPort* port)
{
    // The line is let go under the mutex, but closed outside it: closing a
    // terminal can wait for its output to drain.
    serialLineRelease(port);
    return VISCA_close_serial(port);
}

uint32_t serialLineRelease(ViscaPort* port)
{
    QMutexLocker registry(&registryMutex());
    forget(port);
    return VISCA_release_serial(port);
}
