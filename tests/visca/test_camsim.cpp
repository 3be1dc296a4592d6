// The camera simulator itself, spoken to with plain reads and writes on its
// slave side: the chain's addressing, the record, and that every scripted
// fault really happens, so that the library tests built on them cannot pass
// without meeting the fault.

#include "camsim.h"
#include "quvtest.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using quvtest::CamSim;
using quvtest::hexBytes;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(CamSim::Fault)

namespace {

int64_t msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The code-under-test side of the line: a raw descriptor on the slave path.
class Line
{
public:
    explicit Line(const QString& path)
    {
        m_fd = open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings;
        if (m_fd >= 0 && tcgetattr(m_fd, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~Line()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    int fd() const { return m_fd; }

    bool send(const QByteArray& bytes) { return write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size(); }
    bool send(const char* hex) { return send(hexBytes(hex)); }

    // Reads until count bytes arrived, the line failed, or timeout_ms passed.
    QByteArray read(int count, int timeout_ms = 5000)
    {
        QByteArray out;
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (out.size() < count) {
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (left <= 0)
                break;
            pollfd fd = { m_fd, POLLIN, 0 };
            if (poll(&fd, 1, left) <= 0)
                continue;
            char buffer[2048];
            const ssize_t n = ::read(m_fd, buffer, size_t(std::min<int>(count - out.size(), sizeof buffer)));
            if (n <= 0)
                break;
            out.append(buffer, int(n));
        }
        return out;
    }

private:
    int m_fd = -1;
};

} // namespace

#define COMPARE_HEX(actual, expected) QCOMPARE(quvtest::hexString(actual), quvtest::hexString(hexBytes(expected)))

class TestCamSim : public QObject
{
    Q_OBJECT

private slots:
    void chainAddressing();
    void record();
    void replyFaults_data();
    void replyFaults();
    void timedFaults();
    void hangUp();
};

void TestCamSim::chainAddressing()
{
    CamSim sim(3);
    QVERIFY(sim.isValid());
    Line line(sim.devicePath());
    QVERIFY(line.send("88 30 01 FF"));
    COMPARE_HEX(line.read(4), "88 30 04 FF");

    // Camera 3 answers with B0 and keeps its own values.
    QVERIFY(line.send("83 01 04 00 03 FF"));
    COMPARE_HEX(line.read(6), "B0 41 FF B0 51 FF");
    QVERIFY(line.send("83 09 04 00 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.read(8), "B0 50 03 FF 90 50 02 FF");
    // Nobody answers camera 4: the next reply read is camera 2's.
    QVERIFY(line.send("84 09 04 00 FF 82 09 04 00 FF"));
    COMPARE_HEX(line.read(4), "A0 50 02 FF");
    // A broadcast command reaches every camera; camera 1 answers.
    QVERIFY(line.send("88 01 04 00 03 FF"));
    COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
    QCOMPARE(sim.value(hexBytes("04 00"), 2), hexBytes("03"));
    // A controller at address 2 gets replies addressed to it.
    QVERIFY(line.send("A1 09 04 00 FF"));
    COMPARE_HEX(line.read(4), "92 50 03 FF");
}

void TestCamSim::record()
{
    CamSim sim;
    Line line(sim.devicePath());
    // A packet split over two writes is one packet; bytes after the last terminator wait.
    QVERIFY(line.send("81 09 04 00 FF 81 09"));
    QVERIFY(line.send("04 47 FF 81"));
    QVERIFY(sim.waitForPackets(2));
    QCOMPARE(sim.received(), (QList<QByteArray> { hexBytes("81 09 04 00 FF"), hexBytes("81 09 04 47 FF") }));
    const std::vector<CamSim::Packet> packets = sim.packets();
    QVERIFY(packets[0].time <= packets[1].time);

    sim.clearReceived();
    QVERIFY(!sim.waitForPackets(1, 50));
    QVERIFY(line.send("09 04 47 FF"));
    QVERIFY(sim.waitForPacket(hexBytes("81 09 04 47 FF")));
    QVERIFY(sim.waitUntilSent());
    QCOMPARE(sim.bytesSent(), int64_t(4 + 7 + 7));
}

void TestCamSim::replyFaults_data()
{
    QTest::addColumn<CamSim::Fault>("fault");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("read"); // what the line carries back, the next packet's own reply included

    // Each fault fires once, on the zoom inquiry or the first packet; the packet after it is answered normally.
    const QByteArray zoomThenPower = hexBytes("81 09 04 47 FF 81 09 04 00 FF");
    QTest::newRow("silence") << Fault::Silence << QByteArray() << 0 << zoomThenPower << hexBytes("90 50 02 FF");
    QTest::newRow("error reply") << Fault::ErrorReply << hexBytes("41") << 0 << zoomThenPower
                                 << hexBytes("90 60 41 FF 90 50 02 FF");
    QTest::newRow("acknowledged, never completed")
        << Fault::AckOnly << QByteArray() << 0 << hexBytes("81 01 04 00 03 FF 81 09 04 00 FF")
        << hexBytes("90 41 FF 90 50 03 FF");
    QTest::newRow("cut") << Fault::Cut << QByteArray() << 5 << zoomThenPower << hexBytes("90 50 00 00 00 90 50 02 FF");
    QTest::newRow("unterminated") << Fault::Unterminated << QByteArray() << 10 << zoomThenPower
                                  << QByteArray(10, '\0') + hexBytes("90 50 02 FF");
    QTest::newRow("raw") << Fault::Raw << hexBytes("90 50 01 FF 90 20 FF") << 0 << zoomThenPower
                         << hexBytes("90 50 01 FF 90 20 FF 90 50 02 FF");
}

void TestCamSim::replyFaults()
{
    QFETCH(CamSim::Fault, fault);
    QFETCH(QByteArray, bytes);
    QFETCH(int, length);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, read);

    CamSim sim;
    Line line(sim.devicePath());
    Rule rule(fault);
    rule.times(1).bytes(bytes);
    if (length > 0)
        rule.length(length);
    if (sent.startsWith(hexBytes("81 09 04 47")))
        rule.matching(hexBytes("09 04 47"));
    sim.addFault(rule);
    QVERIFY(line.send(sent));
    QCOMPARE(quvtest::hexString(line.read(read.size())), quvtest::hexString(read));
    QVERIFY(sim.waitUntilSent());
    QCOMPARE(sim.bytesSent(), int64_t(read.size()));

    // The default flood is longer than any reader's buffer.
    if (fault == Fault::Unterminated) {
        sim.addFault(Rule(Fault::Unterminated).times(1));
        QVERIFY(line.send("81 09 04 00 FF"));
        QCOMPARE(line.read(1500), QByteArray(1500, '\0'));
    }
}

void TestCamSim::timedFaults()
{
    CamSim sim;
    Line line(sim.devicePath());

    sim.addFault(Rule(Fault::Delay).ms(300).times(1));
    Clock::time_point start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(4), "90 50 02 FF");
    QVERIFY(msSince(start) >= 300);

    // Acknowledged at once, completed 400 ms later.
    sim.addFault(Rule(Fault::LateCompletion).ms(400).times(1));
    start = Clock::now();
    QVERIFY(line.send("81 01 04 3F 02 01 FF"));
    COMPARE_HEX(line.read(3), "90 41 FF");
    COMPARE_HEX(line.read(3), "90 51 FF");
    QVERIFY(msSince(start) >= 400);

    // One byte every 100 ms.
    sim.addFault(Rule(Fault::Trickle).ms(100).times(1));
    start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(4), "90 50 02 FF");
    QVERIFY(msSince(start) >= 400);

    // At 9600 baud 200 bytes take at least 200 byte times (208 ms).
    sim.setPacing(true);
    sim.addFault(Rule(Fault::Unterminated).length(200).times(1));
    start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    QCOMPARE(line.read(200).size(), 200);
    QVERIFY(msSince(start) >= 200 * CamSim::BYTE_TIME_9600_NS / 1000000);
    sim.setPacing(false);

    // Acknowledgements until the next packet, whose own reply follows those on the way.
    sim.addFault(Rule(Fault::EndlessAcks).ms(20).times(1));
    QVERIFY(line.send("81 01 04 00 03 FF"));
    COMPARE_HEX(line.read(15), "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 41 FF");
    QVERIFY(line.send("81 09 04 00 FF"));
    for (QByteArray packet = line.read(3); packet != hexBytes("90 50 02"); packet = line.read(3))
        QCOMPARE(quvtest::hexString(packet), QStringLiteral("90 41 FF"));
    COMPARE_HEX(line.read(1), "FF");
}

void TestCamSim::hangUp()
{
    // Scripted: the zoom inquiry unplugs the camera; the line reports the hang-up.
    CamSim sim;
    Line line(sim.devicePath());
    sim.addFault(Rule(Fault::HangUp).matching(hexBytes("09 04 47")));
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(4), "90 50 02 FF");
    QVERIFY(line.send("81 09 04 47 FF"));
    pollfd fd = { line.fd(), POLLIN, 0 };
    QCOMPARE(poll(&fd, 1, 5000), 1);
    QVERIFY(fd.revents & POLLHUP);
    QVERIFY(sim.isHungUp());
    QCOMPARE(sim.received().size(), 2);
    sim.hangUp(); // twice is harmless
}

QUV_TEST_MAIN(TestCamSim)
#include "test_camsim.moc"
