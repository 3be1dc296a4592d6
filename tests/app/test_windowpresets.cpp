// The preset store in the main window: names, looks and tool tips, the two
// menus, Clear and Clear All, check marks, Camera presets on a simulated
// camera and the preset file dialogs. Dialogs and menus are answered from a
// timer while they run modally.

#include "app/scanprogressdialog.h"
#include "camsim.h"
#include "panesapplication.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "testwindow.h"

#include <functional>

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

using apptest::TestWindow;
using quvtest::hexBytes;

namespace {

const char* const TIP_EMPTY
    = "(empty)\nNo value has been saved in this preset.\nRight click to Set preset and see other options.";
const char* const TIP_CAMERA
    = "(No name)\nPreset saved in camera memory.\nRight click to Set preset and see other options.";

// Runs act on the next modal dialog once it shows (while no menu is open); one
// that does not come within 20 s fails the test, and whatever is modal then is closed.
void whenModal(const std::function<void(QWidget*)>& act)
{
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(20000);
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool shown = modal && modal->isVisible() && !QApplication::activePopupWidget();
        if (!shown && !deadline.hasExpired())
            return;
        poll->deleteLater();
        poll->stop();
        if (shown)
            act(modal);
        else if (modal)
            modal->close();
        QVERIFY2(shown, "no dialog came");
    });
    poll->start(10);
}

void inputAnswer(const QString& text, bool accept)
{
    whenModal([text, accept](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        QVERIFY(input);
        input->setTextValue(text);
        accept ? input->accept() : input->reject();
    });
}

void boxAnswer(const QString& button, QString* text = nullptr)
{
    whenModal([button, text](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        QVERIFY(box);
        if (text)
            *text = box->windowTitle() + "|" + box->text();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == button)
                b->click();
        }
    });
}

// Opens widget's context menu and clicks the item text; the items as shown, "*" marking a checked one.
QStringList choose(QWidget* widget, const QString& text)
{
    QStringList shown;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QuvMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QuvMenu*>(QApplication::activePopupWidget());
        QTRY_VERIFY(menu->isVisible());
        for (int i = 0; i < menu->count(); ++i)
            shown.append((menu->itemChecked(i) ? "*" : "") + menu->itemText(i));
        const QRect item = menu->actionGeometry(menu->actionAt(menu->indexOfItemMatchingText(text)));
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, item.center());
    });
    const QPoint pos(widget->width() / 2, widget->height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &event);
    return shown;
}

bool looksSet(QPushButton* button)
{
    const QString sheet = button->styleSheet();
    return sheet.contains("color:rgb(210,210,210)") && !sheet.contains("color:rgb(0,0,0)");
}

QByteArray storeBytes()
{
    QSettings().sync();
    QFile file(QSettings().fileName());
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class TestWindowPresets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        paneclock::setSourceForTesting(apptest::testClock);
        // The file dialogs start in the Documents folder of a home of the test's own.
        qputenv("HOME", m_home.path().toLocal8Bit());
        QVERIFY(QDir(m_home.path()).mkpath("Documents"));
    }
    void init() { QSettings().clear(); }
    void namesAndLooks();
    void kindMenu();
    void clearAll_data();
    void clearAll();
    void checkMarksAndCameraPresets();
    void fileDialogs();

private:
    QTemporaryDir m_home;
};

void TestWindowPresets::namesAndLooks()
{
    TestWindow window;
    QString shown;
    whenModal([&](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        shown = input->windowTitle() + "|" + input->labelText() + "|" + input->textValue();
        input->reject();
    });
    window.presetSet(0);
    QCOMPARE(shown,
        "Name Preset Eptz-1" + QString(35, ' ') + "|Set preset name for Eptz-1" + QString(27, ' ') + "|untitled");
    QVERIFY(!QSettings().contains("Eptz0_preset_available") && !QSettings().contains("Eptz0_visca_ept_position_pan"));
    QVERIFY(!looksSet(window.m_presetButtons[0]));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), TIP_EMPTY);

    inputAnswer(QString(70, 'n'), true);
    window.presetSet(0);
    QCOMPARE(QSettings().value("Eptz0_preset_name").toString(), QString(64, 'n'));
    QCOMPARE(QSettings().value("Eptz0_visca_ept_position_pan"), QVariant(0));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), "\"" + QString(64, 'n') + "\"");
    QVERIFY(looksSet(window.m_presetButtons[0]));
    inputAnswer("", true);
    QVERIFY(window.presetRename(0, false));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), "\"untitled\"");

    boxAnswer("OK", &shown);
    QVERIFY(!window.presetRename(1, false));
    QCOMPARE(shown,
        "QUV Taqo Control|You cannot rename an empty preset.\n\nUse the \"Set\" menu item to setup the Preset state "
        "before renaming it.");
}

void TestWindowPresets::kindMenu()
{
    QSettings().setValue("Global1_preset_available", 1);
    QSettings().setValue("Global1_preset_name", "g");
    TestWindow window;
    QCOMPARE(choose(window.m_presetTypeLabel, "Global"),
        QStringList({ "", "*ePTZ", "Global", "Camera", "", "Import...", "Export...", "Clear All..." }));
    QCOMPARE(window.m_presetType, PresetTypeGlobal);
    QCOMPARE(window.m_presetTypeLabel->pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/media/preset_global.png").toImage());
    QCOMPARE(window.m_presetButtons[1]->toolTip(), "\"g\"");
    QVERIFY(looksSet(window.m_presetButtons[1]) && !looksSet(window.m_presetButtons[0]));
    QVERIFY(!QSettings().contains("prefs/presetType_selected"));

    // Clear from the button menu keeps the name; the kind is stored after it.
    QCOMPARE(choose(window.m_presetButtons[1], "Clear"), QStringList({ "Set", "Recall", "Clear", "Rename..." }));
    QCOMPARE(window.m_presetButtons[1]->toolTip(), TIP_EMPTY);
    QCOMPARE(QSettings().value("Global1_preset_name").toString(), "g");
    QCOMPARE(QSettings().value("prefs/presetType_selected").toInt(), 1);

    QCOMPARE(choose(window.m_presetTypeLabel, "Camera").at(2), "*Global");
    QCOMPARE(window.m_presetButtons[15]->toolTip(), TIP_CAMERA);
    QVERIFY(looksSet(window.m_presetButtons[15]));
}

void TestWindowPresets::clearAll_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("answer");
    for (int kind : { 0, 1, 2 }) {
        QTest::addRow("kind %d, Cancel", kind) << kind << "Cancel";
        QTest::addRow("kind %d, OK", kind) << kind << "OK";
    }
}

void TestWindowPresets::clearAll()
{
    QFETCH(int, kind);
    QFETCH(QString, answer);
    QSettings().setValue("prefs/presetType_selected", kind);
    for (const char* key : { "Eptz3_preset_available", "Global3_preset_available", "Camera3_preset_available" })
        QSettings().setValue(key, 1);
    TestWindow window;
    const QByteArray before = storeBytes();
    QString shown;
    boxAnswer(answer, &shown);
    window.presetClearAll();
    QCOMPARE(shown,
        "Clear Preference File|Are you sure you wish to delete all ePTZ and Global preferences saved in "
        "your local Preference file?\n");
    const bool cleared = answer == "OK";
    QCOMPARE(storeBytes() == before, !cleared);
    QCOMPARE(
        QSettings().value("Eptz3_preset_available").toInt() + QSettings().value("Global3_preset_available").toInt(),
        cleared ? 0 : 2);
    QCOMPARE(looksSet(window.m_presetButtons[3]), kind == PresetTypeCamera || !cleared);
}

void TestWindowPresets::checkMarksAndCameraPresets()
{
    quvtest::CamSim sim;
    QVERIFY(sim.isValid());
    TestWindow window;
    window.ports = { SerialPortDesc::forDevicePath(sim.devicePath(), "SN0") };
    QVERIFY(window.scan());
    choose(window.m_presetTypeLabel, "Camera");
    sim.clearReceived();

    choose(window.m_presetButtons[5], "Set");
    QVERIFY(window.m_presetButtons[5]->isChecked());
    choose(window.m_presetButtons[5], "Clear");
    QCOMPARE(sim.received(), QList<QByteArray>({ hexBytes("81 01 04 3F 01 05 FF"), hexBytes("81 01 04 3F 00 05 FF") }));
    QCOMPARE(QSettings().value("prefs/presetType_selected").toInt(), 2);

    // Recall does not move the check mark; the status dialog shows until the camera is read again.
    choose(window.m_presetButtons[9], "Recall");
    QVERIFY(window.m_presetButtons[5]->isChecked());
    QCOMPARE(window.m_statusDialog->findChild<QLabel*>("textLabel")->text(), "Reading settings from TaqoCam...");
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 3F 02 09 FF")));
    QTRY_VERIFY_WITH_TIMEOUT(!window.m_statusDialog, 30000);
    QCOMPARE(QSettings().value("prefs/saved_preset").toInt(), 9);
    QCOMPARE(QSettings().value("prefs/presetIndex_selected").toInt(), 9);
    window.presetIndexRecall(12);
    QVERIFY(window.m_presetButtons[12]->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!window.m_statusDialog, 30000);
}

void TestWindowPresets::fileDialogs()
{
    QSettings().setValue("Eptz2_preset_available", 1);
    TestWindow window;
    const QString folder = QDir::homePath() + "/presets/new";
    QVERIFY(QDir().mkpath(folder));
    QString opened;
    whenModal([&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        opened = files->windowTitle() + "|" + files->directory().absolutePath() + "|" + files->nameFilters().join(";");
        files->selectFile(folder + "/mine.taqo");
        static_cast<QDialog*>(files)->accept();
    });
    choose(window.m_presetTypeLabel, "Export...");
    QCOMPARE(opened, "Save Preset File|" + QDir::homePath() + "/Documents|XML files (*.taqo)");
    QVERIFY(QFile::exists(folder + "/mine.taqo"));

    // The next dialog opens where the last file was; a file that is not a preset file is refused with a warning.
    QFile other(folder + "/other.taqo");
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write("[]") == 2);
    other.close();
    QString warning;
    whenModal([&](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        opened = files->windowTitle() + "|" + files->directory().absolutePath();
        boxAnswer("OK", &warning);
        files->selectFile(other.fileName());
        static_cast<QDialog*>(files)->accept();
    });
    choose(window.m_presetTypeLabel, "Import...");
    QCOMPARE(opened, "Open Preset File|" + folder);
    QVERIFY(warning.startsWith("Open Preset File|\"" + other.fileName() + "\" is not a preset file"));
    QVERIFY(!QSettings().contains("Eptz0_preset_available") && QSettings().value("Eptz2_preset_available") == 1);
}

QUV_TEST_MAIN_WITH(TestWindowPresets, PanesApplication)
#include "test_windowpresets.moc"
