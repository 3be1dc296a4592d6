// Replies turned into values: every decode shape, the signs, the masks, the
// outputs left alone when a reply fails, and values carried through the
// simulated camera from a set to its inquiry.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"

#include <cstring>
#include <functional>
#include <vector>

using quvtest::CamSim;
using quvtest::hexBytes;
using viscatest::Link;

namespace {

// Every output starts as this pattern, so that a failed call can be seen to leave it.
template<typename T> T sentinel()
{
    T value;
    std::memset(&value, 0xA5, sizeof value);
    return value;
}

struct Outputs
{
    QVector<qint64> values;
    QVector<qint64> sentinels;
    template<typename T> void add(T value)
    {
        values << qint64(value);
        sentinels << qint64(sentinel<T>());
    }
};

using Getter = std::function<uint32_t(ViscaPort*, ViscaCameraInfo*, Outputs&)>;

struct DecodeCase
{
    const char* name;
    Getter get;
    const char* reply;
    QVector<qint64> expected; // empty: the call fails and leaves its outputs
    uint32_t error = VISCA_ERROR_NONE; // the reason of that failure, when it is worth checking
};

// clang-format off
#define ONE(function, Type) \
    [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        Type a = sentinel<Type>(); \
        const uint32_t result = function(p, c, &a); \
        o.add(a); \
        return result; \
    }
#define TWO(function, TypeA, TypeB) \
    [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        TypeA a = sentinel<TypeA>(); \
        TypeB b = sentinel<TypeB>(); \
        const uint32_t result = function(p, c, &a, &b); \
        o.add(a); \
        o.add(b); \
        return result; \
    }
#define THREE(function) \
    [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        uint8_t a = sentinel<uint8_t>(), b = sentinel<uint8_t>(), s = sentinel<uint8_t>(); \
        const uint32_t result = function(p, c, &a, &b, &s); \
        o.add(a); \
        o.add(b); \
        o.add(s); \
        return result; \
    }
#define REGISTER(function, Type, number) \
    [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        Type a = sentinel<Type>(); \
        const uint32_t result = function(p, c, number, &a); \
        o.add(a); \
        return result; \
    }
// clang-format on

const std::vector<DecodeCase>& decodeCases()
{
    static const std::vector<DecodeCase> cases = {
        // Words: (r[2] << 12) + (r[3] << 8) + (r[4] << 4) + r[5] on whole bytes, kept to 16 bits.
        { "zoom", ONE(VISCA_get_zoom_value, uint16_t), "90 50 01 02 03 04 FF", { 0x1234 } },
        { "zoom whole bytes", ONE(VISCA_get_zoom_value, uint16_t), "90 50 00 00 10 00 FF", { 0x0100 } },
        { "zoom 16 bits", ONE(VISCA_get_zoom_value, uint16_t), "90 50 11 02 03 04 FF", { 0x1234 } },
        { "zoom longer reply", ONE(VISCA_get_zoom_value, uint16_t), "90 50 0F 0F 0F 0F 00 FF", { 0xFFFF } },
        { "focus", ONE(VISCA_get_focus_value, uint16_t), "90 50 0A 0B 0C 0D FF", { 0xABCD } },
        { "red gain", ONE(VISCA_get_rgain_value, uint16_t), "90 50 00 00 08 01 FF", { 0x81 } },
        { "blue gain", ONE(VISCA_get_bgain_value, uint16_t), "90 50 00 00 07 0F FF", { 0x7F } },
        { "shutter", ONE(VISCA_get_shutter_value, uint16_t), "90 50 00 00 01 05 FF", { 0x15 } },
        { "iris", ONE(VISCA_get_iris_value, uint16_t), "90 50 00 00 00 0D FF", { 0x0D } },
        { "gain", ONE(VISCA_get_gain_value, uint16_t), "90 50 00 00 00 0F FF", { 0x0F } },
        { "brightness", ONE(VISCA_get_bright_value, uint16_t), "90 50 00 00 01 0F FF", { 0x1F } },
        { "exposure compensation", ONE(VISCA_get_exp_comp_value, uint16_t), "90 50 00 00 00 0E FF", { 0x0E } },
        { "camera id", ONE(VISCA_get_id, uint16_t), "90 50 00 00 00 05 FF", { 5 } },
        { "aperture", ONE(VISCA_get_aperture_value, uint16_t), "90 50 00 00 00 0C FF", { 0x0C } },
        { "focus near limit", ONE(VISCA_get_focus_near_limit, uint16_t), "90 50 0C 00 00 00 FF", { 0xC000 } },
        { "digital effect level", ONE(VISCA_get_digital_effect_level, uint16_t), "90 50 00 00 02 00 FF", { 0x20 } },

        // Bytes: r[2] as received.
        { "power", ONE(VISCA_get_power, uint8_t), "90 50 02 FF", { 2 } },
        { "power raw", ONE(VISCA_get_power, uint8_t), "90 50 F3 FF", { 0xF3 } },
        { "digital zoom", ONE(VISCA_get_dzoom, uint8_t), "90 50 03 FF", { 3 } },
        { "focus auto", ONE(VISCA_get_focus_auto, uint8_t), "90 50 02 FF", { 2 } },
        { "white balance", ONE(VISCA_get_whitebal_mode, uint8_t), "90 50 05 FF", { 5 } },
        { "exposure compensation power", ONE(VISCA_get_exp_comp_power, uint8_t), "90 50 02 FF", { 2 } },
        { "exposure mode", ONE(VISCA_get_auto_exp_mode, uint8_t), "90 50 0B FF", { 0x0B } },
        { "backlight", ONE(VISCA_get_backlight_comp, uint8_t), "90 50 02 FF", { 2 } },
        { "mirror", ONE(VISCA_get_mirror, uint8_t), "90 50 03 FF", { 3 } },
        { "display", ONE(VISCA_get_display, uint8_t), "90 50 02 FF", { 2 } },
        { "stabilizer", ONE(VISCA_get_cam_stabilizer, uint8_t), "90 50 02 FF", { 2 } },
        { "ePTZ on", ONE(VISCA_get_ept_onoff, uint8_t), "90 50 02 FF", { 2 } },
        { "noise reduction", ONE(VISCA_get_noise_reduction, uint8_t), "90 50 04 FF", { 4 } },
        { "infrared cut filter", ONE(VISCA_get_icr, uint8_t), "90 50 02 FF", { 2 } },
        { "picture flip", ONE(VISCA_get_pictureflip, uint8_t), "90 50 02 FF", { 2 } },
        { "colour bar", ONE(VISCA_get_colorbar, uint8_t), "90 50 02 FF", { 2 } },
        { "mute", ONE(VISCA_get_mute, uint8_t), "90 50 02 FF", { 2 } },
        { "spot focus", ONE(VISCA_get_spot_focus_on, uint8_t), "90 50 02 FF", { 2 } },
        { "spot exposure", ONE(VISCA_get_spot_ae_on, uint8_t), "90 50 02 FF", { 2 } },
        { "gamma mode", ONE(VISCA_get_gamma_mode, uint8_t), "90 50 04 FF", { 4 } },
        { "key lock", ONE(VISCA_get_keylock, uint8_t), "90 50 02 FF", { 2 } },
        { "digital zoom limit", ONE(VISCA_get_dzoom_limit, uint8_t), "90 50 06 FF", { 6 } },
        { "focus sensitivity", ONE(VISCA_get_focus_auto_sense, uint8_t), "90 50 03 FF", { 3 } },
        { "slow shutter", ONE(VISCA_get_slow_shutter_auto, uint8_t), "90 50 02 FF", { 2 } },
        { "zero lux", ONE(VISCA_get_zero_lux_shot, uint8_t), "90 50 02 FF", { 2 } },
        { "IR LED", ONE(VISCA_get_ir_led, uint8_t), "90 50 02 FF", { 2 } },
        { "wide mode", ONE(VISCA_get_wide_mode, uint8_t), "90 50 01 FF", { 1 } },
        { "freeze", ONE(VISCA_get_freeze, uint8_t), "90 50 02 FF", { 2 } },
        { "picture effect", ONE(VISCA_get_picture_effect, uint8_t), "90 50 04 FF", { 4 } },
        { "digital effect", ONE(VISCA_get_digital_effect, uint8_t), "90 50 02 FF", { 2 } },
        { "memory", ONE(VISCA_get_memory, uint8_t), "90 50 0F FF", { 15 } },
        { "data screen", ONE(VISCA_get_datascreen, uint8_t), "90 50 02 FF", { 2 } },
        { "video system", ONE(VISCA_get_videosystem, uint8_t), "90 50 01 FF", { 1 } },
        { "tracking and detection", ONE(VISCA_get_atmd_mode, uint8_t), "90 50 01 FF", { 1 } },
        { "tracking entry", ONE(VISCA_get_at_entry, uint8_t), "90 50 03 FF", { 3 } },
        { "detection reference mode", ONE(VISCA_get_md_refmode, uint8_t), "90 50 01 FF", { 1 } },
        { "wide conversion lens", ONE(VISCA_get_wide_con_lens, uint8_t), "90 50 01 FF", { 1 } },

        // Camera registers: (r[2] << 4) + r[3] on whole bytes, kept to 8 bits.
        { "register 72", REGISTER(VISCA_get_register, uint8_t, 0x72), "90 50 01 0A FF", { 0x1A } },
        { "register whole bytes", REGISTER(VISCA_get_register, uint8_t, 0x60), "90 50 01 1A FF", { 0x2A } },
        { "register 8 bits", REGISTER(VISCA_get_register, uint8_t, 0x00), "90 50 12 03 FF", { 0x23 } },
        // User registers: the low nibbles of r[2..5].
        { "user register", REGISTER(VISCA_get_user_register, uint16_t, 2), "90 50 00 03 04 01 FF", { 0x0341 } },
        { "user register nibbles", REGISTER(VISCA_get_user_register, uint16_t, 0), "90 50 60 13 24 31 FF", { 0x0341 } },

        // ePTZ: sign byte r[2], x in the nibbles of r[4..7], y in r[8..11].
        { "ePTZ centre", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 0C FF",
            { 960, 540 } },
        { "ePTZ negative x", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 01 00 0F 0F 0F 0B 00 00 00 00 FF",
            { -5, 0 } },
        { "ePTZ sign byte decides", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 50 01 00 00 00 00 05 00 00 00 01 FF", { 5 - 65536, 1 } },
        { "ePTZ nibbles", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 77 F0 F3 FC F0 F0 F2 F1 FC FF",
            { 960, 540 } },
        { "ePTZ y never negative", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 50 00 00 00 00 00 00 0F 0F 0F 0F FF", { 0, 0xFFFF } },

        // Gamma offset: sign nibble r[5], magnitude r[6] r[7].
        { "gamma offset -20", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 01 01 04 FF", { -20 } },
        { "gamma offset +20", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 00 01 04 FF", { 20 } },
        { "gamma offset sign nibble", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 11 0F 0F FF", { -255 } },
        { "gamma offset high nibble", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 10 0F 0F FF", { 255 } },
        { "gamma pattern", ONE(VISCA_get_gamma_pattern, uint16_t), "90 50 0A 0B 0C FF", { 0xABC } },
        { "gamma pattern nibbles", ONE(VISCA_get_gamma_pattern, uint16_t), "90 50 1A 2B 3C FF", { 0xABC } },

        { "temperature", ONE(VISCA_get_temperture, uint8_t), "90 50 00 00 02 09 FF", { 41 } },
        { "temperature nibbles", ONE(VISCA_get_temperture, uint8_t), "90 50 07 07 32 F9 FF", { 41 } },
        { "spot focus position", TWO(VISCA_get_spot_focus_pos, uint8_t, uint8_t), "90 50 03 0C 00 05 FF", { 60, 5 } },
        { "spot focus nibbles", TWO(VISCA_get_spot_focus_pos, uint8_t, uint8_t), "90 50 13 2C 30 45 FF", { 60, 5 } },
        { "spot exposure position", TWO(VISCA_get_spot_ae_pos, uint8_t, uint8_t), "90 50 0F 0F 00 00 FF", { 255, 0 } },
        { "2D 3D noise reduction", TWO(VISCA_get_nr_2d3d, uint8_t, uint8_t), "90 50 12 34 FF", { 0x12, 0x34 } },
        { "noise reduction 2D 3D", TWO(VISCA_get_noise_reduction_2d3d, uint8_t, uint8_t), "90 50 02 F0 FF",
            { 0x02, 0xF0 } },

        // Pan-tilt: pan signed by r[2], tilt negative from 32768.
        { "pan-tilt position", TWO(VISCA_get_pantilt_position, int32_t, int32_t), "90 50 01 0F 0F 0F 0B 0F 0F 0F 0B FF",
            { -5, -5 } },
        { "pan-tilt position positive", TWO(VISCA_get_pantilt_position, int32_t, int32_t),
            "90 50 00 00 01 02 03 07 0F 0F 0F FF", { 0x0123, 32767 } },
        { "pan-tilt tilt 32768", TWO(VISCA_get_pantilt_position, int32_t, int32_t),
            "90 50 00 0F 0F 0F 0F 08 00 00 00 FF", { 0xFFFF, -32768 } },
        { "pan-tilt mode", ONE(VISCA_get_pantilt_mode, uint16_t), "90 50 12 34 FF", { 0x1234 } },
        { "pan-tilt speeds", TWO(VISCA_get_pantilt_maxspeed, uint8_t, uint8_t), "90 50 18 14 FF", { 0x18, 0x14 } },
        { "tracking mode", ONE(VISCA_get_at_mode, uint16_t), "90 50 01 02 FF", { 0x0102 } },
        { "detection mode", ONE(VISCA_get_md_mode, uint16_t), "90 50 03 04 FF", { 0x0304 } },
        { "detection Y level", ONE(VISCA_get_md_ylevel, uint8_t), "90 50 00 1A FF", { 0x0A } },
        { "detection hue level", ONE(VISCA_get_md_huelevel, uint8_t), "90 50 00 03 FF", { 3 } },
        { "detection size", ONE(VISCA_get_md_size, uint8_t), "90 50 00 04 FF", { 4 } },
        { "detection display time", ONE(VISCA_get_md_disptime, uint8_t), "90 50 00 05 FF", { 5 } },
        { "detection reference time", ONE(VISCA_get_md_reftime, uint8_t), "90 50 00 06 FF", { 6 } },
        { "tracking object", THREE(VISCA_get_at_obj_pos), "90 50 05 06 17 FF", { 5, 6, 7 } },
        { "detection object", THREE(VISCA_get_md_obj_pos), "90 50 08 09 0A FF", { 8, 9, 0x0A } },

        // Acknowledgements before the reply are skipped.
        { "acknowledged", ONE(VISCA_get_power, uint8_t), "90 41 FF 90 50 02 FF", { 2 } },

        // Failures leave the outputs as they were.
        { "error reply", ONE(VISCA_get_zoom_value, uint16_t), "90 60 02 FF", {}, VISCA_ERROR_ERROR_REPLY },
        { "error reply after acknowledgement", ONE(VISCA_get_power, uint8_t), "90 41 FF 90 60 41 FF", {},
            VISCA_ERROR_ERROR_REPLY },
        { "error reply long enough to decode", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 60 00 00 00 03 0C 00 00 02 01 0C FF", {}, VISCA_ERROR_ERROR_REPLY },
        { "address reply", ONE(VISCA_get_power, uint8_t), "90 30 02 FF", {} },
        { "unknown reply type", ONE(VISCA_get_power, uint8_t), "90 20 02 FF", {}, VISCA_ERROR_REPLY_TYPE },
        { "two-byte packet", ONE(VISCA_get_power, uint8_t), "90 FF", {}, VISCA_ERROR_MALFORMED },
        { "lone terminator", ONE(VISCA_get_power, uint8_t), "FF", {}, VISCA_ERROR_MALFORMED },
        { "word without value", ONE(VISCA_get_zoom_value, uint16_t), "90 50 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "word of three bytes", ONE(VISCA_get_zoom_value, uint16_t), "90 50 01 02 03 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "byte without value", ONE(VISCA_get_power, uint8_t), "90 50 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "register of one byte", REGISTER(VISCA_get_register, uint8_t, 0x72), "90 50 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "user register of three bytes", REGISTER(VISCA_get_user_register, uint16_t, 1), "90 50 00 03 04 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "ePTZ one byte short", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 FF",
            {}, VISCA_ERROR_SHORT_REPLY },
        { "gamma offset one byte short", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 01 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "gamma pattern one byte short", ONE(VISCA_get_gamma_pattern, uint16_t), "90 50 0A 0B FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "temperature one byte short", ONE(VISCA_get_temperture, uint8_t), "90 50 00 00 02 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "spot focus one byte short", TWO(VISCA_get_spot_focus_pos, uint8_t, uint8_t), "90 50 03 0C 00 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "spot exposure one byte short", TWO(VISCA_get_spot_ae_pos, uint8_t, uint8_t), "90 50 03 0C 00 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "2D 3D one byte short", TWO(VISCA_get_nr_2d3d, uint8_t, uint8_t), "90 50 12 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "pan-tilt one byte short", TWO(VISCA_get_pantilt_position, int32_t, int32_t),
            "90 50 01 0F 0F 0F 0B 0F 0F 0F FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "pan-tilt speeds one byte short", TWO(VISCA_get_pantilt_maxspeed, uint8_t, uint8_t), "90 50 18 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "pan-tilt mode one byte short", ONE(VISCA_get_pantilt_mode, uint16_t), "90 50 12 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "tracking mode one byte short", ONE(VISCA_get_at_mode, uint16_t), "90 50 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "detection level one byte short", ONE(VISCA_get_md_ylevel, uint8_t), "90 50 00 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "object one byte short", THREE(VISCA_get_at_obj_pos), "90 50 05 06 FF", {}, VISCA_ERROR_SHORT_REPLY },
    };
    return cases;
}

} // namespace

Q_DECLARE_METATYPE(const DecodeCase*)

class TestViscaDecode : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void cameraInfo_data();
    void cameraInfo();
    void valuesThroughTheCamera();
    void camerasOnTheChain();
};

void TestViscaDecode::decode_data()
{
    QTest::addColumn<const DecodeCase*>("testCase");
    for (const DecodeCase& testCase : decodeCases())
        QTest::newRow(testCase.name) << &testCase;
}

void TestViscaDecode::decode()
{
    QFETCH(const DecodeCase*, testCase);
    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(CamSim::Rule(CamSim::Fault::Raw).bytes(hexBytes(testCase->reply)).times(1));

    Outputs outputs;
    const uint32_t result = testCase->get(&link.port, &link.camera, outputs);
    if (testCase->expected.isEmpty()) {
        QCOMPARE(result, VISCA_FAILURE);
        QCOMPARE(outputs.values, outputs.sentinels);
        if (testCase->error != VISCA_ERROR_NONE)
            QCOMPARE(link.port.last_error, testCase->error);
    } else {
        QCOMPARE(result, VISCA_SUCCESS);
        QCOMPARE(outputs.values, testCase->expected);
    }
}

void TestViscaDecode::cameraInfo_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("valid");
    QTest::newRow("10 bytes") << "90 50 00 20 04 0B 01 02 03 FF" << true;
    QTest::newRow("big-endian pairs") << "90 50 12 34 56 78 9A BC DE FF" << true;
    QTest::newRow("9 bytes") << "90 50 00 20 04 0B 01 02 FF" << false;
    QTest::newRow("11 bytes") << "90 50 00 20 04 0B 01 02 03 04 FF" << false;
    QTest::newRow("error reply") << "90 60 02 FF" << false;
    QTest::newRow("error reply of 10 bytes") << "90 60 00 20 04 0B 01 02 03 FF" << false;
}

void TestViscaDecode::cameraInfo()
{
    QFETCH(QString, reply);
    QFETCH(bool, valid);
    Link link;
    QVERIFY(link.isOpen());
    link.camera.vendor = link.camera.model = link.camera.rom_version = link.camera.socket_num = 0xA5A5A5A5;
    link.sim.addFault(CamSim::Rule(CamSim::Fault::Raw).bytes(hexBytes(reply.toLatin1().constData())).times(1));
    const uint32_t result = VISCA_get_camera_info(&link.port, &link.camera);
    QCOMPARE(link.sim.received(), QList<QByteArray> { hexBytes("81 09 00 02 FF") });
    if (!valid) {
        QCOMPARE(result, VISCA_FAILURE);
        QCOMPARE(link.camera.vendor, 0xA5A5A5A5u);
        QCOMPARE(link.camera.socket_num, 0xA5A5A5A5u);
        return;
    }
    QCOMPARE(result, VISCA_SUCCESS);
    const QByteArray r = hexBytes(reply.toLatin1().constData());
    const auto pair = [&](int i) { return uint32_t(uint8_t(r[i]) << 8 | uint8_t(r[i + 1])); };
    QCOMPARE(link.camera.vendor, pair(2));
    QCOMPARE(link.camera.model, pair(4));
    QCOMPARE(link.camera.rom_version, pair(6));
    QCOMPARE(link.camera.socket_num, uint32_t(uint8_t(r[8])));
}

void TestViscaDecode::valuesThroughTheCamera()
{
    Link link;
    QVERIFY(link.isOpen());
    ViscaPort* p = &link.port;
    ViscaCameraInfo* c = &link.camera;
    CamSim& sim = link.sim;

    // Whatever the library sets, the camera holds, and the inquiry reads back.
    uint16_t word = 0;
    QCOMPARE(VISCA_set_zoom_value(p, c, 0x8001), VISCA_SUCCESS);
    QCOMPARE(sim.word(hexBytes("04 47")), uint16_t(0x8001));
    QCOMPARE(VISCA_get_zoom_value(p, c, &word), VISCA_SUCCESS);
    QCOMPARE(word, uint16_t(0x8001));
    for (uint8_t number : { 0, 1, 2 })
        QCOMPARE(VISCA_set_user_register(p, c, number, uint16_t(0x0341 + number)), VISCA_SUCCESS);
    for (uint8_t number : { 0, 1, 2 }) {
        QCOMPARE(VISCA_get_user_register(p, c, number, &word), VISCA_SUCCESS);
        QCOMPARE(word, uint16_t(0x0341 + number));
    }

    uint8_t byte = 0;
    // The four camera registers are kept apart.
    const uint8_t registers[] = { 0x72, 0x60, 0x00, 0x75 };
    for (uint8_t number : registers)
        QCOMPARE(VISCA_set_register(p, c, number, uint8_t(number + 3)), VISCA_SUCCESS);
    for (uint8_t number : registers) {
        QCOMPARE(VISCA_get_register(p, c, number, &byte), VISCA_SUCCESS);
        QCOMPARE(byte, uint8_t(number + 3));
    }

    // Signed values keep their sign through the camera.
    for (int x : { -960, -5, 0, 960 }) {
        int32_t readX = 0;
        uint32_t readY = 0;
        QCOMPARE(VISCA_set_ept_position(p, c, uint32_t(x), 540), VISCA_SUCCESS);
        QCOMPARE(VISCA_get_ept_position(p, c, &readX, &readY), VISCA_SUCCESS);
        QCOMPARE(readX, x);
        QCOMPARE(readY, 540u);
    }
    for (int16_t offset : { int16_t(-255), int16_t(-20), int16_t(0), int16_t(20), int16_t(255) }) {
        int16_t read = 0;
        QCOMPARE(VISCA_set_gamma_offset(p, c, offset), VISCA_SUCCESS);
        QCOMPARE(VISCA_get_gamma_offset(p, c, &read), VISCA_SUCCESS);
        QCOMPARE(read, offset);
    }
    uint16_t pattern = 0;
    QCOMPARE(VISCA_set_gamma_pattern(p, c, 0xFABC), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_gamma_pattern(p, c, &pattern), VISCA_SUCCESS);
    QCOMPARE(pattern, uint16_t(0xABC));

    uint8_t x = 0, y = 0;
    QCOMPARE(VISCA_set_spot_focus_pos(p, c, 0x3C, 0xF5), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_spot_focus_pos(p, c, &x, &y), VISCA_SUCCESS);
    QCOMPARE(x, uint8_t(0x3C));
    QCOMPARE(y, uint8_t(0xF5));
    QCOMPARE(VISCA_set_spot_ae_position(p, c, 7, 9), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_spot_ae_pos(p, c, &x, &y), VISCA_SUCCESS);
    QCOMPARE(x, uint8_t(7));
    QCOMPARE(y, uint8_t(9));
    QCOMPARE(VISCA_set_nr_2d3d(p, c, 3, 4), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_nr_2d3d(p, c, &x, &y), VISCA_SUCCESS);
    QCOMPARE(x, uint8_t(3));
    QCOMPARE(y, uint8_t(4));

    int32_t pan = 0, tilt = 0;
    QCOMPARE(VISCA_set_pantilt_absolute_position(p, c, 0x18, 0x14, uint32_t(-5), uint32_t(-7)), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_pantilt_position(p, c, &pan, &tilt), VISCA_SUCCESS);
    QCOMPARE(pan, -5);
    QCOMPARE(tilt, -7);

    uint8_t temperature = 0;
    sim.setValue(hexBytes("04 68"), hexBytes("00 00 03 02"));
    QCOMPARE(VISCA_get_temperture(p, c, &temperature), VISCA_SUCCESS);
    QCOMPARE(temperature, uint8_t(50));
}

void TestViscaDecode::camerasOnTheChain()
{
    Link link(3);
    QVERIFY(link.isOpen());
    ViscaCameraInfo second {};
    second.address = 2;
    uint16_t zoom = 0;
    QCOMPARE(VISCA_set_zoom_value(&link.port, &second, 0x2222), VISCA_SUCCESS);
    QCOMPARE(VISCA_get_zoom_value(&link.port, &second, &zoom), VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0x2222));
    QCOMPARE(link.port.ibuf[0], uint8_t(0xA0));
    QCOMPARE(VISCA_get_zoom_value(&link.port, &link.camera, &zoom), VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0));
    QCOMPARE(link.port.ibuf[0], uint8_t(0x90));
    QCOMPARE(link.sim.word(hexBytes("04 47"), 2), uint16_t(0x2222));
}

QUV_TEST_MAIN(TestViscaDecode)
#include "test_viscadecode.moc"
