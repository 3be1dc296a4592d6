// The display check in this process: in a Wayland session, with a Wayland
// platform plugin for Qt (a stand-in of the tests' own), the compositor's
// socket decides, as it does for Qt. And the watch over the application
// object's start, which holds Qt's messages back until it ends.

#include "app/displaycheck.h"
#include "quvtest.h"

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QMap>

namespace {

// Sets environment variables (an empty value removes one) for its lifetime.
class Variables
{
public:
    explicit Variables(const QMap<QByteArray, QByteArray>& values)
    {
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            m_saved.insert(it.key(), qEnvironmentVariableIsSet(it.key()) ? qgetenv(it.key()) : QByteArray());
            set(it.key(), it.value());
        }
    }
    ~Variables()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
            set(it.key(), it.value());
    }
    Variables(const Variables&) = delete;
    Variables& operator=(const Variables&) = delete;

private:
    static void set(const QByteArray& name, const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QMap<QByteArray, QByteArray> m_saved;
};

char s_programName[] = "quv-taqo-control";
char* s_arguments[] = { s_programName, nullptr };

} // namespace

class TestDisplayCheck : public QObject
{
    Q_OBJECT

private slots:
    void waylandSession_data();
    void waylandSession();
    void watchHoldsMessagesBack();
};

void TestDisplayCheck::waylandSession_data()
{
    QTest::addColumn<bool>("listening");
    // What the message names; empty where the check passes.
    QTest::addColumn<QByteArray>("named");
    QTest::newRow("compositor that accepts") << true << QByteArray();
    QTest::newRow("compositor gone") << false
                                     << QByteArrayLiteral("the Wayland display \"quv-wayland-0\" (WAYLAND_DISPLAY) "
                                                          "does not answer, and DISPLAY is not set");
}

void TestDisplayCheck::waylandSession()
{
    QFETCH(bool, listening);
    QFETCH(QByteArray, named);
    // The test main gave this run a runtime folder of its own.
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    QLocalServer compositor;
    if (listening)
        QVERIFY2(
            compositor.listen(runtime.filePath(QStringLiteral("quv-wayland-0"))), qPrintable(compositor.errorString()));
    // Qt tries "wayland;xcb"; the stand-in is the only Wayland plugin it finds.
    const Variables variables({ { "XDG_SESSION_TYPE", "wayland" }, { "WAYLAND_DISPLAY", "quv-wayland-0" },
        { "QT_QPA_PLATFORM_PLUGIN_PATH", QUV_STANDIN_PLATFORMS }, { "QT_QPA_PLATFORM", QByteArray() },
        { "DISPLAY", QByteArray() }, { "WAYLAND_SOCKET", QByteArray() } });
    const DisplayCheck check(1, s_arguments);
    if (named.isEmpty())
        QVERIFY2(check.message().empty(), check.message().c_str());
    else
        QVERIFY2(QByteArray::fromStdString(check.message()).contains(named), check.message().c_str());
}

// What Qt says while the application object starts reaches the log only once
// it has started, in full.
void TestDisplayCheck::watchHoldsMessagesBack()
{
    quvtest::MessageLog log;
    // The offscreen platform of the test run: Qt's to open.
    DisplayCheck display(1, s_arguments);
    QVERIFY2(display.message().empty(), display.message().c_str());
    display.watchStart();
    qWarning("said while the application starts");
    qInfo("and more");
    QVERIFY(log.messages().isEmpty());
    display.release();
    QCOMPARE(log.messages(), QStringList({ "said while the application starts", "and more" }));
    qWarning("said afterwards");
    QCOMPARE(log.count(QStringLiteral("said afterwards")), 1);
}

QUV_TEST_MAIN(TestDisplayCheck)
#include "test_displaycheck.moc"
