#include "quvtest.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>

namespace quvtest {

namespace {

// The innermost MessageLog; its handler passes every message outwards.
QMutex s_logMutex;
MessageLog* s_log = nullptr;

} // namespace

Environment::Environment()
    : m_config(QDir::tempPath() + QStringLiteral("/quvtest-config-XXXXXX"))
    , m_runtime(QDir::tempPath() + QStringLiteral("/quvtest-runtime-XXXXXX"))
{
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

Environment::~Environment() = default;

void Environment::applicationCreated()
{
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("quv.example"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));
}

QString Environment::configHome() const
{
    return m_config.path();
}

QString artifactPath(const QString& fileName)
{
    QString dir = qEnvironmentVariable("QUV_TEST_ARTIFACTS");
    // Run by hand, outside CTest: beside the test program, inside the build tree,
    // never in whatever folder the run started from.
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + fileName;
}

CaptureFd::CaptureFd(int fd)
    : m_fd(fd)
{
    std::fflush(nullptr);
    char name[] = "/tmp/quvtest-capture-XXXXXX";
    m_file = mkstemp(name);
    if (m_file < 0)
        return;
    unlink(name);
    m_saved = dup(fd);
    dup2(m_file, fd);
}

CaptureFd::~CaptureFd()
{
    restore();
}

void CaptureFd::restore()
{
    if (m_file < 0)
        return;
    std::fflush(nullptr);
    if (m_saved >= 0) {
        dup2(m_saved, m_fd);
        close(m_saved);
        m_saved = -1;
    }
    char buffer[4096];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(m_file, buffer, sizeof buffer, offset);
        if (n <= 0)
            break;
        m_text.append(buffer, int(n));
        offset += n;
    }
    close(m_file);
    m_file = -1;
}

QByteArray CaptureFd::text()
{
    restore();
    return m_text;
}

int pendingBytes(int fd)
{
    int pending = 0;
    return ioctl(fd, FIONREAD, &pending) == 0 ? pending : -1;
}

StdinProbe::StdinProbe()
{
    m_saved = dup(0);
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_pair) == 0)
        dup2(m_pair[0], 0);
}

StdinProbe::~StdinProbe()
{
    if (m_saved >= 0) {
        dup2(m_saved, 0);
        close(m_saved);
    }
    for (int fd : m_pair) {
        if (fd >= 0)
            close(fd);
    }
}

bool StdinProbe::offer(const QByteArray& bytes)
{
    return write(m_pair[1], bytes.constData(), size_t(bytes.size())) == bytes.size();
}

MessageLog::MessageLog()
{
    QMutexLocker lock(&s_logMutex);
    m_outer = s_log;
    s_log = this;
    m_previous = qInstallMessageHandler(handler);
}

MessageLog::~MessageLog()
{
    QMutexLocker lock(&s_logMutex);
    qInstallMessageHandler(m_previous);
    s_log = m_outer;
}

void MessageLog::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    QMutexLocker lock(&s_logMutex);
    for (MessageLog* log = s_log; log; log = log->m_outer) {
        QMutexLocker logLock(&log->m_mutex);
        log->m_messages.append(message);
    }
    // The outermost log's predecessor is the test log's own handler.
    MessageLog* outermost = s_log;
    while (outermost && outermost->m_outer)
        outermost = outermost->m_outer;
    if (outermost && outermost->m_previous)
        outermost->m_previous(type, context, message);
}

QStringList MessageLog::messages() const
{
    QMutexLocker lock(&m_mutex);
    return m_messages;
}

int MessageLog::count(const QString& text) const
{
    QMutexLocker lock(&m_mutex);
    return int(m_messages.count(text));
}

bool MessageLog::waitFor(const QString& text, int count, int timeout_ms) const
{
    QDeadlineTimer deadline(timeout_ms);
    while (this->count(text) < count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace quvtest
