// The reply reader against a misbehaving camera: silence, floods, cut and
// slow packets, endless acknowledgements, late completions, a line that hangs
// up, and a microsecond clock that wraps. Every wait is bounded.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"
#include "visca/visca_private.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

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
// The budget is 2 s; bounds above it are generous, since only its lower edge is exact.
constexpr int BUDGET_MS = 1900;
constexpr int SLOW_MS = 8000;
constexpr int AT_ONCE_MS = 1500;

// A wrapping 32-bit microsecond clock that starts just below the wrap.
std::atomic<int64_t> s_fakeBase_us { 0 };
std::chrono::steady_clock::time_point s_fakeStart;

int64_t fakeClock()
{
    const int64_t real_us
        = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - s_fakeStart).count();
    return int64_t(int32_t(uint32_t(s_fakeBase_us.load() + real_us)));
}

struct FakeClock
{
    explicit FakeClock(int64_t base_us)
    {
        s_fakeBase_us = base_us;
        s_fakeStart = std::chrono::steady_clock::now();
        _VISCA_set_clock(fakeClock);
    }
    ~FakeClock() { _VISCA_set_clock(nullptr); }
};

} // namespace

Q_DECLARE_METATYPE(CamSim::Fault)

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
    void signalsDoNotEndTheWait();
    void clockWrap();
};

void TestViscaReader::replies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<uint32_t>("result");
    QTest::addColumn<uint32_t>("replyType");

    QTest::newRow("acknowledgement and completion") << "90 41 FF 90 51 FF" << VISCA_SUCCESS << VISCA_RESPONSE_COMPLETED;
    QTest::newRow("acknowledgement and error") << "90 41 FF 90 61 41 FF" << VISCA_SUCCESS << VISCA_RESPONSE_ERROR;
    QTest::newRow("address reply") << "88 30 02 FF" << VISCA_SUCCESS << VISCA_RESPONSE_ADDRESS;
    QTest::newRow("four acknowledgements")
        << "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 51 FF" << VISCA_SUCCESS << VISCA_RESPONSE_COMPLETED;
    QTest::newRow("five acknowledgements")
        << "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 51 FF" << VISCA_FAILURE << VISCA_RESPONSE_ACK;
    QTest::newRow("unknown type") << "90 70 FF" << VISCA_FAILURE << 0x70u;
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
    QTest::addColumn<int>("atLeast"); // how long the failure took, in ms
    QTest::addColumn<int>("below");
    QTest::addColumn<int>("received"); // bytes left in the input buffer, -1: not checked
    QTest::addColumn<int>("watchdog"); // ms until the line is hung up under the reader

    QTest::newRow("silence") << Fault::Silence << 0 << 0 << true << TIMEOUT1 << uint(VISCA_ERROR_TIMEOUT) << BUDGET_MS
                             << SLOW_MS << -1 << 15000;
    QTest::newRow("acknowledged, never completed") << Fault::AckOnly << 0 << 0 << false << TIMEOUT1
                                                   << uint(VISCA_ERROR_TIMEOUT) << BUDGET_MS << SLOW_MS << -1 << 15000;
    // 1500 bytes without a terminator: the reader stops at its buffer, and the rest is not the next reply.
    QTest::newRow("unterminated flood") << Fault::Unterminated << 0 << 1500 << true << TIMEOUT2
                                        << uint(VISCA_ERROR_OVERFLOW) << 0 << SLOW_MS << 1024 << 15000;
    QTest::newRow("cut packet") << Fault::Cut << 0 << 2 << true << TIMEOUT2 << uint(VISCA_ERROR_TIMEOUT) << BUDGET_MS
                                << SLOW_MS << 2 << 15000;
    // 800 ms a byte: the acknowledgement's third byte would come after 2.4 s; the budget covers the bytes too.
    QTest::newRow("packet slower than the budget") << Fault::Trickle << 800 << 0 << false << TIMEOUT2
                                                   << uint(VISCA_ERROR_TIMEOUT) << BUDGET_MS << SLOW_MS << -1 << 15000;
    QTest::newRow("endless acknowledgements") << Fault::EndlessAcks << 20 << 0 << false << QByteArray()
                                              << uint(VISCA_ERROR_MALFORMED) << 0 << SLOW_MS << -1 << 15000;
    QTest::newRow("hang-up on the packet")
        << Fault::HangUp << 0 << 0 << true << QByteArray() << uint(VISCA_ERROR_IO) << 0 << AT_ONCE_MS << -1 << 15000;
    // Two bytes of the reply, then the line goes: the reader gives up at once, not at the end of its budget.
    QTest::newRow("hang-up mid-packet") << Fault::Cut << 0 << 2 << true << QByteArray() << uint(VISCA_ERROR_IO) << 0
                                        << BUDGET_MS << 2 << 300;
}

void TestViscaReader::faults()
{
    QFETCH(CamSim::Fault, fault);
    QFETCH(int, ms);
    QFETCH(int, length);
    QFETCH(bool, inquiry);
    QFETCH(QByteArray, out);
    QFETCH(uint, error);
    QFETCH(int, atLeast);
    QFETCH(int, below);
    QFETCH(int, received);
    QFETCH(int, watchdog);

    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(Rule(fault).times(1).ms(ms).length(length));
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
    if (received >= 0)
        QCOMPARE(link.port.ibuf_length, received);
    QVERIFY2(timed.elapsed_ms >= atLeast && timed.elapsed_ms < below, qPrintable(QString::number(timed.elapsed_ms)));

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
    // Replies nobody asked for, then garbage without a terminator.
    Link link;
    QVERIFY(link.isOpen());
    for (const QByteArray& unsolicited : { hexBytes("90 50 07 FF 90 51 FF"), QByteArray(40, '\x11') }) {
        link.sim.sendRaw(unsolicited);
        QTRY_COMPARE_WITH_TIMEOUT(quvtest::pendingBytes(link.port.fd), unsolicited.size(), 5000);
        uint8_t power = 0;
        QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
        QCOMPARE(power, uint8_t(0x02));
    }
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
}

void TestViscaReader::signalsDoNotEndTheWait()
{
    // Signals caught while the reader waits (a handler without SA_RESTART)
    // interrupt its poll; the wait goes on with the time left.
    struct sigaction action
    {
    };
    struct sigaction previous
    {
    };
    action.sa_handler = [](int) {};
    QCOMPARE(sigaction(SIGUSR1, &action, &previous), 0);
    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(Rule(Fault::Delay).ms(400).times(1));
    const pthread_t reader = pthread_self();
    std::thread interrupter([reader] {
        for (int i = 0; i < 6; ++i) {
            usleep(50000);
            pthread_kill(reader, SIGUSR1);
        }
    });
    uint8_t power = 0;
    const uint32_t result = VISCA_get_power(&link.port, &link.camera, &power);
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    QCOMPARE(result, VISCA_SUCCESS);
    QCOMPARE(power, uint8_t(2));
}

void TestViscaReader::clockWrap()
{
    // Half a second before the signed 32-bit count wraps to -2^31, a silent
    // camera still costs the whole budget ...
    Link link;
    QVERIFY(link.isOpen());
    {
        FakeClock clock(int64_t(INT32_MAX) - 500000);
        QVERIFY(VISCA_uclock() > INT32_MAX - 600000 && VISCA_uclock() <= INT32_MAX);
        link.sim.addFault(Rule(Fault::Silence).times(1));
        const Timed timed = timedCall(link.sim, [&] { return VISCA_set_power(&link.port, &link.camera, 2); });
        QCOMPARE(timed.out, TIMEOUT1);
        QVERIFY2(
            timed.elapsed_ms >= BUDGET_MS && timed.elapsed_ms < SLOW_MS, qPrintable(QString::number(timed.elapsed_ms)));
        QVERIFY(VISCA_uclock() < 0);
    }

    // ... and a reply arriving slowly across the wrap is received whole.
    FakeClock clock(int64_t(INT32_MAX) - 300000);
    link.sim.addFault(Rule(Fault::Trickle).ms(150).times(1));
    link.sim.setWord(hexBytes("04 47"), 0x0ABC);
    uint16_t zoom = 0;
    const Timed timed = timedCall(link.sim, [&] { return VISCA_get_zoom_value(&link.port, &link.camera, &zoom); });
    QCOMPARE(timed.result, VISCA_SUCCESS);
    QCOMPARE(zoom, uint16_t(0x0ABC));
}

QUV_TEST_MAIN(TestViscaReader)
#include "test_viscareader.moc"
