// The settings pane on a real X server (Xvfb), on a simulated camera with spot
// focus on, full manual white balance, the 512 pattern gamma and a pending
// colour space: one picture of each sub-pane for a person to judge.

#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>

#include "camsim.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/panesettings.h"
#include "panesapplication.h"
#include "quvapp/quvcombobox.h"
#include "quvtest.h"
#include "screengrab.h"

using quvtest::hexBytes;

class TestSettingsScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void subPanes();
};

void TestSettingsScreenshot::subPanes()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    quvtest::CamSim sim;
    sim.setValue(hexBytes("05 08"), hexBytes("02")); // spot focus on
    sim.setValue(hexBytes("05 68"), hexBytes("00 0B 00 04")); // spot focus at (11, 4)
    sim.setValue(hexBytes("04 35"), hexBytes("05")); // full manual white balance
    sim.setValue(hexBytes("04 5B"), hexBytes("02")); // 512 pattern gamma
    sim.setValue(hexBytes("04 66"), hexBytes("02")); // not flipped
    sim.setValue(hexBytes("7E 04 7D"), hexBytes("00")); // no colour bars
    sim.setValue(hexBytes("04 24 72"), hexBytes("01 03")); // 1920x1080 59.94p
    QObject owner;
    auto* cameras = new DeviceSet(&owner);
    cameras->deviceSetCreate(QList<SerialPortDesc> { SerialPortDesc::forDevicePath(sim.devicePath()) }, false);
    QTRY_VERIFY_WITH_TIMEOUT(cameras->processingCount() == 0 && cameras->deviceSetCount() == 1, 30000);

    QDialog form;
    form.setWindowTitle(QStringLiteral("settings"));
    form.setGeometry(20, 20, 662, 393);
    auto* pane = new PaneSettings(cameras, &form);
    pane->setGeometry(0, 0, 662, 393);
    pane->uiSetup();
    pane->uiSync(true);
    // A pending colour space shows Apply enabled with the restart note.
    auto* colorSpace = pane->findChild<QuvComboBox*>(QStringLiteral("colorSpace"));
    colorSpace->setCurrentIndex(1);
    emit colorSpace->activated(1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    auto* list = pane->findChild<QListWidget*>(QStringLiteral("paneList"));
    const char* const names[] = { "features", "spot", "output", "info" };
    for (int row = 0; row < 4; ++row) {
        list->setCurrentRow(row);
        const QImage screen = quvtest::stableScreenGrab();
        QVERIFY(!screen.isNull());
        const QString path = quvtest::artifactPath(QStringLiteral("settings-%1.png").arg(QLatin1String(names[row])));
        QVERIFY(screen.copy(form.frameGeometry().adjusted(-4, -4, 4, 4)).save(path));
        qInfo("screenshot: %s", qPrintable(path));
        if (row == 1) {
            // The picture of a spot that is on is lighter than that of one that is off.
            const auto at = [&](const char* name) {
                return QColor(screen.pixel(pane->findChild<QWidget*>(QLatin1String(name))->mapToGlobal(QPoint(3, 3))));
            };
            QCOMPARE(at("spotFocusPicture"), QColor(54, 54, 54));
            QCOMPARE(at("spotAePicture"), QColor(39, 39, 39));
        }
    }
    delete cameras;
}

QUV_TEST_MAIN_WITH(TestSettingsScreenshot, PanesApplication)
#include "test_settingsscreenshot.moc"
