// The preset store without a window: ePTZ and Global presets on a simulated
// camera, checked by the packets on the line, and preset files against the
// real preference store, checked by the bytes of its file.

#include "app/presetfile.h"
#include "app/presetstore.h"
#include "quvtest.h"
#include "tests/device/simdevice.h"

#include <sys/resource.h>

#include <csignal>

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

using devicetest::SimDevice;
using quvtest::hexBytes;

namespace {

QByteArray fileBytes(const QString& path)
{
    QSettings().sync();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray storeBytes()
{
    return fileBytes(QSettings().fileName());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Every preset empty but ePTZ 0 (a 64-character name) and Global 1, with extra on top.
QByteArray baselineWith(const QJsonObject& extra)
{
    QJsonObject object { { "Eptz0_preset_name", QString(64, 'a') }, { "Eptz0_visca_ept_position_pan", 5 } };
    for (int i = 0; i < 16; ++i) {
        object.insert(QStringLiteral("Eptz%1_preset_available").arg(i), i == 0 ? 1 : 0);
        object.insert(QStringLiteral("Global%1_preset_available").arg(i), i == 1 ? 1 : 0);
    }
    for (auto it = extra.begin(); it != extra.end(); ++it)
        object.insert(it.key(), it.value());
    return QJsonDocument(object).toJson();
}

} // namespace

class TestPresetStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void eptzSetAndRecall();
    void globalRecallExposure_data();
    void globalRecallExposure();
    void exportOfMissingValues();
    void roundTripAndPartialFiles();
    void hostileFiles_data();
    void hostileFiles();
    void failedExportKeepsTheOldFile();
    void lastFolder();

private:
    QTemporaryDir m_dir;
};

void TestPresetStore::eptzSetAndRecall()
{
    SimDevice cam;
    QVERIFY(cam.open());
    devicetest::Markers markers(cam.device.get());
    cam.device->viscaSet(ViscaMsg::EptPosition, 256, 128);
    presetstore::eptzSet(cam.device.get(), 2);
    cam.takeRecord();
    // Unchanged position, or an empty preset: nothing on the line.
    QVERIFY(!presetstore::eptzRecall(cam.device.get(), 2));
    QVERIFY(!presetstore::eptzRecall(cam.device.get(), 3));
    QVERIFY(markers.drain());
    QVERIFY(cam.takeRecord().isEmpty());
    cam.device->viscaSet(ViscaMsg::EptPosition, 0, 0);
    cam.takeRecord();
    QVERIFY(presetstore::eptzRecall(cam.device.get(), 2));
    QVERIFY(markers.drain());
    QCOMPARE(cam.takeRecord(), QList<QByteArray>({ hexBytes("81 01 7E 06 20 00 00 00 01 00 00 00 00 08 00 FF") }));
}

void TestPresetStore::globalRecallExposure_data()
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

void TestPresetStore::globalRecallExposure()
{
    QFETCH(QString, stored);
    QFETCH(QString, current);
    QFETCH(QStringList, sent);
    QFETCH(bool, changed);

    SimDevice cam;
    QVERIFY(cam.open());
    cam.sim.setValue(hexBytes("04 39"), hexBytes(qPrintable(stored)));
    cam.device->setZoomSpeed(5);
    presetstore::globalCopy(cam.device.get(), 4);
    cam.sim.setValue(hexBytes("04 39"), hexBytes(qPrintable(current)));
    cam.device->deviceInvalidateCache();
    cam.device->setZoomSpeed(0);
    cam.takeRecord();

    bool exposureChanged = false;
    int mode = 0;
    QVERIFY(presetstore::globalPastePt1(cam.device.get(), 4, &exposureChanged, &mode));
    presetstore::globalPastePt2(cam.device.get(), 4);
    QCOMPARE(exposureChanged, changed);
    QCOMPARE(mode, stored.toInt(nullptr, 16));
    QCOMPARE(cam.device->zoomSpeed(), 5);
    // Every other value is as stored: the exposure mode is the only command.
    QStringList commands;
    for (const QByteArray& packet : quvtest::packetsStartingWith(cam.takeRecord(), hexBytes("81 01")))
        commands.append(quvtest::hexString(packet));
    QCOMPARE(commands, sent);

    QVERIFY(!presetstore::globalPastePt1(cam.device.get(), 5, &exposureChanged, &mode));
    QVERIFY(cam.takeRecord().isEmpty());
}

void TestPresetStore::exportOfMissingValues()
{
    // A snapshot of a camera that cannot be read keeps no message value.
    DeviceInterface offline(nullptr, SerialPortDesc::forDevicePath("/nonexistent"));
    presetstore::globalCopy(&offline, 0);
    QSettings().setValue("Eptz9_preset_available", 7);
    const QString path = m_dir.filePath("keys.taqo");
    QString error;
    QVERIFY(presetfile::write(path, &error));
    const QJsonObject object = QJsonDocument::fromJson(fileBytes(path)).object();
    QCOMPARE(object.size(), 32 + 71 + 3);
    QCOMPARE(object.value("Global0_preset_name"), QJsonValue("0"));
    QCOMPARE(object.value("Global0_visca_ept_position_val2"), QJsonValue(-1));
    QCOMPARE(object.value("Global0_visca_exp_comp_value_val1"), QJsonValue(0));
    QCOMPARE(object.value("Global0_visca_delay_mode_val1"), QJsonValue(0));
    QCOMPARE(object.value("Eptz9_preset_available"), QJsonValue(7));
    QCOMPARE(object.value("Global15_preset_available"), QJsonValue(0));
}

void TestPresetStore::roundTripAndPartialFiles()
{
    SimDevice cam;
    QVERIFY(cam.open());
    presetstore::globalCopy(cam.device.get(), 7);
    presetstore::eptzSet(cam.device.get(), 3);
    QSettings().setValue("Global7_preset_name", "seven");
    const QString path = m_dir.filePath("round.taqo");
    QString error;
    QVERIFY(presetfile::write(path, &error) && presetfile::read(path, &error));
    const QByteArray before = storeBytes();
    QSettings().setValue("Eptz3_visca_ept_position_pan", 99);
    QSettings().setValue("Global7_visca_gain_val1", 99);
    presetstore::availableSet(PresetTypeGlobal, 7, false);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(storeBytes(), before);

    // Eptz 3 set without its tilt; Global 7 not mentioned.
    writeFile(path, R"({"Eptz3_preset_available": 1, "Eptz3_visca_ept_position_pan": 40})");
    QSettings().setValue("Eptz3_visca_ept_position_tilt", 21);
    QVERIFY(presetfile::read(path, &error));
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_pan").toInt(), 40);
    QCOMPARE(QSettings().value("Eptz3_visca_ept_position_tilt").toInt(), 21);
    QVERIFY(!presetstore::available(PresetTypeGlobal, 7));
    QCOMPARE(presetstore::displayName(PresetTypeGlobal, 7), QString("seven"));
}

void TestPresetStore::hostileFiles_data()
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

void TestPresetStore::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);

    const QString path = m_dir.filePath("hostile.taqo");
    QString error;
    writeFile(path, baselineWith({}));
    QVERIFY(presetfile::read(path, &error));
    const QByteArray before = storeBytes();
    writeFile(path, bytes);
    QCOMPARE(presetfile::read(path, &error), accepted);
    QCOMPARE(error.isEmpty(), accepted);
    QCOMPARE(storeBytes(), before);
}

void TestPresetStore::failedExportKeepsTheOldFile()
{
    const QString path = m_dir.filePath("old.taqo");
    writeFile(path, "old");
    QString error;
    // The file size limit makes the write fail part-way (EFBIG instead of the signal).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = presetfile::write(path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!written && error.contains(path));
    QCOMPARE(fileBytes(path), QByteArray("old"));
    // A folder that cannot be made (under a plain file), a file that cannot be opened.
    QVERIFY(!presetfile::write(path + "/inner/new.taqo", &error));
    QVERIFY(!presetfile::read(m_dir.filePath("missing.taqo"), &error) && error.contains("missing.taqo"));
}

void TestPresetStore::lastFolder()
{
    const QString documents = QDir::homePath() + "/Documents";
    QCOMPARE(presetfile::pathLastDir(LocationPresetFile), documents);
    presetfile::pathLastDirSet(LocationPresetFile, "rel/dir");
    presetfile::pathLastDirSet(LocationType(2), "/elsewhere");
    QCOMPARE(presetfile::pathLastDir(LocationPresetFile), QDir::current().absoluteFilePath("rel/dir"));
    QCOMPARE(presetfile::pathLastDir(LocationType(2)), documents);
}

QUV_TEST_MAIN(TestPresetStore)
#include "test_presetstore.moc"
