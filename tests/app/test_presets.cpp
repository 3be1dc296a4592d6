// Presets: ePTZ and Global presets on a simulated camera, checked by the
// packets on the line; preset files against the real preference store,
// checked by the bytes of its file; the store in the main window, its
// dialogs and menus answered while they run modally.

#include "answering.h"
#include "app/presetfile.h"
#include "app/presetstore.h"
#include "app/storecheck.h"
#include "panes/panecamera.h"
#include "quvapp/quvmenu.h"
#include "quvtest.h"
#include "simdevice.h"
#include "testwindow.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

using apptest::TestWindow;
using devicetest::SimDevice;
using quvtest::hexBytes;

namespace {

QByteArray fileBytes(const QString& path = QSettings().fileName())
{
    QSettings().sync();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QUV_VERIFY_OR_FALSE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return true;
}

// ePTZ 0 (named with 64 characters) and Global 1 set, the other 30 presets empty; then extra.
QByteArray baselineWith(const QJsonObject& extra)
{
    QVariantMap map { { "Eptz0_preset_name", QString(64, 'a') } };
    for (int i = 0; i < 32; ++i)
        map.insert(
            QStringLiteral("%1%2_preset_available").arg(i < 16 ? "Eptz" : "Global").arg(i % 16), int(i % 17 == 0));
    map.insert(extra.toVariantMap());
    return QJsonDocument(QJsonObject::fromVariantMap(map)).toJson();
}

// Opens widget's context menu at (5, 5) and answers it with item, and any
// dialog that follows with the answers after it; *shown gets the menu first.
bool choose(QWidget* widget, const QString& item, QList<quvtest::Shown>* shown,
    const QList<quvtest::Answer>& after = QList<quvtest::Answer>())
{
    QString failure;
    if (!quvtest::answerWhile([&] { quvtest::requestContextMenu(widget, QPoint(5, 5)); },
            QList<quvtest::Answer> { item } + after, shown, &failure)) {
        QTest::qFail(qPrintable(failure), __FILE__, __LINE__);
        return false;
    }
    // The menu opens a little up and left of the click.
    QUV_COMPARE_OR_FALSE(shown->value(0).className, QStringLiteral("QuvMenu"));
    QUV_COMPARE_OR_FALSE(shown->value(0).pos, widget->mapToGlobal(QPoint(-5, -5)));
    return true;
}

// A set preset's number is light grey, an empty one's black; the tool tip,
// as it reads on the screen, tells it too.
QString looks(QPushButton* button)
{
    QString tip = button->toolTip();
    if (Qt::mightBeRichText(tip))
        tip = QTextDocumentFragment::fromHtml(tip).toPlainText();
    return (button->styleSheet().contains("color:rgb(0,0,0)") ? "black " : "grey ") + tip.section('\n', 0, 0);
}

// While it lives, a write past size_bytes into any file fails part-way with
// EFBIG (the signal is ignored), as a write to a full disk would.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t size_bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit { size_bytes, m_saved.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved {};
};

// Reads path as a preset file on a thread of its own, so that a read that
// waits on a named pipe fails the test instead of stopping it: after 10 s a
// writer comes and goes on fifo, which ends the wait. *waited tells whether
// it had to.
bool readUnstuck(const QString& path, const QString& fifo, QString* error, bool* waited)
{
    std::promise<bool> read;
    std::future<bool> done = read.get_future();
    std::thread reader([&] { read.set_value(presetfile::read(path, error)); });
    *waited = done.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        const int fd = open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            close(fd);
    }
    reader.join();
    return done.get();
}

const QString STORE_WARNING_TAIL
    = "\n\nYour changes are kept while the application runs, and saved as soon as the file can be written again.";

// This test program run once more as the user nobody: "--store-as-nobody
// <config folder> action" sets ePTZ preset 1 with the window's check of the
// store under that folder, then prints the warning box's text and whether the
// preset reads back as set; the settings written at exit are flushed last.
// With "exit" in place of "action" only the settings at exit are written.
constexpr char STORE_HELPER[] = "--store-as-nobody";

int storeHelper(int argc, char** argv)
{
    const gid_t unprivileged = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(unprivileged) != 0 || setuid(unprivileged) != 0)
        return 3;
    qputenv("XDG_CONFIG_HOME", argv[2]);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("quv"));
    QCoreApplication::setApplicationName(QStringLiteral("QUV Taqo Control"));
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    poll.start(10);
    if (std::strcmp(argv[3], "action") == 0) {
        const storecheck::Action action(nullptr);
        presetstore::availableSet(PresetTypeEptz, 1, true);
    }
    QSettings().setValue(QStringLiteral("prefs/camZoomSpeed"), 3);
    std::printf("%s|%d\n", qPrintable(shown), int(presetstore::available(PresetTypeEptz, 1)));
    storecheck::flushAtExit();
    return 0;
}

} // namespace

class TestPresets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void globalRecallExposure_data();
    void globalRecallExposure();
    void globalRecallOnSilentCamera();
    void globalRecallPastRefusals();
    void eptzAndFiles();
    void setOnUnreadableCamera();
    void hostileFiles_data();
    void hostileFiles();
    void failedExportAndFolders();
    void nonRegularFiles_data();
    void nonRegularFiles();
    void unwritableStore();
    void readOnlyStoreAsNobody_data();
    void readOnlyStoreAsNobody();
    void namesLooksAndMenus();
    void fileDialogs();
    void clearAll();
    void cameraPresets();

private:
    QTemporaryDir m_dir;
    QTimer m_watchdog;
};

void TestPresets::initTestCase()
{
    // The file dialogs open in Documents under a home of the test's own.
    qputenv("HOME", m_dir.filePath("home").toLocal8Bit());
    QVERIFY(QDir().mkpath(m_dir.filePath("home/Documents")));
    // The window's clock stands still: no scan starts by itself.
    paneclock::setSourceForTesting(quvtest::steppedClock);
    // A dialog nobody answers fails the test within seconds instead of waiting for the time limit.
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            QFAIL("a dialog nobody answered was closed");
        }
    });
}

void TestPresets::init()
{
    QSettings().clear();
    m_watchdog.start(20000);
}

void TestPresets::globalRecallExposure_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("changed");
    const QString shutterPriority = "81 01 04 39 0A FF", bright = "81 01 04 39 0D FF", manual = "81 01 04 39 03 FF";
    QTest::newRow("bright from manual: through shutter priority")
        << hexBytes("0D") << hexBytes("03") << QStringList { shutterPriority, bright } << true;
    QTest::newRow("bright from auto: directly") << hexBytes("0D") << hexBytes("00") << QStringList { bright } << false;
    // The second part sends the mode again: the cache holds -1 as the unused second value, the preset 0.
    QTest::newRow("manual from auto") << hexBytes("03") << hexBytes("00") << QStringList { manual, manual } << true;
}

void TestPresets::globalRecallExposure()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, current);
    SimDevice cam;
    QVERIFY(cam.open());
    cam.sim.setValue(hexBytes("04 39"), stored);
    cam.device->setZoomSpeed(5);
    presetstore::globalCopy(cam.device.get(), 4);
    cam.sim.setValue(hexBytes("04 39"), current);
    cam.device->deviceInvalidateCache();
    cam.device->setZoomSpeed(0);
    cam.takeRecord();

    bool changed = false;
    int mode = 0;
    QVERIFY(presetstore::globalPastePt1(cam.device.get(), 4, &changed, &mode));
    presetstore::globalPastePt2(cam.device.get(), 4);
    QTEST(changed, "changed");
    QCOMPARE(mode, int(stored.at(0)));
    QCOMPARE(cam.device->zoomSpeed(), 5);
    // Every other value is as stored: the exposure mode is the only command.
    QStringList commands;
    for (const QByteArray& packet : quvtest::packetsStartingWith(cam.takeRecord(), hexBytes("81 01")))
        commands.append(quvtest::hexString(packet));
    QTEST(commands, "sent");
    QVERIFY(!presetstore::globalPastePt1(cam.device.get(), 5, &changed, &mode) && cam.takeRecord().isEmpty());
}

void TestPresets::globalRecallOnSilentCamera()
{
    SimDevice cam;
    QVERIFY(cam.open());
    presetstore::globalCopy(cam.device.get(), 6);
    // Three values differ from the snapshot; then the camera falls silent.
    cam.device->viscaSet(ViscaMsg::Iris, 3, -1);
    cam.device->viscaSet(ViscaMsg::Gain, 4, -1);
    cam.device->viscaSet(ViscaMsg::Brightness, 5, -1);
    cam.takeRecord();
    cam.sim.addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::Silence));
    bool changed = false;
    int mode = 0;
    QVERIFY(presetstore::globalPastePt1(cam.device.get(), 6, &changed, &mode));
    // The recall ends at the first write that has no answer: the iris.
    QTest::ignoreMessage(QtWarningMsg, "Global preset 6 recall stopped: the camera did not take message 4");
    QVERIFY(!presetstore::globalPastePt2(cam.device.get(), 6));
    cam.sim.clearFaults();
    const QList<QByteArray> sent = cam.takeRecord();
    QCOMPARE(sent.size(), 1);
    QVERIFY(sent.first().startsWith(hexBytes("81 01 04 4B")));

    // The window's recall on a camera that falls silent does not read it
    // again (each read would wait out its budget: the window would stay
    // frozen for half a minute), and the warning line, posted last, still
    // shows once the window runs again. The bound is on a hang, a few
    // budgets: the recall itself waits out one or two.
    apptest::Rig rig({ 0 });
    QVERIFY(rig.start());
    TestWindow& window = rig.window;
    DeviceInterface* device = window.m_deviceSet->get();
    presetstore::globalCopy(device, 4);
    device->viscaSet(ViscaMsg::Iris, 3, -1);
    device->viscaSet(ViscaMsg::Gain, 4, -1);
    rig.sim(0).addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::Silence));
    QTest::ignoreMessage(QtWarningMsg, "Global preset 4 recall stopped: the camera did not take message 4");
    QElapsedTimer recall;
    recall.start();
    window.presetGlobalRecall(4);
    QVERIFY2(recall.elapsed() < 4 * VISCA_PACKET_BUDGET_US / 1000, qPrintable(QString::number(recall.elapsed())));
    window.tick(2900);
    QCOMPARE(window.m_warningLabel->text(), "Preset Global-5 recall stopped: the camera does not answer");
    QVERIFY(!window.m_warningLabel->isHidden());
}

void TestPresets::globalRecallPastRefusals()
{
    SimDevice cam;
    QVERIFY(cam.open());
    presetstore::globalCopy(cam.device.get(), 6);
    // As after Export and Import of a value not read at Set: -1, which no packet can carry.
    QSettings().setValue(presetstore::globalValueKey(6, ViscaMsg::NoiseReduction2d3d, 2), -1);
    cam.device->viscaSet(ViscaMsg::Iris, 3, -1);
    cam.device->viscaSet(ViscaMsg::Gain, 4, -1);
    cam.device->viscaSet(ViscaMsg::Brightness, 5, -1);
    cam.takeRecord();
    cam.sim.addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::ErrorReply).matching(hexBytes("01 04 4C")));
    QTest::ignoreMessage(QtWarningMsg, "Global preset 6 recall: message 21 skipped, its values cannot be sent");
    QTest::ignoreMessage(QtWarningMsg, "Global preset 6 recall: message 30 skipped, the camera refused it");
    QVERIFY(presetstore::globalPastePt2(cam.device.get(), 6));
    // Every differing message that can be sent goes out, those after the refusals too.
    QStringList sent;
    for (const QByteArray& packet : cam.takeRecord())
        sent.append(quvtest::hexString(packet.left(4)));
    QCOMPARE(sent, QStringList({ "81 01 04 4B", "81 01 04 4C", "81 01 04 4D" }));
}

void TestPresets::eptzAndFiles()
{
    // ePTZ recall sends nothing for an unchanged position or an empty preset.
    SimDevice cam;
    QVERIFY(cam.open());
    devicetest::Markers markers(cam.device.get());
    presetstore::globalCopy(cam.device.get(), 7);
    QCOMPARE(QSettings().value("Global7_visca_video_format_val1").toInt(), 8);
    cam.device->viscaSet(ViscaMsg::EptPosition, 256, 128);
    presetstore::eptzSet(cam.device.get(), 3);
    QVERIFY(!presetstore::eptzRecall(cam.device.get(), 3) && !presetstore::eptzRecall(cam.device.get(), 2));
    cam.device->viscaSet(ViscaMsg::EptPosition, 256, 0);
    QVERIFY(presetstore::eptzRecall(cam.device.get(), 3) && markers.drain());
    const QByteArray position = hexBytes("81 01 7E 06 20 00 00 00 01 00 00 00 00 08 00 FF");
    QCOMPARE(cam.takeRecord().count(position), 2);

    // Export then import stores the same values again.
    const QString path = m_dir.filePath("round.taqo");
    QString error;
    QSettings().setValue("Global7_preset_name", "seven");
    QVERIFY(presetfile::write(path, &error) && presetfile::read(path, &error));
    const QByteArray before = fileBytes();
    QSettings().setValue("Eptz3_visca_ept_position_pan", 99);
    QSettings().setValue("Global7_visca_gain_val1", 99);
    presetstore::availableSet(PresetTypeGlobal, 7, false);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(fileBytes(), before);

    // Eptz 3 set without its tilt keeps the stored tilt; Global 7, not mentioned, is unset and keeps its name.
    QVERIFY(writeFile(path, R"({"Eptz3_preset_available": 1, "Eptz3_visca_ept_position_pan": 40})"));
    QSettings().setValue("Eptz3_visca_ept_position_tilt", 21);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_pan").toInt(), 40);
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_tilt").toInt(), 21);
    QVERIFY(!presetstore::available(PresetTypeGlobal, 7));
    QCOMPARE(presetstore::displayName(PresetTypeGlobal, 7), "seven");
    // Preset 0 as well, also alone in a file.
    QVERIFY(writeFile(path, R"({"Eptz0_preset_available": 1, "Eptz0_visca_ept_position_pan": 40})"));
    QVERIFY(presetfile::read(path, &error));
    QVERIFY(presetstore::available(PresetTypeEptz, 0));
    QCOMPARE(QSettings().value("Eptz0_visca_ept_position_pan").toInt(), 40);

    // A set preset whose values the store lacks goes out with 0, -1 and "0": 71 keys besides its available key.
    // ePTZ 0, set by the file above without its tilt, goes out with tilt 0.
    QSettings().setValue("Global9_preset_available", 1);
    QVERIFY(!QSettings().contains("Eptz0_visca_ept_position_tilt"));
    QVERIFY(presetfile::write(path, &error));
    const QVariantMap object = QJsonDocument::fromJson(fileBytes(path)).object().toVariantMap();
    QCOMPARE(object.size(), 32 + 3 + 71);
    QCOMPARE(object.value("Eptz0_visca_ept_position_tilt"), QVariant(0));
    QCOMPARE(object.value("Global9_preset_name"), QVariant("0"));
    QCOMPARE(object.value("Global9_visca_power_val2"), QVariant(-1));
    QCOMPARE(object.value("Global9_zoom_speed_val1"), QVariant(0));
}

// The stored ePTZ and Global presets as they stand in the store file.
QByteArray presetLines()
{
    QByteArray lines;
    for (const QByteArray& line : fileBytes().split('\n')) {
        if (line.startsWith("Eptz") || line.startsWith("Global"))
            lines += line + '\n';
    }
    return lines;
}

void TestPresets::setOnUnreadableCamera()
{
    // A camera that answers but cannot read a value: that value of the preset stays.
    SimDevice cam;
    QVERIFY(cam.open());
    QSettings().setValue("Eptz3_preset_available", 1);
    QSettings().setValue("Eptz3_visca_ept_position_pan", 100);
    QSettings().setValue("Eptz3_visca_ept_position_tilt", 200);
    QSettings().setValue("Global3_visca_video_format_val1", 5);
    cam.sim.addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::ErrorReply).matching(hexBytes("09 7E 06 20")));
    cam.sim.addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::Silence).matching(hexBytes("09 04 24 72")));
    QVERIFY(!presetstore::eptzSet(cam.device.get(), 3));
    QVERIFY(presetstore::globalCopy(cam.device.get(), 3));
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_pan").toInt(), 100);
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_tilt").toInt(), 200);
    QCOMPARE(QSettings().value("Global3_visca_video_format_val1").toInt(), 5);
    QVERIFY(QSettings().contains("Global3_visca_color_space_val1"));

    // The window's Set on a camera that answers without its ePTZ position: a
    // set preset keeps its values, an empty one is not named; the warning line tells why.
    apptest::Rig rig({ 0 });
    QVERIFY(rig.start());
    TestWindow& window = rig.window;
    rig.sim(0).addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::ErrorReply).matching(hexBytes("09 7E 06 20")));
    window.m_deviceSet->get()->deviceInvalidateCache();
    const QByteArray unread = presetLines();
    QList<quvtest::Shown> shown;
    QVERIFY(quvtest::answerWhile(
        [&] {
            window.presetSet(3);
            window.presetSet(4);
        },
        {}, &shown));
    QCOMPARE(shown.size(), 0);
    QCOMPARE(presetLines(), unread);
    QCOMPARE(window.m_warningLabel->text(), "Preset Eptz-5 cannot be set: the ePTZ position cannot be read");
    QVERIFY(!window.m_warningLabel->isHidden());

    // The selected camera's line hung up: Set, by menu or key, on a set or an
    // empty preset of any kind, names nothing and changes no preset.
    QSettings().setValue("Global4_preset_available", 1);
    QSettings().setValue("Global4_visca_gain_val1", 9);
    rig.sim(0).hangUp();
    int gain = 0;
    QCOMPARE(window.m_deviceSet->get()->viscaGet(ViscaMsg::Gain, gain, false), 255);
    QVERIFY(!window.m_deviceSet->get()->deviceOnline());
    const QByteArray before = presetLines();
    for (PresetType kind : { PresetTypeEptz, PresetTypeGlobal, PresetTypeCamera }) {
        window.m_presetType = kind;
        window.m_warningLabel->clear();
        QVERIFY(quvtest::answerWhile(
            [&] {
                window.presetSet(3);
                window.presetSet(4);
                window.presetIndexSet(5);
            },
            {}, &shown));
        QCOMPARE(shown.size(), 0);
        QCOMPARE(window.m_warningLabel->text(),
            "Preset " + window.presetTypeString(kind) + "-6 cannot be set: the camera is offline");
    }
    QCOMPARE(presetLines(), before);

    // A Global recall stops at its first write, and the warning line says so.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Global preset 4 recall stopped: "));
    window.presetGlobalRecall(4);
    QCOMPARE(window.m_warningLabel->text(), "Preset Global-5 recall stopped: the camera does not answer");
}

void TestPresets::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("not JSON") << QByteArray("{\"Eptz0_preset_available\": 0,") << false;
    QTest::newRow("an array") << QByteArray("[{\"Eptz0_preset_available\": 0}]") << false;
    QTest::newRow("an empty object") << QByteArray("{}") << false;
    QTest::newRow("foreign keys only") << QByteArray(R"({"Eptz16_preset_available": 0, "volume": 1})") << false;
    QTest::newRow("no whole-number available key") << QByteArray(R"({"Eptz1_preset_available": 0.5})") << false;
    QTest::newRow("prefs keys") << baselineWith({ { "prefs/presetType_selected", 2 } }) << true;
    QTest::newRow("wrong types") << baselineWith(
        { { "Eptz0_visca_ept_position_pan", "9" }, { "Eptz0_visca_ept_position_tilt", 6.5 }, { "Eptz0_preset_name", 7 },
            { "Global1_visca_gain_val1", 1e10 }, { "Eptz1_preset_available", "1" } })
                                 << true;
    QTest::newRow("a 70-character name") << baselineWith({ { "Eptz0_preset_name", QString(64, 'a') + "bbbbbb" } })
                                         << true;
    QTest::newRow("4 MiB") << baselineWith({}).leftJustified(4 * 1024 * 1024, ' ') << true;
    QTest::newRow("oversized") << baselineWith({}).leftJustified(4 * 1024 * 1024 + 1, ' ') << false;
}

void TestPresets::hostileFiles()
{
    const QString path = m_dir.filePath("hostile.taqo");
    QString error;
    QVERIFY(writeFile(path, baselineWith({})));
    QVERIFY(presetfile::read(path, &error));
    const QByteArray before = fileBytes();
    QFETCH(QByteArray, bytes);
    QVERIFY(writeFile(path, bytes));
    QTEST(presetfile::read(path, &error), "accepted");
    QTEST(error.isEmpty(), "accepted");
    QCOMPARE(fileBytes(), before);
}

void TestPresets::failedExportAndFolders()
{
    const QString path = m_dir.filePath("old.taqo");
    QVERIFY(writeFile(path, "old"));
    QString error;
    const QByteArray store = fileBytes();
    bool written = true;
    {
        const FileSizeLimit limit(100);
        written = presetfile::write(path, &error);
    }
    QVERIFY(!written && error.contains(path));
    QCOMPARE(fileBytes(path), QByteArray("old"));
    QVERIFY(!presetfile::write(path + "/new.taqo", &error));
    QCOMPARE(fileBytes(), store);

    // The folder the file dialogs open in.
    const QString documents = QDir::homePath() + "/Documents";
    QCOMPARE(presetfile::pathLastDir(LocationPresetFile), documents);
    presetfile::pathLastDirSet(LocationPresetFile, "rel/dir");
    presetfile::pathLastDirSet(LocationType(2), "/elsewhere");
    QCOMPARE(presetfile::pathLastDir(LocationPresetFile), QDir::current().absoluteFilePath("rel/dir"));
    QCOMPARE(presetfile::pathLastDir(LocationType(2)), documents);
}

void TestPresets::nonRegularFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a named pipe") << m_dir.filePath("pipe.taqo") << "it is a named pipe";
    QTest::newRow("a link to a named pipe") << m_dir.filePath("link.taqo") << "it is a named pipe";
    QTest::newRow("a device") << QString("/dev/zero") << "it is a device";
    QTest::newRow("a folder") << m_dir.path() << "it is a folder";
    QTest::newRow("a link to a preset file") << m_dir.filePath("link-to-file.taqo") << "";
}

void TestPresets::nonRegularFiles()
{
    QFETCH(QString, path);
    const QString fifo = m_dir.filePath("pipe.taqo");
    QVERIFY(QFileInfo::exists(fifo) || mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    const QString file = m_dir.filePath("file.taqo");
    QVERIFY(writeFile(file, baselineWith({})));
    for (const QString& target : { fifo, file }) {
        const QString link = m_dir.filePath(target == fifo ? "link.taqo" : "link-to-file.taqo");
        QVERIFY(QFileInfo(link).isSymLink() || QFile::link(target, link));
    }
    QString error;
    QVERIFY(presetfile::read(file, &error));
    const QByteArray before = fileBytes();

    // Refused at once, without waiting for a writer on the pipe or reading the device.
    bool waited = false;
    const bool read = readUnstuck(path, fifo, &error, &waited);
    QVERIFY(!waited);
    QFETCH(QString, reason);
    QCOMPARE(error, reason.isEmpty() ? QString() : "\"" + path + "\" is not a preset file: " + reason + ".");
    QCOMPARE(read, reason.isEmpty());
    QCOMPARE(fileBytes(), before);
}

void TestPresets::unwritableStore()
{
    const QString store = QSettings().fileName();
    const QString folder = QFileInfo(store).absolutePath();
    // A key in a fallback file (the organisation's) is not the store's: a
    // healthy store warns of nothing (the watchdog fails any box).
    const QString fallback = QFileInfo(folder).absolutePath() + "/quv.conf";
    QVERIFY(writeFile(fallback, "[General]\nforeign=1\n"));
    presetstore::availableSet(PresetTypeEptz, 2, true);
    quvtest::MessageLog log;
    const QString message = "The preference file \"" + store + "\" could not be saved: it is a folder.";
    {
        TestWindow window;
        window.presetClear(3);
        // A folder in the store file's place stops every write, root's too.
        QVERIFY(QFile::remove(store) && QDir().mkdir(store));
        QList<quvtest::Shown> shown;
        QUV_ANSWER([&] { window.presetClear(2); }, &shown, { "OK" });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, "Preferences Not Saved");
        QCOMPARE(shown.first().text, message + STORE_WARNING_TAIL);
        // The window works on from memory, and warns once only: the watchdog fails any further box.
        QCOMPARE(looks(window.m_presetButtons[2]), "black (empty)");
        const QString path = m_dir.filePath("five.taqo");
        QVERIFY(writeFile(path, R"({"Eptz5_preset_available": 1})"));
        window.presetFileRead(path);
        QCOMPARE(looks(window.m_presetButtons[5]), "grey \"untitled\"");
        QCOMPARE(log.count(message), 1);
    }
    QCOMPARE(log.count("Settings written at exit are lost. " + message), 1);

    // Once the file can be written again, the next flush saves what was kept.
    QVERIFY(QDir().rmdir(store));
    QVERIFY(fileBytes().contains("Eptz5_preset_available=1"));
    QVERIFY(!presetstore::available(PresetTypeEptz, 2));

    // A write cut short, as on a full disk, which the status does not tell: a
    // test write beside the file tells why, and the next change saves it whole.
    {
        const FileSizeLimit limit(100);
        QSettings().setValue("Eptz5_preset_name", QString(200, 'n'));
        storecheck::flushAtExit();
    }
    QCOMPARE(log.count("Settings written at exit are lost. The preference file \"" + store
                 + "\" could not be saved: File too large."),
        1);
    QSettings().setValue("Eptz6_preset_available", 0);
    QVERIFY(fileBytes().contains("Eptz5_preset_name=" + QByteArray(200, 'n') + "\n"));
    // The test writes leave nothing behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList("QUV Taqo Control.conf"));
    QVERIFY(QFile::remove(fallback));
}

void TestPresets::readOnlyStoreAsNobody_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("file");
    QTest::addColumn<bool>("action"); // a preset action, or the settings at exit only
    QTest::addColumn<QString>("reason"); // "%1" stands for the config folder
    QTest::newRow("a config folder left to root") << true << false << true << "its folder \"%1\" cannot be written";
    QTest::newRow("no config folder, none allowed") << false << false << true << "its folder \"%1\" cannot be created";
    QTest::newRow("a store file left to root") << true << true << true << "the file cannot be written";
    QTest::newRow("settings at exit only") << true << false << false << "its folder \"%1\" cannot be written";
}

void TestPresets::readOnlyStoreAsNobody()
{
    if (geteuid() != 0)
        QSKIP("needs root, to run a helper as the user nobody");
    QFETCH(bool, folder);
    QFETCH(bool, file);
    QFETCH(bool, action);
    // Nobody may enter the home but not write in it; with a file, the config
    // folder is nobody's and the file root's.
    QTemporaryDir home;
    const QString config = home.filePath("quv");
    const QString store = config + "/QUV Taqo Control.conf";
    QVERIFY(chmod(QFile::encodeName(home.path()).constData(), 0755) == 0);
    QVERIFY(!folder || QDir().mkdir(config));
    if (file) {
        QVERIFY(writeFile(store, "[General]\nEptz0_preset_available=1\n"));
        QVERIFY(chown(QFile::encodeName(config).constData(), 65534, 65534) == 0);
    }
    QProcess helper;
    // The sanitizers' suppression files lie in the source tree, which nobody
    // may not be allowed to read (a clone in a private folder): the helper
    // reads copies, in a folder whose path has no blank (an option ends there).
    QTemporaryDir copies(QDir::tempPath() + QStringLiteral("/quvtest-XXXXXX"));
    QVERIFY(chmod(QFile::encodeName(copies.path()).constData(), 0755) == 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString name : { "LSAN_OPTIONS", "UBSAN_OPTIONS" }) {
        QStringList options = environment.value(name).split(':', Qt::SkipEmptyParts);
        for (QString& option : options) {
            const QString key = QStringLiteral("suppressions=");
            if (!option.startsWith(key))
                continue;
            const QString copy = copies.filePath(name + ".supp");
            QVERIFY(QFile::copy(option.mid(key.size()), copy));
            QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            option = key + copy;
        }
        if (!options.isEmpty())
            environment.insert(name, options.join(':'));
    }
    helper.setProcessEnvironment(environment);
    helper.start(QCoreApplication::applicationFilePath(),
        { QString::fromLatin1(STORE_HELPER), home.path(), action ? "action" : "exit" });
    QVERIFY(helper.waitForFinished(30000));
    QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
    QCOMPARE(helper.exitCode(), 0);
    QFETCH(QString, reason);
    const QString message
        = "The preference file \"" + store + "\" could not be saved: " + reason.arg(config) + " (Permission denied).";
    // The warning, and the preset set in memory all the same.
    QCOMPARE(QString::fromLocal8Bit(helper.readAllStandardOutput()),
        action ? message + STORE_WARNING_TAIL + "|1\n" : QString("|0\n"));
    QVERIFY(helper.readAllStandardError().contains(("Settings written at exit are lost. " + message).toLocal8Bit()));
}

void TestPresets::namesLooksAndMenus()
{
    QSettings().setValue("Global1_preset_available", 1);
    apptest::Rig rig({ 0 });
    QVERIFY(rig.start());
    TestWindow& window = rig.window;
    QList<quvtest::Shown> shown;
    QUV_ANSWER([&] { window.presetSet(0); }, &shown, { "Cancel" });
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, "Name Preset Eptz-1" + QString(35, ' '));
    QCOMPARE(shown.first().text, "Set preset name for Eptz-1" + QString(27, ' '));
    QCOMPARE(shown.first().detail, "untitled");
    QVERIFY(!QSettings().contains("Eptz0_preset_available") && !QSettings().contains("Eptz0_visca_ept_position_pan"));
    QCOMPARE(looks(window.m_presetButtons[0]), "black (empty)");
    rig.window.m_deviceSet->get()->viscaSet(ViscaMsg::EptPosition, 256, 128);
    QUV_ANSWER([&] { window.presetSet(0); }, &shown, { "OK", QString(70, 'n') });
    QCOMPARE(QSettings().value("Eptz0_visca_ept_position_pan"), QVariant(256));
    QCOMPARE(looks(window.m_presetButtons[0]), "grey \"" + QString(64, 'n') + "\"");
    bool renamed = false;
    QUV_ANSWER([&] { renamed = window.presetRename(0, false); }, &shown, { "OK", "" });
    QVERIFY(renamed);
    QCOMPARE(looks(window.m_presetButtons[0]), "grey \"untitled\"");
    // A name that looks like HTML reads as typed; a cut never halves a character.
    QUV_ANSWER([&] { renamed = window.presetRename(0, false); }, &shown, { "OK", "<b>bold</b>" });
    QVERIFY(renamed);
    QCOMPARE(looks(window.m_presetButtons[0]), "grey \"<b>bold</b>\"");
    QCOMPARE(presetstore::cutName(QString(63, 'n') + QString::fromUtf8("\xF0\x9F\x98\x80")), QString(63, 'n'));
    QUV_ANSWER([&] { renamed = window.presetRename(1, false); }, &shown, { "OK" });
    QVERIFY(!renamed);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, "QUV Taqo Control");
    QCOMPARE(shown.first().text,
        "You cannot rename an empty preset.\n\nUse the \"Set\" menu item to setup the Preset state before renaming "
        "it.");

    // The kind menu changes icon and tool tips; the kind is stored after a button's menu only.
    QVERIFY(choose(window.m_presetTypeLabel, "Global", &shown));
    QCOMPARE(shown.first().items,
        QStringList({ "", "*ePTZ", "Global", "Camera", "", "Import...", "Export...", "Clear All..." }));
    QVERIFY(window.m_presetTypeLabel->pixmap(Qt::ReturnByValue).toImage()
        == QPixmap(":/media/preset_global.png").toImage());
    QCOMPARE(looks(window.m_presetButtons[1]), "grey \"untitled\"");
    QCOMPARE(looks(window.m_presetButtons[0]), "black (empty)");
    QVERIFY(!QSettings().contains("prefs/presetType_selected"));
    QVERIFY(choose(window.m_presetButtons[1], "Clear", &shown));
    QCOMPARE(shown.first().items, QStringList({ "Set", "Recall", "Clear", "Rename..." }));
    QCOMPARE(looks(window.m_presetButtons[1]), "black (empty)");
    QCOMPARE(QSettings().value("prefs/presetType_selected").toInt(), 1);
    QVERIFY(choose(window.m_presetTypeLabel, "Camera", &shown));
    QCOMPARE(shown.first().items.at(2), "*Global");
    QCOMPARE(looks(window.m_presetButtons[15]), "grey (No name)");

    // A Camera recall with no camera: the status dialog ends when the reload finds none.
    window.ports.clear();
    QVERIFY(window.scan() && window.m_deviceSet->deviceSetCount() == 0);
    window.presetRecall(4);
    QVERIFY(window.m_statusDialog && window.m_statusDialog->isVisible());
    QTRY_VERIFY(!window.m_statusDialog);
}

void TestPresets::fileDialogs()
{
    presetstore::availableSet(PresetTypeEptz, 2, true);
    QSettings().setValue("Eptz2_preset_name", "two");
    TestWindow window;
    const QString filter = "XML files (*.taqo)";
    QList<quvtest::Shown> shown;
    QVERIFY(choose(window.m_presetTypeLabel, "Export...", &shown, { { "Cancel" } }));
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).title, "Save Preset File");
    QCOMPARE(shown.at(1).text, filter);
    QCOMPARE(shown.at(1).detail, QDir::homePath() + "/Documents");
    QVERIFY(!QSettings().contains("prefs/last_export_dir") && !QSettings().contains("prefs/last_export_file"));

    // Export into a new folder, which the next dialog opens in.
    const QString path = m_dir.filePath("new/presets.taqo");
    QVERIFY(choose(window.m_presetTypeLabel, "Export...", &shown, { { "Save", path } }));
    QCOMPARE(QSettings().value("prefs/last_export_file").toString(), path);
    QCOMPARE(QSettings().value("prefs/last_export_dir").toString(), m_dir.filePath("new"));
    // Every available key, and the name, pan and tilt of the one preset set.
    QCOMPARE(QJsonDocument::fromJson(fileBytes(path)).object().size(), 32 + 3);
    window.presetClear(2);
    QCOMPARE(looks(window.m_presetButtons[2]), "black (empty)");
    QVERIFY(choose(window.m_presetTypeLabel, "Import...", &shown, { { "Open", path } }));
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).title, "Open Preset File");
    QCOMPARE(shown.at(1).text, filter);
    QCOMPARE(shown.at(1).detail, m_dir.filePath("new"));
    QCOMPARE(looks(window.m_presetButtons[2]), "grey \"two\"");

    // A failed export is told.
    QUV_ANSWER([&] { window.presetFileWrite(path + "/under-a-file.taqo"); }, &shown, { "OK" });
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, "Save Preset File");
    QVERIFY(shown.first().text.startsWith("The preset file"));
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
        QList<quvtest::Shown> shown;
        QUV_ANSWER([&] { window.presetClearAll(); }, &shown, { "Cancel" });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, "Clear Preference File");
        QVERIFY(shown.first().text.startsWith("Are you sure you wish to delete all ePTZ and Global"));
        QCOMPARE(fileBytes(), before);
        QUV_ANSWER([&] { window.presetClearAll(); }, &shown, { "OK" });
        QVERIFY(!presetstore::available(PresetTypeEptz, 3) && !presetstore::available(PresetTypeGlobal, 3));
        QCOMPARE(looks(window.m_presetButtons[3]).left(5), kind == PresetTypeCamera ? "grey " : "black");
    }
}

void TestPresets::cameraPresets()
{
    QSettings().setValue("prefs/presetType_selected", 2);
    apptest::Rig rig({ 0 });
    QVERIFY(rig.start());
    TestWindow& window = rig.window;
    quvtest::CamSim& sim = rig.sim(0);
    sim.clearReceived();
    QList<quvtest::Shown> shown;
    QVERIFY(choose(window.m_presetButtons[5], "Set", &shown));
    QVERIFY(window.m_presetButtons[5]->isChecked());
    QVERIFY(choose(window.m_presetButtons[5], "Clear", &shown));
    QCOMPARE(sim.received(), QList<QByteArray>({ hexBytes("81 01 04 3F 01 05 FF"), hexBytes("81 01 04 3F 00 05 FF") }));

    // Recall does not move the check mark; the status dialog shows until the camera has been read again.
    QVERIFY(choose(window.m_presetButtons[9], "Recall", &shown));
    QVERIFY(window.m_presetButtons[5]->isChecked());
    QCOMPARE(window.m_statusDialog->findChild<QLabel*>("textLabel")->text(), "Reading settings from TaqoCam...");
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 3F 02 09 FF")) && window.settle());
    QCOMPARE(QSettings().value("prefs/saved_preset").toInt(), 9);
    // Keyboard and controller: Set and Recall, then the button checked; an index out of range does nothing.
    window.presetIndexSet(12);
    window.presetIndexRecall(13);
    window.presetIndexRecall(16);
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 3F 01 0C FF")) && sim.waitForPacket(hexBytes("81 01 04 3F 02 0D FF")));
    QVERIFY(window.m_presetButtons[13]->isChecked() && window.settle());
    window.m_presetButtons[7]->click();
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 3F 02 07 FF")) && window.settle());

    // Global: a snapshot in bright mode recalled on the camera in manual mode, shown in the camera pane.
    window.m_presetType = PresetTypeGlobal;
    presetstore::availableSet(PresetTypeGlobal, 2, true);
    sim.setValue(hexBytes("04 39"), hexBytes("0D"));
    window.m_deviceSet->get()->deviceInvalidateCache();
    window.presetSet(2);
    sim.setValue(hexBytes("04 39"), hexBytes("03"));
    window.m_deviceSet->get()->deviceInvalidateCache();
    window.presetRecall(2);
    QVERIFY(sim.waitForPacket(hexBytes("81 01 04 39 0A FF")) && sim.waitForPacket(hexBytes("81 01 04 39 0D FF")));
    QVERIFY(qobject_cast<PaneCamera*>(window.paneCamera())->brightButton()->isChecked());

    // Preset file failures are told in a warning box.
    QUV_ANSWER([&] { window.presetFileRead(m_dir.filePath("missing.taqo")); }, &shown, { "OK" });
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, "Open Preset File");
    QVERIFY(shown.first().text.startsWith("The preset file"));
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], STORE_HELPER) == 0)
        return storeHelper(argc, argv);
    quvtest::Environment environment;
    apptest::AppApplication app(argc, argv);
    environment.applicationCreated();
    TestPresets test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_presets.moc"
