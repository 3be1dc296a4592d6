// Presets: ePTZ and Global presets on a simulated camera, checked by the
// packets on the line; preset files against the real preference store,
// checked by the bytes of its file; and the store in the main window (names,
// looks, both menus, Clear All, Camera presets, file dialogs), its dialogs
// and menus answered from a timer while they run modally.

#include "app/presetfile.h"
#include "app/presetstore.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "tests/device/simdevice.h"
#include "testwindow.h"

#include <sys/resource.h>

#include <csignal>
#include <functional>

#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

using apptest::TestWindow;
using devicetest::SimDevice;
using quvtest::hexBytes;

namespace {

const char* const TIP_EMPTY
    = "(empty)\nNo value has been saved in this preset.\nRight click to Set preset and see other options.";

QByteArray fileBytes(const QString& path = QSettings().fileName())
{
    QSettings().sync();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Every preset empty but ePTZ 0 (a 64-character name) and Global 1, with extra on top.
QByteArray baselineWith(const QJsonObject& extra)
{
    QJsonObject object { { "Eptz0_preset_name", QString(64, 'a') } };
    for (int i = 0; i < 32; ++i)
        object.insert(QStringLiteral("%1%2_preset_available").arg(i < 16 ? "Eptz" : "Global").arg(i % 16), int(i % 17 == 0));
    for (auto it = extra.begin(); it != extra.end(); ++it)
        object.insert(it.key(), it.value());
    return QJsonDocument(object).toJson();
}

// Answers the next modal dialog once it shows (while no menu is open): a
// file dialog takes text as the file, an input dialog takes text and button,
// a message box the button; shown gets what the dialog showed. A dialog that
// does not come within 20 s, or does not close, fails the test and is closed.
void answer(const QString& button, QString* shown = nullptr, const QString& text = QString())
{
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(20000);
    QObject::connect(poll, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!(modal && modal->isVisible() && !QApplication::activePopupWidget()) && !deadline.hasExpired())
            return;
        poll->deleteLater();
        poll->stop();
        QString seen;
        if (auto* files = qobject_cast<QFileDialog*>(modal)) {
            seen
                = files->windowTitle() + "|" + files->directory().absolutePath() + "|" + files->nameFilters().join(";");
            files->selectFile(text);
            static_cast<QDialog*>(files)->accept();
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            seen = input->windowTitle() + "|" + input->labelText() + "|" + input->textValue();
            input->setTextValue(text);
            button == "OK" ? input->accept() : input->reject();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen = box->windowTitle() + "|" + box->text();
            for (QAbstractButton* b : box->buttons())
                b->text() == button ? b->click() : void();
        }
        if (shown)
            *shown = seen;
        const bool answered = modal && !modal->isVisible();
        if (modal && !answered)
            modal->close();
        QVERIFY2(answered, "no dialog came, or it did not take the answer");
    });
    poll->start(10);
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

} // namespace

class TestPresets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QSettings().clear(); }
    void globalRecallExposure_data();
    void globalRecallExposure();
    void eptzAndFiles();
    void hostileFiles_data();
    void hostileFiles();
    void failedExportKeepsTheOldFile();
    void namesLooksAndMenus();
    void clearAll();
    void cameraPresets();
    void fileDialogs();

private:
    QTemporaryDir m_dir;
};

void TestPresets::initTestCase()
{
    paneclock::setSourceForTesting(apptest::testClock);
    // The file dialogs start in the Documents folder of a home of the test's own.
    qputenv("HOME", m_dir.path().toLocal8Bit());
    QVERIFY(QDir(m_dir.path()).mkpath("Documents"));
}

void TestPresets::globalRecallExposure_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("changed");
    QTest::newRow("bright from manual: through shutter priority")
        << "0D"
        << "03" << QStringList { "81 01 04 39 0A FF", "81 01 04 39 0D FF" } << true;
    QTest::newRow("bright from auto: directly") << "0D"
                                                << "00" << QStringList { "81 01 04 39 0D FF" } << false;
    // The second part sends the mode again: the cache holds -1 as the unused second value, the preset 0.
    QTest::newRow("manual from auto") << "03"
                                      << "00" << QStringList { "81 01 04 39 03 FF", "81 01 04 39 03 FF" } << true;
}

void TestPresets::globalRecallExposure()
{
    QFETCH(QString, stored);
    QFETCH(QString, current);
    SimDevice cam;
    QVERIFY(cam.open());
    cam.sim.setValue(hexBytes("04 39"), hexBytes(qPrintable(stored)));
    cam.device->setZoomSpeed(5);
    presetstore::globalCopy(cam.device.get(), 4);
    cam.sim.setValue(hexBytes("04 39"), hexBytes(qPrintable(current)));
    cam.device->deviceInvalidateCache();
    cam.device->setZoomSpeed(0);
    cam.takeRecord();

    bool changed = false;
    int mode = 0;
    QVERIFY(presetstore::globalPastePt1(cam.device.get(), 4, &changed, &mode));
    presetstore::globalPastePt2(cam.device.get(), 4);
    QTEST(changed, "changed");
    QCOMPARE(mode + cam.device->zoomSpeed(), stored.toInt(nullptr, 16) + 5);
    // Every other value is as stored: the exposure mode is the only command.
    QStringList commands;
    for (const QByteArray& packet : quvtest::packetsStartingWith(cam.takeRecord(), hexBytes("81 01")))
        commands.append(quvtest::hexString(packet));
    QTEST(commands, "sent");
    QVERIFY(!presetstore::globalPastePt1(cam.device.get(), 5, &changed, &mode) && cam.takeRecord().isEmpty());
}

void TestPresets::eptzAndFiles()
{
    // A set preset whose values the store lacks is written with 0 and -1 (a
    // snapshot of an offline camera keeps no message value): 71 keys besides the 32.
    DeviceInterface offline(nullptr, SerialPortDesc::forDevicePath("/nonexistent"));
    presetstore::globalCopy(&offline, 0);
    const QString path = m_dir.filePath("round.taqo");
    QString error;
    QVERIFY(presetfile::write(path, &error));
    QJsonObject object = QJsonDocument::fromJson(fileBytes(path)).object();
    QCOMPARE(object.size(), 32 + 71);
    QCOMPARE(QJsonArray({ object["Global0_preset_name"], object["Global0_visca_delay_mode_val1"],
                 object["Global0_visca_ept_position_val2"] }),
        QJsonArray({ "0", 0, -1 }));

    // ePTZ recall sends nothing for an unchanged position or an empty preset.
    SimDevice cam;
    QVERIFY(cam.open());
    devicetest::Markers markers(cam.device.get());
    presetstore::globalCopy(cam.device.get(), 7);
    cam.device->viscaSet(ViscaMsg::EptPosition, 256, 128);
    presetstore::eptzSet(cam.device.get(), 3);
    QVERIFY(!presetstore::eptzRecall(cam.device.get(), 3) && !presetstore::eptzRecall(cam.device.get(), 2));
    cam.device->viscaSet(ViscaMsg::EptPosition, 0, 0);
    QVERIFY(presetstore::eptzRecall(cam.device.get(), 3) && markers.drain());
    QCOMPARE(quvtest::packetsStartingWith(cam.takeRecord(), hexBytes("81 01 7E 06 20")).size(), 3);

    // Export and import of the same file store the same values again.
    QSettings().setValue("Global7_preset_name", "seven");
    QVERIFY(presetfile::write(path, &error) && presetfile::read(path, &error));
    const QByteArray before = fileBytes();
    QSettings().setValue("Eptz3_visca_ept_position_pan", 99);
    QSettings().setValue("Global7_visca_gain_val1", 99);
    presetstore::availableSet(PresetTypeGlobal, 7, false);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(fileBytes(), before);

    // Eptz 3 set without its tilt; Global 7 not mentioned.
    writeFile(path, R"({"Eptz3_preset_available": 1, "Eptz3_visca_ept_position_pan": 40})");
    QSettings().setValue("Eptz3_visca_ept_position_tilt", 21);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_pan").toInt()
            + QSettings().value("Eptz3_visca_ept_position_tilt").toInt(),
        61);
    QVERIFY(!presetstore::available(PresetTypeGlobal, 7));
    QCOMPARE(presetstore::displayName(PresetTypeGlobal, 7), "seven");
}

void TestPresets::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("not JSON") << QByteArray("{\"Eptz0_preset_available\": 0,") << false;
    QTest::newRow("an array") << QByteArray("[{\"Eptz0_preset_available\": 0}]") << false;
    QTest::newRow("an empty object") << QByteArray("{}") << false;
    QTest::newRow("foreign keys only") << QByteArray(R"({"Eptz16_preset_available": 0, "volume": 1})") << false;
    QTest::newRow("no usable available key") << QByteArray(R"({"Eptz1_preset_available": 0.5})") << false;
    QTest::newRow("prefs keys") << baselineWith({ { "prefs/presetType_selected", 2 }, { "prefs/x", 1 } }) << true;
    QTest::newRow("wrong types") << baselineWith(
        { { "Eptz0_visca_ept_position_pan", "9" }, { "Eptz0_visca_ept_position_tilt", 6.5 }, { "Eptz0_preset_name", 7 },
            { "Global1_visca_gain_val1", 1e10 }, { "Eptz1_preset_available", "1" } })
                                 << true;
    QTest::newRow("a 70-character name") << baselineWith({ { "Eptz0_preset_name", QString(64, 'a') + "bbbbbb" } })
                                         << true;
    QTest::newRow("oversized") << baselineWith({}) + QByteArray(4 * 1024 * 1024, ' ') << false;
}

void TestPresets::hostileFiles()
{
    const QString path = m_dir.filePath("hostile.taqo");
    QString error;
    writeFile(path, baselineWith({}));
    QVERIFY(presetfile::read(path, &error));
    const QByteArray before = fileBytes();
    QFETCH(QByteArray, bytes);
    writeFile(path, bytes);
    QTEST(presetfile::read(path, &error), "accepted");
    QTEST(error.isEmpty(), "accepted");
    QCOMPARE(fileBytes(), before);
}

void TestPresets::failedExportKeepsTheOldFile()
{
    const QString path = m_dir.filePath("old.taqo");
    writeFile(path, "old");
    QString error;
    // The file size limit makes the write fail part-way (EFBIG instead of the signal).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit limit { 100, saved.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = presetfile::write(path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!written && error.contains(path));
    QCOMPARE(fileBytes(path), QByteArray("old"));
    QVERIFY(!presetfile::read(m_dir.filePath("missing.taqo"), &error) && error.contains("missing.taqo"));
}

void TestPresets::namesLooksAndMenus()
{
    QSettings().setValue("Global1_preset_available", 1);
    TestWindow window;
    QString shown;
    answer("Cancel", &shown);
    window.presetSet(0);
    QCOMPARE(shown,
        "Name Preset Eptz-1" + QString(35, ' ') + "|Set preset name for Eptz-1" + QString(27, ' ') + "|untitled");
    QVERIFY(!QSettings().contains("Eptz0_preset_available") && !QSettings().contains("Eptz0_visca_ept_position_pan"));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), TIP_EMPTY);
    QVERIFY(!looksSet(window.m_presetButtons[0]));
    answer("OK", nullptr, QString(70, 'n'));
    window.presetSet(0);
    QCOMPARE(QSettings().value("Eptz0_visca_ept_position_pan"), QVariant(0));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), "\"" + QString(64, 'n') + "\"");
    QVERIFY(looksSet(window.m_presetButtons[0]));
    answer("OK", nullptr, "");
    QVERIFY(window.presetRename(0, false));
    QCOMPARE(window.m_presetButtons[0]->toolTip(), "\"untitled\"");
    answer("OK", &shown);
    QVERIFY(!window.presetRename(1, false));
    QCOMPARE(shown,
        "QUV Taqo Control|You cannot rename an empty preset.\n\nUse the \"Set\" menu item to setup the "
        "Preset state before renaming it.");

    // The kind menu changes icon and tool tips; the kind is stored after a button's menu only.
    QCOMPARE(choose(window.m_presetTypeLabel, "Global"),
        QStringList({ "", "*ePTZ", "Global", "Camera", "", "Import...", "Export...", "Clear All..." }));
    QVERIFY(window.m_presetTypeLabel->pixmap(Qt::ReturnByValue).toImage()
        == QImage(":/media/preset_global.png").convertToFormat(QImage::Format_ARGB32_Premultiplied));
    QCOMPARE(window.m_presetButtons[1]->toolTip(), "\"untitled\"");
    QVERIFY(looksSet(window.m_presetButtons[1]) && !looksSet(window.m_presetButtons[0]));
    QVERIFY(!QSettings().contains("prefs/presetType_selected"));
    QCOMPARE(choose(window.m_presetButtons[1], "Clear"), QStringList({ "Set", "Recall", "Clear", "Rename..." }));
    QCOMPARE(window.m_presetButtons[1]->toolTip(), TIP_EMPTY);
    QCOMPARE(QSettings().value("prefs/presetType_selected").toInt(), 1);
    QCOMPARE(choose(window.m_presetTypeLabel, "Camera").at(2), "*Global");
    QCOMPARE(window.m_presetButtons[15]->toolTip().left(10), "(No name)\n");
    QVERIFY(looksSet(window.m_presetButtons[15]));
}

void TestPresets::clearAll()
{
    TestWindow window;
    for (PresetType kind : { PresetTypeEptz, PresetTypeGlobal, PresetTypeCamera }) {
        window.m_presetType = kind;
        presetstore::availableSet(PresetTypeEptz, 3, true);
        presetstore::availableSet(PresetTypeGlobal, 3, true);
        window.presetUiUpdateAll();
        const QByteArray before = fileBytes();
        QString shown;
        answer("Cancel", &shown);
        window.presetClearAll();
        QCOMPARE(shown,
            "Clear Preference File|Are you sure you wish to delete all ePTZ and Global preferences saved "
            "in your local Preference file?\n");
        QCOMPARE(fileBytes(), before);
        answer("OK");
        window.presetClearAll();
        QVERIFY(!presetstore::available(PresetTypeEptz, 3) && !presetstore::available(PresetTypeGlobal, 3));
        QCOMPARE(looksSet(window.m_presetButtons[3]), kind == PresetTypeCamera);
    }
}

void TestPresets::cameraPresets()
{
    quvtest::CamSim sim;
    QVERIFY(sim.isValid());
    QSettings().setValue("prefs/presetType_selected", 2);
    TestWindow window;
    window.ports = { SerialPortDesc::forDevicePath(sim.devicePath(), "SN0") };
    QVERIFY(window.scan());
    sim.clearReceived();
    choose(window.m_presetButtons[5], "Set");
    QVERIFY(window.m_presetButtons[5]->isChecked());
    choose(window.m_presetButtons[5], "Clear");
    QCOMPARE(sim.received(), QList<QByteArray>({ hexBytes("81 01 04 3F 01 05 FF"), hexBytes("81 01 04 3F 00 05 FF") }));

    // Recall does not move the check mark; the status dialog shows until the camera has been read again.
    choose(window.m_presetButtons[9], "Recall");
    QVERIFY(window.m_presetButtons[5]->isChecked());
    QCOMPARE(window.m_statusDialog->findChild<QLabel*>("textLabel")->text(), "Reading settings from TaqoCam...");
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 3F 02 09 FF")) && window.settle());
    QCOMPARE(QSettings().value("prefs/saved_preset").toInt(), 9);
    window.presetIndexRecall(12);
    QVERIFY(window.m_presetButtons[12]->isChecked() && window.settle());
}

void TestPresets::fileDialogs()
{
    QSettings().setValue("Eptz2_preset_available", 1);
    TestWindow window;
    const QString folder = m_dir.filePath("new");
    QVERIFY(QDir().mkpath(folder));
    QString shown;
    answer("", &shown, folder + "/mine.taqo");
    choose(window.m_presetTypeLabel, "Export...");
    QCOMPARE(shown, "Save Preset File|" + m_dir.filePath("Documents") + "|XML files (*.taqo)");
    // The next dialog opens where the last file was.
    answer("", &shown, folder + "/mine.taqo");
    choose(window.m_presetTypeLabel, "Import...");
    QCOMPARE(shown.section('|', 0, 1), "Open Preset File|" + folder);
    QVERIFY(QSettings().contains("Eptz15_preset_available"));

    // Failures are told in a warning box.
    writeFile(folder + "/other.taqo", "[]");
    const QByteArray before = fileBytes();
    answer("OK", &shown);
    window.presetFileRead(folder + "/other.taqo");
    QVERIFY(shown.startsWith("Open Preset File|\"" + folder + "/other.taqo\" is not a preset file"));
    answer("OK", &shown);
    window.presetFileWrite(folder + "/other.taqo/new.taqo");
    QVERIFY(shown.startsWith("Save Preset File|The preset file"));
    QCOMPARE(fileBytes(), before);
}

QUV_TEST_MAIN_WITH(TestPresets, apptest::AppApplication)
#include "test_presets.moc"
