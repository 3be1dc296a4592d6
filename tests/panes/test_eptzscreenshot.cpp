// The ePTZ pane and its region editor on a real X server, saved for a person to
// judge: the pane with ePTZ on (camera simulated), and the editor with the
// pane's move-only HD window beside a free region with its size labels.

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

namespace {

// Shows the form and saves the screen around it as an artifact.
QImage shoot(QWidget* form, const char* fileName)
{
    form->show();
    [&] { QVERIFY(QTest::qWaitForWindowExposed(form)); }();
    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QString::fromLatin1(fileName));
    [&] { QVERIFY(screen.copy(form->frameGeometry().adjusted(-8, -8, 8, 8)).save(path)); }();
    qInfo("screenshot: %s", qPrintable(path));
    return screen;
}

const QColor kBlue(67, 149, 194);
const QColor kGrey(54, 54, 54);

} // namespace

class TestEptzScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void regionEditor();
    void pane();
};

void TestEptzScreenshot::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
}

void TestEptzScreenshot::regionEditor()
{
    QDialog form;
    form.setGeometry(20, 20, 880, 280);
    ScreenProxy moveOnly(&form, QRect(20, 20, 415, 234));
    ScreenProxy free(&form, QRect(450, 20, 415, 234));
    for (ScreenProxy* proxy : { &moveOnly, &free }) {
        proxy->SetScreenSize(3840, 2160);
        proxy->SetRoiFillColor(kBlue);
        proxy->SetScreenFillColor(kGrey);
        const QColor text = proxy == &free ? QColor(220, 220, 220) : QColor(0, 0, 0, 0);
        proxy->SetScreenTextColor(text);
        proxy->SetRoiTextColor(text);
    }
    moveOnly.SetRoiGeometry(960, 540, 1920, 1080);
    moveOnly.SetContrain(RoiConstrainMoveOnly, 0, 0);
    free.SetRoiGeometry(400, 300, 1200, 1400);
    free.SetContrain(RoiConstrainFree, 0, 0);
    const QImage screen = shoot(&form, "screenproxy.png");

    // The move-only window is the middle quarter of the picture.
    QCOMPARE(moveOnly.geometry(), QRect(20, 20, 415, 233));
    QCOMPARE(screen.pixelColor(moveOnly.mapToGlobal(QPoint(207, 116))), kBlue);
    QCOMPARE(screen.pixelColor(moveOnly.mapToGlobal(QPoint(50, 116))), kGrey);
}

void TestEptzScreenshot::pane()
{
    quvtest::CamSim sim;
    QVERIFY(sim.isValid());
    sim.setValue(hexBytes("7E 06 00"), hexBytes("02"));
    sim.setValue(hexBytes("04 66"), hexBytes("02"));
    sim.setValue(hexBytes("7E 06 20"), hexBytes("01 00 0E 00 00 01 0E 00 00 06")); // X 480, Y 270
    QObject owner;
    DeviceSet* cameras = new DeviceSet(&owner);
    cameras->deviceSetCreate(QList<SerialPortDesc> { SerialPortDesc::forDevicePath(sim.devicePath()) }, false);
    QTRY_VERIFY_WITH_TIMEOUT(cameras->processingCount() == 0 && cameras->deviceSetCount() == 1, 30000);

    QDialog form;
    form.setGeometry(20, 20, 662, 393);
    auto* pane = new PaneEptz(cameras, &form);
    pane->setGeometry(0, 0, 662, 393);
    pane->uiSetup();
    pane->uiSync(false);
    const QImage screen = shoot(&form, "paneeptz.png");

    QVERIFY(pane->onOffSwitch()->isChecked());
    QCOMPARE(pane->picture()->roi().topLeft(), QPoint(1440, 270));
    QCOMPARE(screen.pixelColor(pane->picture()->mapToGlobal(QPoint(200, 50))), kBlue);
    // The arrows and the centre show their pictures (not the switch's background).
    for (NavButton* button : pane->navButtons()) {
        const QImage shape = screen.copy(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()));
        int light = 0;
        for (int y = 0; y < shape.height(); ++y) {
            for (int x = 0; x < shape.width(); ++x)
                light += shape.pixelColor(x, y).lightness() > 120 ? 1 : 0;
        }
        QVERIFY2(light > 20, qPrintable(button->toolTip()));
    }
    delete pane;
    delete cameras;
}

QUV_TEST_MAIN_WITH(TestEptzScreenshot, PanesApplication)
#include "test_eptzscreenshot.moc"
