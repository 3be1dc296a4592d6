// The main window on a real X server (Xvfb): the no-camera view at start,
// and the camera view with a simulated camera in slot 1, each pane shown in
// turn. They are saved for a person to judge.

#include "quvtest.h"
#include "screengrab.h"
#include "testwindow.h"

#include <QGuiApplication>

class TestAppScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void views();
};

void TestAppScreenshot::views()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    paneclock::setSourceForTesting(apptest::testClock);
    apptest::Rig rig({ 0 });
    rig.window.move(10, 10);
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const QRect frame = rig.window.frameGeometry();
    QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(QStringLiteral("app_nocamera.png"))));
    QVERIFY(rig.start());
    const char* const panes[] = { "camera", "eptz", "settings" };
    for (int i = 0; i < 3; ++i) {
        rig.window.m_paneButtons.at(i)->click();
        const QString name = QStringLiteral("app_camera_%1.png").arg(QLatin1String(panes[i]));
        QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(name)));
    }
}

QUV_TEST_MAIN_WITH(TestAppScreenshot, apptest::AppApplication)
#include "test_appscreenshot.moc"
