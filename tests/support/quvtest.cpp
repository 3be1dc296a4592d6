#include "quvtest.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QMutex>
#include <QMutexLocker>

namespace quvtest {

namespace {

QMutex s_messagesMutex;
QStringList s_fatalMessages;
QtMessageHandler s_previousHandler = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QObject::connect"))) {
        QMutexLocker lock(&s_messagesMutex);
        s_fatalMessages.append(message);
    }
    if (s_previousHandler)
        s_previousHandler(type, context, message);
}

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
    s_previousHandler = qInstallMessageHandler(messageHandler);
}

Environment::~Environment()
{
    qInstallMessageHandler(s_previousHandler);
}

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

QStringList Environment::fatalMessages()
{
    QMutexLocker lock(&s_messagesMutex);
    return s_fatalMessages;
}

QString artifactPath(const QString& fileName)
{
    QString dir = qEnvironmentVariable("QUV_TEST_ARTIFACTS");
    if (dir.isEmpty())
        dir = QDir::currentPath() + QStringLiteral("/artifacts");
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
    std::fflush(nullptr);
    if (m_saved >= 0) {
        dup2(m_saved, m_fd);
        close(m_saved);
    }
    if (m_file >= 0)
        close(m_file);
}

QByteArray CaptureFd::text()
{
    std::fflush(nullptr);
    QByteArray out;
    if (m_file < 0)
        return out;
    char buffer[4096];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(m_file, buffer, sizeof buffer, offset);
        if (n <= 0)
            break;
        out.append(buffer, int(n));
        offset += n;
    }
    return out;
}

int finish(int result)
{
    const QStringList fatal = Environment::fatalMessages();
    for (const QString& message : fatal)
        std::fprintf(stderr, "FAIL: a string-form connect failed: %s\n", qPrintable(message));
    return fatal.isEmpty() ? result : 1;
}

} // namespace quvtest
