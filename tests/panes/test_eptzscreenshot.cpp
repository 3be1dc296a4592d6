// The ePTZ pane on a real X server with ePTZ on (camera simulated), its picture
// a move-only HD window, beside a region editor with a free region and its
// size labels; then the pane alone with ePTZ off. Saved for a person to judge.

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>

#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/navbutton.h"
#include "panes/paneeptz.h"
#include "panes/screenproxy.h"
#include "panesapplication.h"
#include "quvtest.h"
#include "screengrab.h"

using quvtest::hexBytes;

class TestEptzScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void paneAndFreeRegion();
};

void TestEptzScreenshot::paneAndFreeRegion()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
    quvtest::CamSim sim;
    QVERIFY(sim.isValid());
    sim.setValue(hexBytes("7E 06 00"), hexBytes("02"));
    sim.setValue(hexBytes("04 66"), hexBytes("02"));
    sim.setValue(hexBytes("7E 06 20"), hexBytes("01 00 0E 00 00 01 0E 00 00 06")); // X 480, Y 270
    QObject owner;
    auto* cameras = new DeviceSet(&owner);
    cameras->deviceSetCreate(QList<SerialPortDesc> { SerialPortDesc::forDevicePath(sim.devicePath()) }, false);
    QTRY_VERIFY_WITH_TIMEOUT(cameras->processingCount() == 0 && cameras->deviceSetCount() == 1, 30000);

    QDialog form;
    form.setGeometry(8, 20, 1000, 393);
    PaneEptz pane(cameras, &form);
    pane.setGeometry(0, 0, 662, 393);
    pane.uiSetup();
    pane.uiSync(false);
    ScreenProxy free(&form, QRect(668, 34, 320, 180));
    free.SetScreenSize(3840, 2160);
    free.SetRoiGeometry(400, 300, 1200, 1400);
    free.SetContrain(RoiConstrainFree, 0, 0);
    free.SetRoiFillColor(QColor(67, 149, 194));
    free.SetScreenFillColor(QColor(54, 54, 54));
    free.SetScreenTextColor(QColor(220, 220, 220));
    free.SetRoiTextColor(QColor(220, 220, 220));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QStringLiteral("paneeptz.png"));
    QVERIFY(screen.copy(form.frameGeometry().adjusted(-8, -8, 8, 8)).save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // The window at X 480, Y 270 is blue; each arrow shows its picture.
    QVERIFY(pane.onOffSwitch()->isChecked());
    QCOMPARE(pane.picture()->geometry(), QRect(1, 1, 415, 233));
    QCOMPARE(screen.pixelColor(pane.picture()->mapToGlobal(QPoint(200, 50))), QColor(67, 149, 194));
    for (NavButton* button : pane.navButtons()) {
        const QColor corner = screen.pixelColor(button->mapToGlobal(QPoint(0, 0)));
        QVERIFY2(
            screen.pixelColor(button->mapToGlobal(button->rect().center())) != corner, qPrintable(button->toolTip()));
    }

    // With ePTZ off: a grey window, the arrows and spin boxes disabled.
    sim.setValue(hexBytes("7E 06 00"), hexBytes("03"));
    cameras->getAt(0)->deviceInvalidateCache();
    pane.uiSync(false);
    QVERIFY(!pane.navButtons().first()->isEnabled());
    const QImage off = quvtest::stableScreenGrab();
    const QString offPath = quvtest::artifactPath(QStringLiteral("paneeptz_off.png"));
    QVERIFY(off.copy(pane.frameGeometry().translated(form.geometry().topLeft()).adjusted(-8, -8, 4, 8)).save(offPath));
    qInfo("screenshot: %s", qPrintable(offPath));
}

QUV_TEST_MAIN_WITH(TestEptzScreenshot, PanesApplication)
#include "test_eptzscreenshot.moc"
