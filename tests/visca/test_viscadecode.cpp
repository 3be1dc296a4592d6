// Replies turned into values: every decode shape, the signs, the masks, the
// outputs left alone when a reply fails, and the reply of a camera further
// down the chain.

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
        { "zoom 16 bits", ONE(VISCA_get_zoom_value, uint16_t), "90 50 11 02 03 04 FF", { 0x1234 } },
        // Bytes: r[2] as received.
        { "power", ONE(VISCA_get_power, uint8_t), "90 50 02 FF", { 2 } },
        { "2D 3D noise reduction", TWO(VISCA_get_nr_2d3d, uint8_t, uint8_t), "90 50 12 34 FF", { 0x12, 0x34 } },

        // Camera registers: (r[2] << 4) + r[3] on whole bytes, kept to 8 bits.
        { "register 72", REGISTER(VISCA_get_register, uint8_t, 0x72), "90 50 01 0A FF", { 0x1A } },
        { "register 8 bits", REGISTER(VISCA_get_register, uint8_t, 0x00), "90 50 12 03 FF", { 0x23 } },
        // User registers: the low nibbles of r[2..5].
        { "user register nibbles", REGISTER(VISCA_get_user_register, uint16_t, 0), "90 50 60 13 24 31 FF", { 0x0341 } },

        // ePTZ: sign byte r[2], x in the nibbles of r[4..7], y in r[8..11].
        { "ePTZ centre", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 0C FF",
            { 960, 540 } },
        { "ePTZ negative x", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 01 00 0F 0F 0F 0B 00 00 00 00 FF",
            { -5, 0 } },
        { "ePTZ sign byte decides", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 50 01 00 00 00 00 05 00 00 00 01 FF", { 5 - 65536, 1 } },
        { "ePTZ y never negative", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 50 00 00 00 00 00 00 0F 0F 0F 0F FF", { 0, 0xFFFF } },

        // Gamma offset: sign nibble r[5], magnitude r[6] r[7].
        { "gamma offset -20", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 01 01 04 FF", { -20 } },
        { "gamma offset sign nibble", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 11 0F 0F FF", { -255 } },
        { "gamma offset high nibble", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 10 0F 0F FF", { 255 } },
        { "gamma pattern nibbles", ONE(VISCA_get_gamma_pattern, uint16_t), "90 50 1A 2B 3C FF", { 0xABC } },
        { "temperature nibbles", ONE(VISCA_get_temperture, uint8_t), "90 50 07 07 32 F9 FF", { 41 } },
        { "spot focus nibbles", TWO(VISCA_get_spot_focus_pos, uint8_t, uint8_t), "90 50 13 2C 30 45 FF", { 60, 5 } },

        // Pan-tilt: pan signed by r[2], tilt negative from 32768.
        { "pan-tilt position", TWO(VISCA_get_pantilt_position, int32_t, int32_t), "90 50 01 0F 0F 0F 0B 0F 0F 0F 0B FF",
            { -5, -5 } },
        { "pan-tilt tilt 32768", TWO(VISCA_get_pantilt_position, int32_t, int32_t),
            "90 50 00 0F 0F 0F 0F 08 00 00 00 FF", { 0xFFFF, -32768 } },
        { "pan-tilt mode", ONE(VISCA_get_pantilt_mode, uint16_t), "90 50 12 34 FF", { 0x1234 } },
        { "pan-tilt speeds", TWO(VISCA_get_pantilt_maxspeed, uint8_t, uint8_t), "90 50 18 14 FF", { 0x18, 0x14 } },
        { "detection Y level", ONE(VISCA_get_md_ylevel, uint8_t), "90 50 00 1A FF", { 0x0A } },
        { "tracking object", THREE(VISCA_get_at_obj_pos), "90 50 05 06 17 FF", { 5, 6, 7 } },

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
        // One byte short of what each decode reads.
        { "word without value", ONE(VISCA_get_zoom_value, uint16_t), "90 50 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "byte without value", ONE(VISCA_get_power, uint8_t), "90 50 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "register of one byte", REGISTER(VISCA_get_register, uint8_t, 0x72), "90 50 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "user register of three bytes", REGISTER(VISCA_get_user_register, uint16_t, 1), "90 50 00 03 04 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "ePTZ one byte short", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 FF",
            {}, VISCA_ERROR_SHORT_REPLY },
        { "gamma offset one byte short", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 01 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "pan-tilt one byte short", TWO(VISCA_get_pantilt_position, int32_t, int32_t),
            "90 50 01 0F 0F 0F 0B 0F 0F 0F FF", {}, VISCA_ERROR_SHORT_REPLY },
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
    QTest::newRow("big-endian pairs") << "90 50 12 34 56 78 9A BC DE FF" << true;
    QTest::newRow("9 bytes") << "90 50 00 20 04 0B 01 02 FF" << false;
    QTest::newRow("11 bytes") << "90 50 00 20 04 0B 01 02 03 04 FF" << false;
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
