#pragma once

// Shared pieces of every test executable: a private environment per run,
// capture of the standard streams, and the test main macros.

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

namespace quvtest {

// Gives one test run its own preference store and runtime folder, and names the
// application as the real program does (so QSettings reaches the same keys).
// A failed string-form connect fails the test through CTest, which watches the
// output for "QObject::connect" warnings (tests/CMakeLists.txt).
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

private:
    QTemporaryDir m_config;
    QTemporaryDir m_runtime;
};

// Where tests keep files for a person to look at (screenshots); created on demand.
QString artifactPath(const QString& fileName);

// Redirects a standard stream (1 or 2) into a temporary file, so that text
// printed with printf, puts or std::cerr can be checked. The capture ends with
// text() or with the object, whichever comes first: compare after text(), so
// that a failure message reaches the test log.
class CaptureFd
{
public:
    explicit CaptureFd(int fd);
    ~CaptureFd();

    CaptureFd(const CaptureFd&) = delete;
    CaptureFd& operator=(const CaptureFd&) = delete;

    // Ends the capture; everything written to the stream since construction.
    QByteArray text();

private:
    void restore();

    int m_fd;
    int m_saved = -1;
    int m_file = -1;
    QByteArray m_text;
};

// Input waiting on a descriptor (FIONREAD); -1 when it cannot be asked.
int pendingBytes(int fd);

// Puts one end of a socket pair on descriptor 0 for its lifetime, so that any
// read, write or close of descriptor 0 can be seen from the other end.
class StdinProbe
{
public:
    StdinProbe();
    ~StdinProbe();

    StdinProbe(const StdinProbe&) = delete;
    StdinProbe& operator=(const StdinProbe&) = delete;

    bool isReady() const { return m_pair[1] >= 0; }
    // Input waiting on descriptor 0, as the code under test would find it.
    bool offer(const QByteArray& bytes);
    int pendingOnStdin() const { return pendingBytes(0); }
    // What the code under test wrote to descriptor 0.
    int receivedFromStdin() const { return pendingBytes(m_pair[1]); }

private:
    int m_saved = -1;
    int m_pair[2] = { -1, -1 };
};

// Collects the Qt messages (qDebug, qWarning, ...) of every thread for its
// lifetime, as their text, and passes them on to the test log. Create it inside
// a test function (QtTest installs its own message handler when the run starts).
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();

    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList messages() const;
    int count(const QString& text) const;
    // Waits until text has been logged at least count times.
    bool waitFor(const QString& text, int count = 1, int timeout_ms = 10000) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    mutable QMutex m_mutex;
    QStringList m_messages;
    QtMessageHandler m_previous = nullptr;
    MessageLog* m_outer = nullptr;
};

// One data row per element of a fixed table whose rows carry a name; the
// test function fetches the row's index as "row".
template<typename Row, size_t N> void addRows(const Row (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << int(i);
}

} // namespace quvtest

// QCOMPARE and QVERIFY for a test helper that returns bool: a mismatch is
// recorded as QCOMPARE records it and the helper returns false, which the
// test function checks (QVERIFY(helper(...))), so that the test stops there.
#define QUV_COMPARE_OR_FALSE(actual, expected)                                                                         \
    do {                                                                                                               \
        if (!QTest::qCompare(actual, expected, #actual, #expected, __FILE__, __LINE__))                                \
            return false;                                                                                              \
    } while (false)
#define QUV_VERIFY_OR_FALSE(statement)                                                                                 \
    do {                                                                                                               \
        if (!QTest::qVerify(static_cast<bool>(statement), #statement, "", __FILE__, __LINE__))                         \
            return false;                                                                                              \
    } while (false)

#define QUV_TEST_MAIN_WITH(TestObject, AppType)                                                                        \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        quvtest::Environment quvTestEnvironment;                                                                       \
        AppType app(argc, argv);                                                                                       \
        quvTestEnvironment.applicationCreated();                                                                       \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }

// Qt Core tests.
#define QUV_TEST_MAIN(TestObject) QUV_TEST_MAIN_WITH(TestObject, QCoreApplication)
// Widget tests: the file includes <QApplication>.
#define QUV_TEST_GUI_MAIN(TestObject) QUV_TEST_MAIN_WITH(TestObject, QApplication)
