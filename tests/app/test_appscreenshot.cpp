// The main window on a real X server (Xvfb): the no-camera view at start,
// and the camera view with a simulated camera in slot 1. Both are saved for a
// person to judge.

#include "camsim.h"
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

    quvtest::CamSim sim;
    QVERIFY(sim.isValid());
    sim.setWord(quvtest::hexBytes("04 22"), 0);
    apptest::TestWindow window;
    window.move(10, 10);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QRect frame = window.frameGeometry();
    QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(QStringLiteral("app_nocamera.png"))));

    window.ports = { SerialPortDesc::forDevicePath(sim.devicePath(), QStringLiteral("SN0")) };
    QVERIFY(window.scan());
    QVERIFY(!window.m_cameraButtons[0]->isHidden());
    QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(QStringLiteral("app_camera.png"))));
}

QUV_TEST_MAIN_WITH(TestAppScreenshot, apptest::AppApplication)
#include "test_appscreenshot.moc"
