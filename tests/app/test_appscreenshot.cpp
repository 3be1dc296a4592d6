// The main window on a real X server (Xvfb): the no-camera view at start,
// the camera view with a simulated camera in slot 1 (each pane in turn), and
// that view with presets 1, 3 and 6 set and the menu of preset 12 open, then
// the preset kind menu. All are saved for a person to judge.

#include "answering.h"
#include "quvtest.h"
#include "screengrab.h"
#include "testwindow.h"

#include <QGuiApplication>
#include <QSettings>
#include <QWindow>

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

    paneclock::setSourceForTesting(quvtest::steppedClock);
    apptest::Rig rig({ 0 });
    rig.window.move(10, 10);
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    // Drawn by the raster engine alone: Qt loaded no OpenGL integration for the window.
    QCOMPARE(rig.window.windowHandle()->surfaceType(), QSurface::RasterSurface);
    const QRect frame = rig.window.frameGeometry();
    QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(QStringLiteral("app_nocamera.png"))));
    QVERIFY(rig.start());
    const char* const panes[] = { "camera", "eptz", "settings" };
    for (int i = 0; i < 3; ++i) {
        rig.window.m_paneButtons.at(i)->click();
        const QString name = QStringLiteral("app_camera_%1.png").arg(QLatin1String(panes[i]));
        QVERIFY(quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(name)));
    }
    rig.window.m_paneButtons.at(0)->click();

    for (int i : { 0, 2, 5 })
        QSettings().setValue(QStringLiteral("Eptz%1_preset_available").arg(i), 1);
    rig.window.presetUiUpdateAll();
    // Opens widget's context menu at pt and saves the window once the menu is
    // drawn; whether the menu was drawn and saved.
    const auto shootMenu = [&](QWidget* widget, const QPoint& pt, const QString& name) {
        const QImage closed = quvtest::stableScreenGrab();
        bool saved = false;
        const auto shoot = [&] {
            // Drawn once the screen changes where the menu is.
            const QRect menu = QApplication::activePopupWidget()->geometry();
            saved = QTest::qWaitFor([&] { return quvtest::grabScreen().copy(menu) != closed.copy(menu); })
                && quvtest::stableScreenGrab().copy(frame).save(quvtest::artifactPath(name));
        };
        QList<quvtest::Shown> shown;
        QString failure;
        const bool answered = quvtest::answerWhile(
            [&] { quvtest::requestContextMenu(widget, pt); }, { { QString(), QString(), shoot } }, &shown, &failure);
        if (!answered)
            qWarning("%s", qPrintable(failure));
        return answered && saved;
    };
    QVERIFY(shootMenu(rig.window.m_presetButtons[11], QPoint(12, 10), QStringLiteral("app_presets.png")));
    // The kind menu, its current kind checked.
    QVERIFY(shootMenu(rig.window.m_presetTypeLabel, QPoint(12, 12), QStringLiteral("app_preset_kinds.png")));
}

QUV_TEST_MAIN_WITH(TestAppScreenshot, apptest::AppApplication)
#include "test_appscreenshot.moc"
