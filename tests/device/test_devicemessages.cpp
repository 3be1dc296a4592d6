// Every camera message on the wire: the VISCA packet each set sends, the value
// each get decodes, the preset-key stems and the Global-preset membership.

#include "simdevice.h"

#include "quvtest.h"

using devicetest::SimDevice;
using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;

class TestDeviceMessages : public QObject
{
    Q_OBJECT

private slots:
    void set_data();
    void set();
    void setWithoutCall_data();
    void setWithoutCall();
    void setRefusedByTheLine();
    void get_data();
    void get();
    void getWithoutCall();
    void presetName_data();
    void presetName();
    void isPreset();
};

void TestDeviceMessages::set_data()
{
    QTest::addColumn<int>("msg");
    QTest::addColumn<int>("val1");
    QTest::addColumn<int>("val2");
    QTest::addColumn<QByteArray>("wire");

    const auto row = [](const char* name, int msg, int val1, int val2, const char* wire) {
        QTest::newRow(name) << msg << val1 << val2 << hexBytes(wire);
    };
    row("0 ePTZ on", 0, 2, -1, "81 01 7E 06 00 02 FF");
    row("1 ePTZ position", 1, 960, 540, "81 01 7E 06 20 00 00 00 03 0C 00 00 02 01 0C FF");
    row("1 ePTZ position, x negative", 1, -5, 0, "81 01 7E 06 20 00 00 0F 0F 0F 0B 00 00 00 00 FF");
    row("2 digital zoom, low byte", 2, 0x102, -1, "81 01 04 06 02 FF");
    row("3 zoom", 3, 0x4000, -1, "81 01 04 47 04 00 00 00 FF");
    row("3 zoom, low 16 bits", 3, 0x12345, -1, "81 01 04 47 02 03 04 05 FF");
    row("4 iris", 4, 13, -1, "81 01 04 4B 00 00 00 0D FF");
    row("5 exposure mode", 5, 3, -1, "81 01 04 39 03 FF");
    row("6 focus", 6, 0x1234, -1, "81 01 04 48 01 02 03 04 FF");
    row("7 focus mode", 7, 2, -1, "81 01 04 38 02 FF");
    row("8 video format", 8, 0x1A, -1, "81 01 04 24 72 01 0A FF");
    row("9 colour space", 9, 0x21, -1, "81 01 04 24 60 02 01 FF");
    row("10 baud rate", 10, 3, -1, "81 01 04 24 00 00 03 FF");
    row("11 low delay", 11, 1, -1, "81 01 04 24 75 00 01 FF");
    row("12 camera reset", 12, 0, 0, "81 01 04 19 03 FF");
    row("13 address set", 13, 0, 0, "88 30 01 FF");
    row("14 shutter, low byte", 14, 0x115, -1, "81 01 04 4A 00 00 01 05 FF");
    row("15 zoom stop", 15, 0, -1, "81 01 04 07 00 FF");
    row("16 zoom wide", 16, 2, -1, "81 01 04 07 32 FF");
    row("17 zoom tele, speed masked", 17, 9, -1, "81 01 04 07 21 FF");
    row("18 power", 18, 2, -1, "81 01 04 00 02 FF");
    row("19 stabilizer", 19, 3, -1, "81 01 04 34 03 FF");
    row("20 noise reduction", 20, 4, -1, "81 01 04 53 04 FF");
    row("21 2D/3D noise reduction", 21, 1, 2, "81 01 05 53 01 02 FF");
    row("22 backlight", 22, 2, -1, "81 01 04 33 02 FF");
    row("23 infrared cut", 23, 3, -1, "81 01 04 01 03 FF");
    row("24 display", 24, 2, -1, "81 01 04 15 02 FF");
    row("25 flip V", 25, 3, -1, "81 01 04 66 03 FF");
    row("26 flip H", 26, 2, -1, "81 01 04 61 02 FF");
    row("27 colour bar", 27, 2, -1, "81 01 7E 04 7D 02 FF");
    row("28 white balance", 28, 5, -1, "81 01 04 35 05 FF");
    row("29 one-push white balance", 29, 0, -1, "81 01 04 10 05 FF");
    row("30 gain", 30, 5, -1, "81 01 04 4C 00 00 00 05 FF");
    row("31 memory reset", 31, 3, -1, "81 01 04 3F 00 03 FF");
    row("32 memory set", 32, 15, -1, "81 01 04 3F 01 0F FF");
    row("33 memory recall", 33, 7, -1, "81 01 04 3F 02 07 FF");
    row("34 lens initialisation", 34, 0, -1, "81 01 04 19 01 FF");
    row("35 mute", 35, 2, -1, "81 01 04 75 02 FF");
    row("36 camera ID", 36, 5, -1, "81 01 04 22 00 00 00 05 FF");
    row("37 spot focus", 37, 2, -1, "81 01 05 08 02 FF");
    row("38 spot focus position", 38, 0x3C, 5, "81 01 05 68 03 0C 00 05 FF");
    row("39 spot exposure on", 39, 2, -1, "81 01 04 59 02 FF");
    row("39 spot exposure off", 39, 3, -1, "81 01 04 59 03 FF");
    row("39 spot exposure, any other value", 39, 7, -1, "81 01 04 59 03 FF");
    row("40 spot exposure position", 40, 0x3C, 5, "81 01 04 29 03 0C 00 05 FF");
    row("41 red gain reset", 41, 0, -1, "81 01 04 03 00 FF");
    row("42 blue gain reset", 42, 0, -1, "81 01 04 04 00 FF");
    row("43 red gain", 43, 0x80, -1, "81 01 04 43 00 00 08 00 FF");
    row("44 blue gain", 44, 0x7F, -1, "81 01 04 44 00 00 07 0F FF");
    row("46 gamma mode", 46, 1, -1, "81 01 04 5B 01 FF");
    row("47 gamma pattern", 47, 0x1ABC, -1, "81 01 05 5B 0A 0B 0C FF");
    row("48 gamma offset -20", 48, -20, -1, "81 01 04 1E 00 00 00 01 01 04 FF");
    row("48 gamma offset +20", 48, 20, -1, "81 01 04 1E 00 00 00 00 01 04 FF");
    row("49 brightness", 49, 0x11, -1, "81 01 04 4D 00 00 01 01 FF");
    row("50 user register 0", 50, 0x6143, -1, "81 01 04 23 00 06 01 04 03 FF");
    row("51 user register 1", 51, 0x006D, -1, "81 01 04 23 01 00 00 06 0D FF");
    row("52 user register 2", 52, 0x0341, -1, "81 01 04 23 02 00 03 04 01 FF");
    row("53 exposure compensation on", 53, 2, -1, "81 01 04 3E 02 FF");
    row("54 exposure compensation", 54, 9, -1, "81 01 04 4E 00 00 00 09 FF");
}

void TestDeviceMessages::set()
{
    QFETCH(int, msg);
    QFETCH(int, val1);
    QFETCH(int, val2);
    QFETCH(QByteArray, wire);

    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSet(msg, val1, val2), 0);
    QCOMPARE(hexString(camera.sim.received().value(0)), hexString(wire));
    QCOMPARE(camera.sim.received().size(), 1);

    // The cache keeps what was sent, as the caller gave it.
    int cached1 = 0;
    int cached2 = 0;
    QCOMPARE(camera.device->viscaGetAsync(msg, cached1, cached2), 0);
    QCOMPARE(cached1, val1);
    QCOMPARE(cached2, val2);
}

void TestDeviceMessages::setWithoutCall_data()
{
    QTest::addColumn<int>("msg");
    QTest::newRow("-2 marker") << -2;
    QTest::newRow("45 temperature") << 45;
    QTest::newRow("55") << 55;
}

void TestDeviceMessages::setWithoutCall()
{
    QFETCH(int, msg);
    SimDevice camera;
    QVERIFY(camera.open());
    quvtest::CaptureFd out(1);
    QCOMPARE(camera.device->viscaSet(msg, 1, 2), 0);
    QCOMPARE(
        out.text(), QStringLiteral("** viscaSet - msg not handled error - msg=%1 val1=1 val2=2\n").arg(msg).toLatin1());
    QVERIFY(camera.takeRecord().isEmpty());
}

void TestDeviceMessages::setRefusedByTheLine()
{
    // 0xFF in a body would end the packet early: nothing is sent and nothing cached.
    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSet(21, 1, 0x1FF), 255);
    QCOMPARE(camera.device->viscaSet(18, 255, -1), 255);
    int value = 0;
    QCOMPARE(camera.device->viscaGetAsync(21, value), 255);
    QCOMPARE(camera.device->viscaGetAsync(18, value), 255);
    QVERIFY(camera.takeRecord().isEmpty());
}

void TestDeviceMessages::get_data()
{
    QTest::addColumn<int>("msg");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("val1");
    QTest::addColumn<int>("val2"); // the caller's val2 is -7

    const auto row = [](const char* name, int msg, const char* key, const char* reply, int val1, int val2) {
        QTest::newRow(name) << msg << hexBytes(key) << hexBytes(reply) << val1 << val2;
    };
    row("0 ePTZ on/off", 0, "7E 06 00", "02", 2, -7);
    row("1 ePTZ position", 1, "7E 06 20", "00 00 00 03 0C 00 00 02 01 0C", 960, 540);
    row("1 ePTZ position, x negative", 1, "7E 06 20", "01 00 0F 0F 0F 0B 00 00 00 00", -5, 0);
    row("2 digital zoom", 2, "04 06", "04", 4, -7);
    row("3 zoom", 3, "04 47", "01 02 03 04", 0x1234, -7);
    row("3 zoom, zero-extended", 3, "04 47", "0F 0F 0F 0F", 0xFFFF, -7);
    row("6 focus", 6, "04 48", "0E 00 00 00", 0xE000, -7);
    row("8 video format", 8, "04 24 72", "01 0A", 0x1A, -7);
    row("11 low delay", 11, "04 24 75", "00 01", 1, -7);
    row("14 shutter", 14, "04 4A", "00 00 01 05", 0x15, -7);
    row("21 2D/3D noise reduction", 21, "05 53", "03 04", 3, 4);
    row("36 camera ID", 36, "04 22", "00 00 00 05", 5, -7);
    row("38 spot focus position", 38, "05 68", "03 0C 00 05", 60, 5);
    row("40 spot exposure position", 40, "04 29", "00 0F 00 01", 15, 1);
    row("45 temperature", 45, "04 68", "00 00 02 09", 41, -7);
    row("47 gamma pattern", 47, "05 5B", "0A 0B 0C", 0xABC, -7);
    row("48 gamma offset, sign-extended", 48, "04 1E", "00 00 00 01 01 04", -20, -7);
    row("48 gamma offset, positive", 48, "04 1E", "00 00 00 00 0F 0F", 255, -7);
    row("52 user register 2", 52, "04 23 02", "00 03 04 01", 0x0341, -7);
    row("54 exposure compensation", 54, "04 4E", "00 00 00 0E", 14, -7);
}

void TestDeviceMessages::get()
{
    QFETCH(int, msg);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, reply);
    QFETCH(int, val1);
    QFETCH(int, val2);

    SimDevice camera;
    QVERIFY(camera.open());
    camera.sim.setValue(key, reply);
    int read1 = 12345;
    int read2 = -7;
    QCOMPARE(camera.device->viscaGet(msg, read1, read2, false), 0);
    QCOMPARE(read1, val1);
    QCOMPARE(read2, val2);
    QCOMPARE(camera.sim.received(), QList<QByteArray> { hexBytes("81 09") + key + hexBytes("FF") });

    // Read once, then answered from the cache.
    int cached1 = 0;
    int cached2 = 0;
    QCOMPARE(camera.device->viscaGet(msg, cached1, cached2, true), 0);
    QCOMPARE(cached1, val1);
    QCOMPARE(cached2, val2);
    QCOMPARE(camera.sim.received().size(), 1);
}

void TestDeviceMessages::getWithoutCall()
{
    // A code without an inquiry asks nothing, leaves the values and counts as read.
    SimDevice camera;
    QVERIFY(camera.open());
    int value = 9;
    QCOMPARE(camera.device->viscaGet(12, value, false), 0);
    QCOMPARE(value, 9);
    int cached = 0;
    QCOMPARE(camera.device->viscaGetAsync(12, cached), 0);
    QCOMPARE(cached, 9);
    QVERIFY(camera.takeRecord().isEmpty());
}

void TestDeviceMessages::presetName_data()
{
    QTest::addColumn<int>("msg");
    QTest::addColumn<QString>("stem"); // empty: no stem, and a message on standard output

    const char* const stems[] = {
        "visca_ept_onoff", "visca_ept_position", "visca_dzoom", "visca_zoom_value", // 0-3
        "visca_iris_value", "visca_auto_exp_mode", "visca_focus_value", "visca_focus_auto", // 4-7
        "visca_video_format", "visca_color_space", "visca_baud_rate", "visca_delay_mode", // 8-11
        "visca_reset", "visca_set_address", "visca_shutter_value", "", // 12-15
        "visca_zoom_wide_speed", "visca_zoom_tele_speed", "visca_power", "visca_cam_stabilizer", // 16-19
        "visca_nr", "visca_nr_2d3d", "visca_backlight", "visca_icr", // 20-23
        "visca_osd", "visca_flipv", "visca_fliph", "visca_colorbar", // 24-27
        "visca_wb", "visca_wb_trigger", "visca_gain", "visca_mem_set", // 28-31
        "visca_mem_set", "visca_mem_recall", "", "visca_mute", // 32-35
        "", "visca_spot_focus_on", "visca_spot_focus_pos", "visca_spot_ae_on", // 36-39
        "visca_spot_ae_pos", "visca_reset_wb_rgain", "visca_reset_wb_bgain", "visca_wb_rgain", // 40-43
        "visca_wb_bgain", "visca_temperature", "visca_gamma_mode", "visca_gamma_pattern", // 44-47
        "visca_gamma_offset", "visca_bright_value", "visca_user_reg_0", "visca_user_reg_1", // 48-51
        "visca_user_reg_2", "visca_exp_comp_on", "visca_exp_comp_value", // 52-54
    };
    static_assert(sizeof stems / sizeof stems[0] == 55, "one stem per camera value");
    for (int msg = -5; msg <= 55; ++msg) {
        const QString stem = (msg >= 0 && msg < 55) ? QString::fromLatin1(stems[msg]) : QString();
        QTest::newRow(qPrintable(QString::number(msg))) << msg << stem;
    }
}

void TestDeviceMessages::presetName()
{
    QFETCH(int, msg);
    QFETCH(QString, stem);
    quvtest::CaptureFd out(1);
    QCOMPARE(DeviceInterface::viscaPresetName(msg), stem);
    const QByteArray expected
        = stem.isEmpty() ? QStringLiteral("viscaPresetName msg not handled=%1\n").arg(msg).toLatin1() : QByteArray();
    QCOMPARE(out.text(), expected);
}

void TestDeviceMessages::isPreset()
{
    const QList<int> members { 1, 2, 3, 4, 5, 6, 7, 14, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 30, 35, 37, 38, 39,
        40, 43, 44, 46, 47, 48, 49, 53, 54 };
    for (int msg = -4; msg <= 54; ++msg)
        QVERIFY2(DeviceInterface::viscaIsPreset(msg) == members.contains(msg), qPrintable(QString::number(msg)));
}

QUV_TEST_MAIN(TestDeviceMessages)
#include "test_devicemessages.moc"
