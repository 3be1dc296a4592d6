// Every camera message by its name: the packet its set puts on the wire, the
// inquiry its get sends and the value that comes back, the value cache, the
// preset-key stem and whether a Global preset keeps it; the scales and
// tables in which the panes and the status strip show the cameras' values.

#include "device/viscavalues.h"
#include "simdevice.h"

#include <cstring>
#include <set>

#include "quvtest.h"

using devicetest::SimDevice;
using quvtest::hexBytes;
using quvtest::hexString;
using namespace ViscaMsg;

class TestDeviceMessages : public QObject
{
    Q_OBJECT

private slots:
    void message_data();
    void message();
    void notACameraValue_data();
    void notACameraValue();
    void setRefusedByTheLine();
    void scales();
    void formatsAndColorSpaces();
};

void TestDeviceMessages::message_data()
{
    QTest::addColumn<int>("msg");
    QTest::addColumn<int>("val1");
    QTest::addColumn<int>("val2");
    QTest::addColumn<QByteArray>("set"); // the packet; empty: no set call
    QTest::addColumn<QByteArray>("key"); // what the inquiry asks after 09; empty: no inquiry
    QTest::addColumn<int>("read1"); // what the inquiry then reads
    QTest::addColumn<int>("read2"); // -7: left as the caller gave it
    QTest::addColumn<QString>("stem"); // empty: none
    QTest::addColumn<bool>("global");

    const auto row = [](int msg, int val1, int val2, const char* set, const char* key, int read1, int read2,
                         const char* stem, bool global) {
        QTest::addRow("%d %s", msg, stem) << msg << val1 << val2 << hexBytes(set) << hexBytes(key) << read1 << read2
                                          << QString::fromLatin1(stem) << global;
    };
    // clang-format off
    row(EptOnOff, 2, -1, "81 01 7E 06 00 02 FF", "7E 06 00", 2, -7, "visca_ept_onoff", false);
    row(EptPosition, -5, 0x10003, "81 01 7E 06 20 00 00 0F 0F 0F 0B 00 00 00 03 FF", "7E 06 20", -5, 3,
        "visca_ept_position", true);
    row(DigitalZoom, 0x102, -1, "81 01 04 06 02 FF", "04 06", 2, -7, "visca_dzoom", true);
    row(ZoomValue, 0x12345, -1, "81 01 04 47 02 03 04 05 FF", "04 47", 0x2345, -7, "visca_zoom_value", true);
    row(Iris, 13, -1, "81 01 04 4B 00 00 00 0D FF", "04 4B", 13, -7, "visca_iris_value", true);
    row(ViscaMsg::ExposureMode, 3, -1, "81 01 04 39 03 FF", "04 39", 3, -7, "visca_auto_exp_mode", true);
    row(FocusValue, 0xE234, -1, "81 01 04 48 0E 02 03 04 FF", "04 48", 0xE234, -7, "visca_focus_value", true);
    row(ViscaMsg::FocusMode, 2, -1, "81 01 04 38 02 FF", "04 38", 2, -7, "visca_focus_auto", true);
    row(ViscaMsg::VideoFormat, 0x1A, -1, "81 01 04 24 72 01 0A FF", "04 24 72", 0x1A, -7, "visca_video_format", false);
    row(ColorSpace, 0x21, -1, "81 01 04 24 60 02 01 FF", "04 24 60", 0x21, -7, "visca_color_space", false);
    row(BaudRate, 3, -1, "81 01 04 24 00 00 03 FF", "04 24 00", 3, -7, "visca_baud_rate", false);
    row(DelayMode, 1, -1, "81 01 04 24 75 00 01 FF", "04 24 75", 1, -7, "visca_delay_mode", false);
    row(CameraReset, 0, 0, "81 01 04 19 03 FF", "", 12345, -7, "visca_reset", false);
    row(AddressSet, 0, 0, "88 30 01 FF", "", 12345, -7, "visca_set_address", false);
    row(Shutter, 0x115, -1, "81 01 04 4A 00 00 01 05 FF", "04 4A", 0x15, -7, "visca_shutter_value", true);
    row(ZoomStop, 0, -1, "81 01 04 07 00 FF", "", 12345, -7, "", false);
    row(ZoomWide, 2, -1, "81 01 04 07 32 FF", "", 12345, -7, "visca_zoom_wide_speed", false);
    row(ZoomTele, 9, -1, "81 01 04 07 21 FF", "", 12345, -7, "visca_zoom_tele_speed", false);
    row(Power, 2, -1, "81 01 04 00 02 FF", "04 00", 2, -7, "visca_power", true);
    row(Stabilizer, 3, -1, "81 01 04 34 03 FF", "04 34", 3, -7, "visca_cam_stabilizer", true);
    row(NoiseReduction, 4, -1, "81 01 04 53 04 FF", "04 53", 4, -7, "visca_nr", true);
    row(NoiseReduction2d3d, 1, 2, "81 01 05 53 01 02 FF", "05 53", 1, 2, "visca_nr_2d3d", true);
    row(Backlight, 2, -1, "81 01 04 33 02 FF", "04 33", 2, -7, "visca_backlight", true);
    row(InfraredCut, 3, -1, "81 01 04 01 03 FF", "04 01", 3, -7, "visca_icr", true);
    row(Display, 2, -1, "81 01 04 15 02 FF", "04 15", 2, -7, "visca_osd", true);
    row(FlipV, 3, -1, "81 01 04 66 03 FF", "04 66", 3, -7, "visca_flipv", true);
    row(FlipH, 2, -1, "81 01 04 61 02 FF", "04 61", 2, -7, "visca_fliph", true);
    row(ColorBar, 2, -1, "81 01 7E 04 7D 02 FF", "7E 04 7D", 2, -7, "visca_colorbar", true);
    row(WhiteBalance, 0x105, -1, "81 01 04 35 05 FF", "04 35", 5, -7, "visca_wb", true);
    row(WhiteBalanceTrigger, 0, -1, "81 01 04 10 05 FF", "", 12345, -7, "visca_wb_trigger", false);
    row(Gain, 5, -1, "81 01 04 4C 00 00 00 05 FF", "04 4C", 5, -7, "visca_gain", true);
    row(MemoryReset, 3, -1, "81 01 04 3F 00 03 FF", "", 12345, -7, "visca_mem_set", false);
    row(MemorySet, 15, -1, "81 01 04 3F 01 0F FF", "", 12345, -7, "visca_mem_set", false);
    row(MemoryRecall, 7, -1, "81 01 04 3F 02 07 FF", "", 12345, -7, "visca_mem_recall", false);
    row(LensInitialize, 0, -1, "81 01 04 19 01 FF", "", 12345, -7, "", false);
    row(Mute, 2, -1, "81 01 04 75 02 FF", "04 75", 2, -7, "visca_mute", true);
    row(CameraId, 0x10005, -1, "81 01 04 22 00 00 00 05 FF", "04 22", 5, -7, "", false);
    row(SpotFocusOn, 2, -1, "81 01 05 08 02 FF", "05 08", 2, -7, "visca_spot_focus_on", true);
    row(SpotFocusPosition, 0x13C, 5, "81 01 05 68 03 0C 00 05 FF", "05 68", 0x3C, 5, "visca_spot_focus_pos", true);
    row(SpotExposureOn, 2, -1, "81 01 04 59 02 FF", "04 59", 2, -7, "visca_spot_ae_on", true);
    row(SpotExposurePosition, 0x3C, 0x105, "81 01 04 29 03 0C 00 05 FF", "04 29", 0x3C, 5, "visca_spot_ae_pos", true);
    row(RedGainReset, 0, -1, "81 01 04 03 00 FF", "", 12345, -7, "visca_reset_wb_rgain", false);
    row(BlueGainReset, 0, -1, "81 01 04 04 00 FF", "", 12345, -7, "visca_reset_wb_bgain", false);
    row(RedGain, 0x80, -1, "81 01 04 43 00 00 08 00 FF", "04 43", 0x80, -7, "visca_wb_rgain", true);
    row(BlueGain, 0x7F, -1, "81 01 04 44 00 00 07 0F FF", "04 44", 0x7F, -7, "visca_wb_bgain", true);
    row(Temperature, 9, 9, "", "04 68", 41, -7, "visca_temperature", false);
    row(GammaMode, 1, -1, "81 01 04 5B 01 FF", "04 5B", 1, -7, "visca_gamma_mode", true);
    row(GammaPattern, 0x11ABC, -1, "81 01 05 5B 0A 0B 0C FF", "05 5B", 0xABC, -7, "visca_gamma_pattern", true);
    row(GammaOffset, -20, -1, "81 01 04 1E 00 00 00 01 01 04 FF", "04 1E", -20, -7, "visca_gamma_offset", true);
    row(Brightness, 0x11, -1, "81 01 04 4D 00 00 01 01 FF", "04 4D", 0x11, -7, "visca_bright_value", true);
    row(UserRegister0, 0x6143, -1, "81 01 04 23 00 06 01 04 03 FF", "04 23 00", 0x6143, -7, "visca_user_reg_0", false);
    row(UserRegister1, 0x1006D, -1, "81 01 04 23 01 00 00 06 0D FF", "04 23 01", 0x6D, -7, "visca_user_reg_1", false);
    row(UserRegister2, 0xF341, -1, "81 01 04 23 02 0F 03 04 01 FF", "04 23 02", 0xF341, -7, "visca_user_reg_2", false);
    row(ExposureCompOn, 2, -1, "81 01 04 3E 02 FF", "04 3E", 2, -7, "visca_exp_comp_on", true);
    row(ExposureCompValue, 9, -1, "81 01 04 4E 00 00 00 09 FF", "04 4E", 9, -7, "visca_exp_comp_value", true);
    // clang-format on
}

void TestDeviceMessages::message()
{
    QFETCH(int, msg);
    QFETCH(int, val1);
    QFETCH(int, val2);
    QFETCH(QByteArray, set);
    QFETCH(QByteArray, key);
    QFETCH(int, read1);
    QFETCH(int, read2);
    QFETCH(QString, stem);
    QFETCH(bool, global);

    SimDevice camera;
    QVERIFY(camera.open());
    quvtest::CaptureFd out(1);
    QCOMPARE(camera.device->viscaSet(msg, val1, val2), 0);
    QCOMPARE(hexString(camera.sim.received().value(0)), hexString(set));
    int cached1 = 0;
    int cached2 = 0;
    // The cache keeps the values as the caller gave them.
    QCOMPARE(camera.device->viscaGetAsync(msg, cached1, cached2), 0);
    QCOMPARE(qMakePair(cached1, cached2), qMakePair(val1, val2));

    // Read back from the camera; without an inquiry nothing is sent and the values stay.
    camera.sim.clearReceived();
    int value1 = 12345;
    int value2 = -7;
    QCOMPARE(camera.device->viscaGet(msg, value1, value2, false), 0);
    QCOMPARE(camera.sim.received(),
        key.isEmpty() ? QList<QByteArray>() : QList<QByteArray> { hexBytes("81 09") + key + hexBytes("FF") });
    QCOMPARE(value1, read1);
    QCOMPARE(value2, read2);
    QCOMPARE(camera.device->viscaGet(msg, cached1, cached2, true), 0);
    QCOMPARE(qMakePair(cached1, cached2), qMakePair(read1, read2));
    QCOMPARE(camera.sim.received().size(), key.isEmpty() ? 0 : 1);

    QCOMPARE(DeviceInterface::viscaPresetName(msg), stem);
    QCOMPARE(DeviceInterface::viscaIsPreset(msg), global);
    QByteArray printed;
    if (set.isEmpty())
        printed += QStringLiteral("** viscaSet - msg not handled error - msg=%1 val1=%2 val2=%3\n")
                       .arg(msg)
                       .arg(val1)
                       .arg(val2)
                       .toLatin1();
    if (stem.isEmpty())
        printed += QStringLiteral("viscaPresetName msg not handled=%1\n").arg(msg).toLatin1();
    QCOMPARE(out.text(), printed);
}

void TestDeviceMessages::notACameraValue_data()
{
    QTest::addColumn<int>("msg");
    QTest::newRow("marker") << int(Marker);
    QTest::newRow("nothing") << int(Nothing);
    QTest::newRow("count") << int(Count);
}

void TestDeviceMessages::notACameraValue()
{
    // Nothing sent, nothing cached, no stem, no preset.
    QFETCH(int, msg);
    SimDevice camera;
    QVERIFY(camera.open());
    quvtest::CaptureFd out(1);
    QCOMPARE(camera.device->viscaSet(msg, 1, 2), 0);
    int value = 9;
    QCOMPARE(camera.device->viscaGet(msg, value, false), 0);
    QCOMPARE(camera.device->viscaGetAsync(msg, value), 255);
    QCOMPARE(value, 9);
    QCOMPARE(DeviceInterface::viscaPresetName(msg), QString());
    QVERIFY(!DeviceInterface::viscaIsPreset(msg));
    QCOMPARE(out.text(),
        QStringLiteral("** viscaSet - msg not handled error - msg=%1 val1=1 val2=2\n"
                       "viscaPresetName msg not handled=%1\n")
            .arg(msg)
            .toLatin1());
    QVERIFY(camera.takeRecord().isEmpty());
}

void TestDeviceMessages::setRefusedByTheLine()
{
    // 0xFF in a body would end the packet early: nothing is sent and nothing cached.
    SimDevice camera;
    QVERIFY(camera.open());
    QCOMPARE(camera.device->viscaSet(NoiseReduction2d3d, 1, 0x1FF), 255);
    QCOMPARE(camera.device->viscaSet(Power, 255, -1), 255);
    int value = 0;
    QCOMPARE(camera.device->viscaGetAsync(NoiseReduction2d3d, value), 255);
    QCOMPARE(camera.device->viscaGetAsync(Power, value), 255);
    QVERIFY(camera.takeRecord().isEmpty());
}

// A slider position and a camera value map to each other one to one; the
// ends and the values outside the range are the nearest end's.
void TestDeviceMessages::scales()
{
    using namespace ViscaScale;
    for (int step = 0; step <= IrisStepMax; ++step) {
        QCOMPARE(irisToStep(irisFromStep(step)), step);
        if (step > 0)
            QVERIFY(irisFromStep(step) > irisFromStep(step - 1));
    }
    QCOMPARE(irisFromStep(-1), 0); // Close
    QCOMPARE(irisFromStep(1), 5); // f14
    QCOMPARE(irisFromStep(IrisStepMax + 1), 17); // f1.8
    QCOMPARE(irisToStep(3), 1); // between Close and f14: the wider
    QCOMPARE(irisToStep(40), IrisStepMax);
    QCOMPARE(irisToStep(-3), 0);

    for (int step = 1; step <= BrightStepMax; ++step)
        QCOMPARE(brightToStep(brightFromStep(step)), step);
    QCOMPARE(brightFromStep(0), 0); // closed, not step + 4
    QCOMPARE(brightFromStep(1), 5);
    QCOMPARE(brightFromStep(BrightStepMax + 5), BrightStepMax + 4);
    QCOMPARE(brightToStep(0), 0);

    for (int step = 0; step <= GainStepMax; ++step)
        QCOMPARE(gainToStep(gainFromStep(step)), step);
    QCOMPARE(gainFromStep(-1), 1);
    QCOMPARE(gainFromStep(GainStepMax + 1), GainStepMax + 1);
    QCOMPARE(gainToStep(99), GainStepMax);

    for (int value : { 0, 1, 28672, FocusStepMax })
        QCOMPARE(focusFlip(focusFlip(value)), value);
    QCOMPARE(focusFlip(0), FocusStepMax);
    QCOMPARE(focusFlip(-5), FocusStepMax);
    QCOMPARE(focusFlip(FocusStepMax + 5), 0);

    QCOMPARE(shutterText(-1), "1/1");
    QCOMPARE(shutterText(1), "1/2");
    QCOMPARE(shutterText(ShutterMax), "1/10000");
    QCOMPARE(shutterText(99), "1/10000");
}

// Each format and colour space is named once; only the two UHD formats carry
// an ePTZ window, each cut to an HD format of its own frame rate.
void TestDeviceMessages::formatsAndColorSpaces()
{
    std::set<int> codes;
    std::set<QByteArray> texts;
    for (int i = 0; i < VIDEO_FORMAT_COUNT; ++i) {
        const VideoFormatRow& row = VIDEO_FORMATS[i];
        QVERIFY(codes.insert(row.code).second);
        QVERIFY(texts.insert(row.statusText).second);
        QCOMPARE(videoFormatRow(row.code), &row);
        const bool uhd = row.code == VideoFormat::Uhd2997 || row.code == VideoFormat::Uhd25;
        QCOMPARE(isUhdFormat(row.code), uhd);
        QCOMPARE(row.eptzCode != 0, uhd);
    }
    QCOMPARE(videoFormatRow(VideoFormat::Uhd2997)->eptzCode, int(VideoFormat::Hd5994));
    QCOMPARE(videoFormatRow(VideoFormat::Uhd25)->eptzCode, int(VideoFormat::Hd50));
    QVERIFY(!videoFormatRow(2));
    QVERIFY(!isUhdFormat(2));
    QCOMPARE(COLOR_SPACE_COUNT, 2);
    QCOMPARE(COLOR_SPACES[0].code, 0);
    QCOMPARE(COLOR_SPACES[1].code, 1);
    QVERIFY(std::strcmp(COLOR_SPACES[0].text, COLOR_SPACES[1].text) != 0);
}

QUV_TEST_MAIN(TestDeviceMessages)
#include "test_devicemessages.moc"
