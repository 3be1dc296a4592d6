// The region editor on a real X server: the ePTZ picture's move-only HD window
// and a free region with its size labels, saved for a person to judge.

#include <QDialog>
#include <QGuiApplication>

#include "panes/screenproxy.h"
#include "panesapplication.h"
#include "quvtest.h"
#include "screengrab.h"

class TestScreenProxyScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void moveOnlyAndFree();
};

void TestScreenProxyScreenshot::moveOnlyAndFree()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
    QDialog form;
    form.setGeometry(20, 20, 880, 280);
    const QColor blue(67, 149, 194);
    struct Row
    {
        int x;
        QRect roi;
        RoiConstrain constrain;
        QColor text;
    };
    const Row rows[] = { { 20, QRect(960, 540, 1920, 1080), RoiConstrainMoveOnly, QColor(0, 0, 0, 0) },
        { 450, QRect(400, 300, 1200, 1400), RoiConstrainFree, QColor(220, 220, 220) } };
    QList<ScreenProxy*> proxies;
    for (const Row& row : rows) {
        auto* proxy = new ScreenProxy(&form, QRect(row.x, 20, 415, 234));
        proxy->SetScreenSize(3840, 2160);
        proxy->SetRoiGeometry(row.roi.x(), row.roi.y(), row.roi.width(), row.roi.height());
        proxy->SetContrain(row.constrain, 0, 0);
        proxy->SetRoiFillColor(blue);
        proxy->SetScreenFillColor(QColor(54, 54, 54));
        proxy->SetScreenTextColor(row.text);
        proxy->SetRoiTextColor(row.text);
        proxy->SetEditable(true);
        proxies.append(proxy);
    }
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage screen = quvtest::stableScreenGrab();
    const QString path = quvtest::artifactPath(QStringLiteral("screenproxy.png"));
    QVERIFY(screen.copy(form.frameGeometry().adjusted(-8, -8, 8, 8)).save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // The move-only window is the middle quarter of the picture.
    ScreenProxy* epz = proxies.at(0);
    QCOMPARE(epz->geometry(), QRect(20, 20, 415, 233));
    const auto at
        = [&screen](QWidget* widget, int x, int y) { return screen.pixelColor(widget->mapToGlobal(QPoint(x, y))); };
    QCOMPARE(at(epz, 207, 116), blue);
    QCOMPARE(at(epz, 50, 116), QColor(54, 54, 54));
}

QUV_TEST_MAIN_WITH(TestScreenProxyScreenshot, PanesApplication)
#include "test_screenproxyscreenshot.moc"
