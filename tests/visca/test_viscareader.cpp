// The reply reader against a misbehaving camera: silence, floods, cut and
// slow packets, endless acknowledgements, late completions, a line that hangs
// up, and a microsecond clock that wraps. Every wait is bounded; bounds are
// generous, since only the budget's lower edge is exact.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"
#include "visca/visca_private.h"

#include <atomic>
#include <chrono>

using quvtest::CamSim;
using quvtest::hexBytes;
using viscatest::Link;
using viscatest::Timed;
using viscatest::timedCall;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;

namespace {

const QByteArray TIMEOUT1 = "_VISCA_get_packet - timeout1\n";
const QByteArray TIMEOUT2 = "_VISCA_get_packet - timeout2\n";
// The budget is 2 s; a wait that ends well before it did not wait for the camera.
constexpr int64_t BUDGET_LOWER_MS = 1900;
constexpr int64_t SLOW_BOUND_MS = 8000;
// Well inside the budget: the reader did not wait for it.
constexpr int64_t AT_ONCE_MS = 1500;

// A wrapping 32-bit microsecond clock that starts just below the wrap.
std::atomic<int64_t> s_fakeBase_us { 0 };
std::chrono::steady_clock::time_point s_fakeStart;

int64_t fakeClock()
{
    const int64_t real_us
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - s_fakeStart).count();
    return int64_t(int32_t(uint32_t(s_fakeBase_us.load() + real_us)));
}

void startFakeClock(int64_t base_us)
{
    s_fakeBase_us = base_us;
    s_fakeStart = std::chrono::steady_clock::now();
    _VISCA_set_clock(fakeClock);
}

struct ClockRestorer
{
    ~ClockRestorer() { _VISCA_set_clock(nullptr); }
};

// How long a failed exchange may take.
enum class Took
{
    Budget, // the whole budget, and not much more
    Bounded, // at most a little more than the budget
    BeforeBudget, // less than the budget
    AtOnce, // well inside the budget
};

} // namespace

Q_DECLARE_METATYPE(CamSim::Fault)
Q_DECLARE_METATYPE(Took)

class TestViscaReader : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void faults_data();
    void faults();
    void slowCompletion();
    void lateCompletionIsNotTheNextReply();
    void unsolicitedInputIsDiscarded();
    void hangUpBetweenExchanges();
    void clockWrap();
    void clockWrapWhileReceiving();
};

void TestViscaReader::replies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<uint32_t>("result");
    QTest::addColumn<uint32_t>("replyType");

    QTest::newRow("acknowledgement and completion") << "90 41 FF 90 51 FF" << VISCA_SUCCESS << VISCA_RESPONSE_COMPLETED;
    QTest::newRow("completion alone") << "90 51 FF" << VISCA_SUCCESS << VISCA_RESPONSE_COMPLETED;
    QTest::newRow("error reply") << "90 60 02 FF" << VISCA_SUCCESS << VISCA_RESPONSE_ERROR;
    QTest::newRow("acknowledgement and error") << "90 41 FF 90 61 41 FF" << VISCA_SUCCESS << VISCA_RESPONSE_ERROR;
    QTest::newRow("address reply") << "88 30 02 FF" << VISCA_SUCCESS << VISCA_RESPONSE_ADDRESS;
    QTest::newRow("four acknowledgements")
        << "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 51 FF" << VISCA_SUCCESS << VISCA_RESPONSE_COMPLETED;
    QTest::newRow("five acknowledgements")
        << "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 51 FF" << VISCA_FAILURE << VISCA_RESPONSE_ACK;
    QTest::newRow("unknown type") << "90 20 FF" << VISCA_FAILURE << 0x20u;
    QTest::newRow("type 0x70") << "90 70 FF" << VISCA_FAILURE << 0x70u;
}

void TestViscaReader::replies()
{
    QFETCH(QString, reply);
    QFETCH(uint32_t, result);
    QFETCH(uint32_t, replyType);
    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(Rule(Fault::Raw).bytes(hexBytes(reply.toLatin1().constData())).times(1));
    const Timed timed = timedCall(link.sim, [&] { return VISCA_set_power(&link.port, &link.camera, 2); });
    QCOMPARE(timed.result, result);
    QCOMPARE(link.port.reply_type, replyType);
    QCOMPARE(timed.out, QByteArray());
}

void TestViscaReader::faults_data()
{
    QTest::addColumn<CamSim::Fault>("fault");
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("inquiry"); // the zoom inquiry, else the zoom command
    QTest::addColumn<QByteArray>("out"); // on standard output
    QTest::addColumn<uint>("error");
    QTest::addColumn<Took>("took");
    QTest::addColumn<int>("received"); // bytes left in the input buffer, -1: not checked
    QTest::addColumn<int>("watchdog"); // ms until the line is hung up under the reader

    QTest::newRow("silence") << Fault::Silence << 0 << 0 << true << TIMEOUT1 << uint(VISCA_ERROR_TIMEOUT)
                             << Took::Budget << -1 << 15000;
    QTest::newRow("acknowledged, never completed")
        << Fault::AckOnly << 0 << 0 << false << TIMEOUT1 << uint(VISCA_ERROR_TIMEOUT) << Took::Budget << -1 << 15000;
    // 1500 bytes without a terminator: the reader stops at its buffer, and the rest is not the next reply.
    QTest::newRow("unterminated flood") << Fault::Unterminated << 0 << 1500 << true << TIMEOUT2
                                        << uint(VISCA_ERROR_OVERFLOW) << Took::Bounded << -1 << 15000;
    QTest::newRow("cut packet") << Fault::Cut << 0 << 2 << true << TIMEOUT2 << uint(VISCA_ERROR_TIMEOUT) << Took::Budget
                                << 2 << 15000;
    // 800 ms a byte: the acknowledgement's third byte would come after 2.4 s; the budget covers the bytes too.
    QTest::newRow("packet slower than the budget")
        << Fault::Trickle << 800 << 0 << false << TIMEOUT2 << uint(VISCA_ERROR_TIMEOUT) << Took::Budget << -1 << 15000;
    QTest::newRow("endless acknowledgements") << Fault::EndlessAcks << 20 << 0 << false << QByteArray()
                                              << uint(VISCA_ERROR_MALFORMED) << Took::Bounded << -1 << 15000;
    QTest::newRow("hang-up on the packet")
        << Fault::HangUp << 0 << 0 << true << QByteArray() << uint(VISCA_ERROR_IO) << Took::AtOnce << -1 << 15000;
    // Two bytes of the reply, then the line goes: the reader gives up at once, not at the end of its budget.
    QTest::newRow("hang-up mid-packet") << Fault::Cut << 0 << 2 << true << QByteArray() << uint(VISCA_ERROR_IO)
                                        << Took::BeforeBudget << 2 << 300;
}

void TestViscaReader::faults()
{
    QFETCH(CamSim::Fault, fault);
    QFETCH(int, ms);
    QFETCH(int, length);
    QFETCH(bool, inquiry);
    QFETCH(QByteArray, out);
    QFETCH(uint, error);
    QFETCH(Took, took);
    QFETCH(int, received);
    QFETCH(int, watchdog);

    Link link;
    QVERIFY(link.isOpen());
    Rule rule(fault);
    rule.times(1).ms(ms);
    if (length > 0)
        rule.length(length);
    link.sim.addFault(rule);
    uint16_t zoom = 0xBEEF;
    const Timed timed = timedCall(
        link.sim,
        [&] {
            return inquiry ? VISCA_get_zoom_value(&link.port, &link.camera, &zoom)
                           : VISCA_set_zoom_value(&link.port, &link.camera, 0x4000);
        },
        watchdog);
    QCOMPARE(timed.result, VISCA_FAILURE);
    QCOMPARE(zoom, uint16_t(0xBEEF));
    QCOMPARE(timed.out, out);
    QCOMPARE(link.port.last_error, uint32_t(error));
    QVERIFY(link.port.ibuf_length <= VISCA_INPUT_BUFFER_SIZE);
    if (received >= 0)
        QCOMPARE(link.port.ibuf_length, received);
    const QString elapsed = QString::number(timed.elapsed_ms);
    switch (took) {
    case Took::Budget:
        QVERIFY2(timed.elapsed_ms >= BUDGET_LOWER_MS && timed.elapsed_ms < SLOW_BOUND_MS, qPrintable(elapsed));
        break;
    case Took::Bounded:
        QVERIFY2(timed.elapsed_ms < SLOW_BOUND_MS, qPrintable(elapsed));
        break;
    case Took::BeforeBudget:
        QVERIFY2(timed.elapsed_ms < BUDGET_LOWER_MS, qPrintable(elapsed));
        break;
    case Took::AtOnce:
        QVERIFY2(timed.elapsed_ms < AT_ONCE_MS, qPrintable(elapsed));
        break;
    }

    // The line hangs up only where the camera hung it up; otherwise, once the
    // camera has sent what it had, the next exchange reads its own reply.
    QCOMPARE(link.sim.isHungUp(), fault == Fault::HangUp || watchdog < 15000);
    if (!link.sim.isHungUp()) {
        QVERIFY(link.sim.waitUntilSent(10000));
        QCOMPARE(VISCA_get_zoom_value(&link.port, &link.camera, &zoom), VISCA_SUCCESS);
        QCOMPARE(zoom, link.sim.word(hexBytes("04 47")));
    }
}

void TestViscaReader::slowCompletion()
{
    // Six bytes 250 ms apart: each packet arrives within its own budget.
    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(Rule(Fault::Trickle).ms(250).times(1));
    const Timed timed = timedCall(link.sim, [&] { return VISCA_set_zoom_value(&link.port, &link.camera, 0x1234); });
    QCOMPARE(timed.result, VISCA_SUCCESS);
    QCOMPARE(link.port.reply_type, VISCA_RESPONSE_COMPLETED);
    QCOMPARE(timed.out, QByteArray());
    QVERIFY(timed.elapsed_ms >= 6 * 250);

    // An inquiry's value, one byte at a time at line speed.
    link.sim.setPacing(true);
    uint16_t zoom = 0;
    QCOMPARE(VISCA_get_zoom_value(&link.port, &link.camera, &zoom), VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0x1234));
}

void TestViscaReader::lateCompletionIsNotTheNextReply()
{
    // A memory recall completes after its budget; the completion must not answer the zoom inquiry after it.
    Link link;
    QVERIFY(link.isOpen());
    link.sim.setWord(hexBytes("04 47"), 0x0321);
    link.sim.addFault(Rule(Fault::LateCompletion).matching(hexBytes("01 04 3F")).ms(2500).times(1));
    const Timed timed = timedCall(link.sim, [&] { return VISCA_memory_recall(&link.port, &link.camera, 1); });
    QCOMPARE(timed.result, VISCA_FAILURE);
    QCOMPARE(timed.out, TIMEOUT1);

    QVERIFY(link.sim.waitUntilSent());
    QTRY_VERIFY_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd) >= 3, 5000);
    uint16_t zoom = 0;
    QCOMPARE(VISCA_get_zoom_value(&link.port, &link.camera, &zoom), VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0x0321));
    QCOMPARE(link.port.ibuf_length, 7);
}

void TestViscaReader::unsolicitedInputIsDiscarded()
{
    Link link;
    QVERIFY(link.isOpen());
    link.sim.sendRaw(hexBytes("90 50 07 FF 90 51 FF"));
    QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd), 7, 5000);
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(power, uint8_t(0x02));

    // Garbage without a terminator, too.
    link.sim.sendRaw(QByteArray(40, '\x11'));
    QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd), 40, 5000);
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(power, uint8_t(0x02));
}

void TestViscaReader::hangUpBetweenExchanges()
{
    Link link;
    QVERIFY(link.isOpen());
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    link.sim.hangUp();

    // The last reply still in ibuf is never taken for a new one.
    power = 0xA5;
    Timed timed = timedCall(link.sim, [&] { return VISCA_get_power(&link.port, &link.camera, &power); });
    QCOMPARE(timed.result, VISCA_FAILURE);
    QCOMPARE(power, uint8_t(0xA5));
    QVERIFY2(timed.elapsed_ms < AT_ONCE_MS, qPrintable(QString::number(timed.elapsed_ms)));
    QVERIFY(link.port.last_error == VISCA_ERROR_IO || link.port.last_error == VISCA_ERROR_WRITE);

    timed = timedCall(link.sim, [&] { return VISCA_set_power(&link.port, &link.camera, 2); });
    QCOMPARE(timed.result, VISCA_FAILURE);
    QVERIFY(timed.elapsed_ms < AT_ONCE_MS);
}

void TestViscaReader::clockWrap()
{
    ClockRestorer restorer;
    Link link;
    QVERIFY(link.isOpen());
    // Half a second before the signed 32-bit count wraps to -2^31.
    startFakeClock(int64_t(INT32_MAX) - 500000);
    const int64_t now = VISCA_uclock();
    QVERIFY(now > INT32_MAX - 600000 && now <= INT32_MAX);

    link.sim.addFault(Rule(Fault::Silence).times(1));
    const Timed timed = timedCall(link.sim, [&] { return VISCA_set_power(&link.port, &link.camera, 2); });
    QCOMPARE(timed.result, VISCA_FAILURE);
    QCOMPARE(timed.out, TIMEOUT1);
    QVERIFY2(timed.elapsed_ms >= BUDGET_LOWER_MS && timed.elapsed_ms < SLOW_BOUND_MS,
        qPrintable(QString::number(timed.elapsed_ms)));
    QVERIFY(VISCA_uclock() < 0);
}

void TestViscaReader::clockWrapWhileReceiving()
{
    // A reply arriving slowly across the wrap is still received whole.
    ClockRestorer restorer;
    Link link;
    QVERIFY(link.isOpen());
    startFakeClock(int64_t(INT32_MAX) - 300000);
    link.sim.addFault(Rule(Fault::Trickle).ms(150).times(1));
    uint16_t zoom = 0;
    link.sim.setWord(hexBytes("04 47"), 0x0ABC);
    const Timed timed = timedCall(link.sim, [&] { return VISCA_get_zoom_value(&link.port, &link.camera, &zoom); });
    QCOMPARE(timed.result, VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0x0ABC));
    QCOMPARE(timed.out, QByteArray());
}

QUV_TEST_MAIN(TestViscaReader)
#include "test_viscareader.moc"
