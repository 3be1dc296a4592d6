// A small form in the slate look on a real X server (Xvfb): a combo box with
// its list open, a context menu with a checked item, push buttons in each
// state. The screen is saved for a person to judge; it is not compared
// against a stored picture, because fonts differ between machines.

#include <QAbstractItemView>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>

#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvapp/quvmenu.h"
#include "quvapp/quvpushbutton.h"
#include "quvtest.h"
#include "screengrab.h"
#include "slateapplication.h"

class TestQuvScreenshot : public QObject
{
    Q_OBJECT

private slots:
    void slateForm();
};

void TestQuvScreenshot::slateForm()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");

    QDialog form;
    form.setWindowTitle(QStringLiteral("slate"));
    form.setGeometry(20, 20, 600, 290);

    auto* group = new QGroupBox(&form);
    group->setGeometry(12, 12, 576, 150);

    const auto addLabel = [group](const QString& text, int x, int y) {
        auto* label = new QLabel(text, group);
        label->setGeometry(x, y, 84, 20);
    };

    addLabel(QStringLiteral("Video format"), 14, 16);
    auto* format = new QuvComboBox(group);
    format->setGeometry(100, 16, 120, 20);
    format->addItem(QStringLiteral("1080p60"), 0);
    format->addItem(QStringLiteral("1080p30"), 1);

    addLabel(QStringLiteral("Colour space"), 14, 46);
    auto* colour = new QuvComboBox(group);
    colour->setGeometry(100, 46, 120, 20);
    colour->addItem(QStringLiteral("YUV"), 0);
    colour->setEnabled(false);

    addLabel(QStringLiteral("Red gain"), 14, 76);
    auto* gain = new QuvDoubleSpinBox(group);
    gain->setGeometry(100, 74, 71, 24);
    gain->setRange(0, 255);
    gain->setDecimals(0);
    gain->setValueNoSignal(127);

    addLabel(QStringLiteral("Shutter"), 290, 16);
    auto* shutter = new QuvComboBox(group);
    shutter->setGeometry(350, 16, 110, 20);
    shutter->addItem(QStringLiteral("-Slow-"), 100);
    shutter->addItem(QStringLiteral("1/30"), 0);
    shutter->addItem(QStringLiteral("1/60"), 1);
    shutter->addSeparator();
    shutter->addItem(QStringLiteral("-Fast-"), 101);
    shutter->addItem(QStringLiteral("1/100"), 2);
    shutter->addItem(QStringLiteral("1/250"), 3);
    shutter->addItem(QStringLiteral("1/1000"), 4);
    shutter->setItemEnabled(0, false);
    shutter->setItemEnabled(4, false);
    shutter->setItemEnabled(7, false);
    shutter->setMatchingItemCurrentIndex(1);

    auto* warning = new QLabel(QStringLiteral("Focus cannot be changed while auto-zoom is active"), &form);
    warning->setObjectName(QStringLiteral("yellowText"));
    warning->setGeometry(14, 172, 440, 18);

    const QStringList states
        = { QStringLiteral("Apply"), QStringLiteral("Hover"), QStringLiteral("Pressed"), QStringLiteral("Disabled") };
    QList<QuvPushButton*> buttons;
    for (int i = 0; i < states.size(); ++i) {
        auto* button = new QuvPushButton(states.at(i), &form);
        button->setGeometry(14 + i * 112, 204, 100, 24);
        buttons.append(button);
    }
    // The pointer cannot rest on the form while pop-ups hold it; show the hover look directly.
    buttons.at(1)->setAttribute(Qt::WA_UnderMouse, true);
    buttons.at(2)->setDown(true);
    buttons.at(3)->setEnabled(false);

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    shutter->showPopup();
    QWidget* list = shutter->view()->window();
    QVERIFY(QTest::qWaitForWindowExposed(list));

    QuvMenu menu;
    menu.addAction(QStringLiteral("Set"), QVariant(0));
    menu.addAction(QStringLiteral("Recall"), QVariant(1));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Export..."), QVariant(4));
    menu.setMatchingItemChecked(QVariant(1), true, false);
    menu.setMatchingItemEnabled(QVariant(4), false, false);
    menu.popup(form.mapToGlobal(QPoint(470, 150)));
    QVERIFY(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(menu.actionAt(2));

    QVERIFY(list->isVisible());
    const QImage screen = quvtest::stableScreenGrab();
    QVERIFY(!screen.isNull());

    const QRect area = form.frameGeometry().united(menu.geometry()).united(list->geometry()).adjusted(-8, -8, 8, 8);
    const QImage shot = screen.copy(area);
    const QString path = quvtest::artifactPath(QStringLiteral("quvapp-slate.png"));
    QVERIFY(shot.save(path));
    qInfo("screenshot: %s", qPrintable(path));

    // The slate background and the menu's fill reached the screen.
    const QPoint formOrigin = form.mapToGlobal(QPoint(0, 0));
    QCOMPARE(screen.pixel(formOrigin + QPoint(4, 250)) & 0xFFFFFF, qRgb(47, 53, 57) & 0xFFFFFF);
    const QPoint menuOrigin = menu.mapToGlobal(QPoint(0, 0));
    QCOMPARE(screen.pixel(menuOrigin + QPoint(menu.width() - 4, menu.actionGeometry(menu.actionAt(0)).center().y()))
            & 0xFFFFFF,
        qRgb(49, 49, 49) & 0xFFFFFF);

    menu.hide();
    shutter->hidePopup();
}

QUV_TEST_MAIN_WITH(TestQuvScreenshot, SlateApplication)
#include "test_quvscreenshot.moc"
