#pragma once

// Shared pieces of every test executable: a private environment per run,
// capture of the standard streams, and the test main macros.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace quvtest {

// Gives one test run its own preference store and runtime folder, names the
// application as the real program does (so QSettings reaches the same keys),
// and watches the Qt messages: a failed string-form connect is a test failure.
class Environment
{
public:
    Environment();
    ~Environment();

    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // Call once the application object exists.
    void applicationCreated();

    // The folder that holds this run's "quv/QUV Taqo Control.conf".
    QString configHome() const;

    // Messages that must fail the run ("QObject::connect: ..." warnings).
    static QStringList fatalMessages();

private:
    QTemporaryDir m_config;
    QTemporaryDir m_runtime;
};

// Where tests keep files for a person to look at (screenshots); created on demand.
QString artifactPath(const QString& fileName);

// Redirects a standard stream (1 or 2) into a temporary file for its lifetime,
// so that text printed with printf, puts or std::cerr can be checked.
class CaptureFd
{
public:
    explicit CaptureFd(int fd);
    ~CaptureFd();

    CaptureFd(const CaptureFd&) = delete;
    CaptureFd& operator=(const CaptureFd&) = delete;

    // Everything written to the stream since construction (flushes stdio first).
    QByteArray text();

private:
    int m_fd;
    int m_saved = -1;
    int m_file = -1;
};

int finish(int result);

} // namespace quvtest

#define QUV_TEST_MAIN_WITH(TestObject, AppType)                                                              \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        quvtest::Environment quvTestEnvironment;                                                             \
        AppType app(argc, argv);                                                                             \
        quvTestEnvironment.applicationCreated();                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return quvtest::finish(QTest::qExec(&tc, argc, argv));                                               \
    }

// Qt Core tests.
#define QUV_TEST_MAIN(TestObject) QUV_TEST_MAIN_WITH(TestObject, QCoreApplication)
// Widget tests: the file includes <QApplication>.
#define QUV_TEST_GUI_MAIN(TestObject) QUV_TEST_MAIN_WITH(TestObject, QApplication)
