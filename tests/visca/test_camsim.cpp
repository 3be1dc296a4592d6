// The camera simulator itself, spoken to with plain reads and writes on its
// slave side: replies, the camera model, the record and every scripted fault.

#include "camsim.h"
#include "quvtest.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using quvtest::CamSim;
using quvtest::hexBytes;
using Fault = CamSim::Fault;
using Rule = CamSim::Rule;
using Clock = std::chrono::steady_clock;

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

    bool isOpen() const { return m_fd >= 0; }

    bool send(const char* hex)
    {
        const QByteArray bytes = hexBytes(hex);
        return write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

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
            if (n <= 0) {
                m_lastError = n < 0 ? errno : 0;
                break;
            }
            out.append(buffer, int(n));
        }
        return out;
    }

    // Reads one packet, up to and including its terminator.
    QByteArray readPacket(int timeout_ms = 5000)
    {
        QByteArray out;
        while (!out.endsWith(char(0xFF))) {
            const QByteArray byte = read(1, timeout_ms);
            if (byte.isEmpty())
                break;
            out.append(byte);
        }
        return out;
    }

    int lastError() const { return m_lastError; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    int m_lastError = 0;
};

} // namespace

#define COMPARE_HEX(actual, expected) QCOMPARE(quvtest::hexString(actual), quvtest::hexString(hexBytes(expected)))

class TestCamSim : public QObject
{
    Q_OBJECT

private slots:
    void chainAndHeaders();
    void interfacePackets();
    void commandsChangeInquiries_data();
    void commandsChangeInquiries();
    void valuesFromTheTest();
    void record();
    void lineSurvivesReopen();
    void faultSilenceDelayAndCount();
    void faultReplies();
    void faultTiming();
    void faultFlood();
    void faultEndlessAcks();
    void hangUp();
    void pacing();
};

void TestCamSim::chainAndHeaders()
{
    CamSim sim(3);
    QVERIFY(sim.isValid());
    QCOMPARE(sim.cameraCount(), 3);
    Line line(sim.devicePath());
    QVERIFY(line.isOpen());

    QVERIFY(line.send("88 30 01 FF"));
    COMPARE_HEX(line.readPacket(), "88 30 04 FF");

    // Camera 3 answers with B0 and keeps its own values.
    QVERIFY(line.send("83 01 04 00 03 FF"));
    COMPARE_HEX(line.read(6), "B0 41 FF B0 51 FF");
    QVERIFY(line.send("83 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "B0 50 03 FF");
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 02 FF");

    // Nobody answers camera 4: the next reply read is camera 2's.
    QVERIFY(line.send("84 09 04 00 FF"));
    QVERIFY(line.send("82 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "A0 50 02 FF");

    // A broadcast command reaches every camera; camera 1 answers.
    QVERIFY(line.send("88 01 04 00 03 FF"));
    COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
    QCOMPARE(sim.value(hexBytes("04 00"), 2), hexBytes("03"));

    // A controller at address 2 gets replies addressed to it.
    QVERIFY(line.send("A1 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "92 50 03 FF");

    CamSim seven(7);
    Line line7(seven.devicePath());
    QVERIFY(line7.send("88 30 01 FF"));
    COMPARE_HEX(line7.readPacket(), "88 30 08 FF");
    QVERIFY(line7.send("87 09 04 00 FF"));
    COMPARE_HEX(line7.readPacket(), "F0 50 02 FF");
}

void TestCamSim::interfacePackets()
{
    CamSim sim;
    Line line(sim.devicePath());
    QVERIFY(line.send("81 01 00 01 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 FF");
    QVERIFY(line.send("88 01 00 01 FF"));
    COMPARE_HEX(line.readPacket(), "88 01 00 01 FF");
    QVERIFY(line.send("81 09 00 02 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 00 20 04 0B 01 02 03 FF");
    // An inquiry the camera does not know, and a body that is neither command nor inquiry.
    QVERIFY(line.send("81 09 04 7F FF"));
    COMPARE_HEX(line.readPacket(), "90 60 02 FF");
    QVERIFY(line.send("81 05 FF"));
    COMPARE_HEX(line.readPacket(), "90 60 02 FF");
    // A command it does not know is acknowledged and completed.
    QVERIFY(line.send("81 01 04 7F 01 FF"));
    COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
}

void TestCamSim::commandsChangeInquiries_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("inquiry");
    QTest::addColumn<QString>("reply");

    QTest::newRow("zoom") << QStringList { "81 01 04 47 01 02 03 04 FF" } << "81 09 04 47 FF"
                          << "90 50 01 02 03 04 FF";
    QTest::newRow("zoom and focus") << QStringList { "81 01 04 47 01 02 03 04 0A 0B 0C 0D FF" } << "81 09 04 48 FF"
                                    << "90 50 0A 0B 0C 0D FF";
    QTest::newRow("power") << QStringList { "81 01 04 00 03 FF" } << "81 09 04 00 FF"
                           << "90 50 03 FF";
    QTest::newRow("register 72") << QStringList { "81 01 04 24 72 01 0A FF" } << "81 09 04 24 72 FF"
                                 << "90 50 01 0A FF";
    QTest::newRow("register 60 apart") << QStringList { "81 01 04 24 72 01 0A FF" } << "81 09 04 24 60 FF"
                                       << "90 50 00 00 FF";
    QTest::newRow("user register 2") << QStringList { "81 01 04 23 02 00 03 04 01 FF" } << "81 09 04 23 02 FF"
                                     << "90 50 00 03 04 01 FF";
    QTest::newRow("camera id") << QStringList { "81 01 04 22 00 00 00 05 FF" } << "81 09 04 22 FF"
                               << "90 50 00 00 00 05 FF";
    QTest::newRow("ePTZ negative x") << QStringList { "81 01 7E 06 20 00 00 0F 0F 0F 0B 00 02 01 0C FF" }
                                     << "81 09 7E 06 20 FF"
                                     << "90 50 01 00 0F 0F 0F 0B 00 02 01 0C FF";
    QTest::newRow("ePTZ positive x") << QStringList { "81 01 7E 06 20 00 00 00 03 0C 00 00 02 01 0C FF" }
                                     << "81 09 7E 06 20 FF"
                                     << "90 50 00 00 00 03 0C 00 00 02 01 0C FF";
    QTest::newRow("ePTZ on") << QStringList { "81 01 7E 06 00 02 FF" } << "81 09 7E 06 00 FF"
                             << "90 50 02 FF";
    QTest::newRow("colour bar") << QStringList { "81 01 7E 04 7D 02 FF" } << "81 09 7E 04 7D FF"
                                << "90 50 02 FF";
    QTest::newRow("gamma offset") << QStringList { "81 01 04 1E 00 00 00 01 01 04 FF" } << "81 09 04 1E FF"
                                  << "90 50 00 00 00 01 01 04 FF";
    QTest::newRow("gamma pattern") << QStringList { "81 01 05 5B 0A 0B 0C FF" } << "81 09 05 5B FF"
                                   << "90 50 0A 0B 0C FF";
    QTest::newRow("spot focus position") << QStringList { "81 01 05 68 03 0C 00 05 FF" } << "81 09 05 68 FF"
                                         << "90 50 03 0C 00 05 FF";
    QTest::newRow("spot exposure on") << QStringList { "81 01 04 59 02 FF" } << "81 09 04 59 FF"
                                      << "90 50 02 FF";
    QTest::newRow("spot exposure position") << QStringList { "81 01 04 29 03 0C 00 05 FF" } << "81 09 04 29 FF"
                                            << "90 50 03 0C 00 05 FF";
    QTest::newRow("2D 3D noise reduction") << QStringList { "81 01 05 53 02 05 FF" } << "81 09 05 53 FF"
                                           << "90 50 02 05 FF";
    QTest::newRow("red gain up") << QStringList { "81 01 04 43 00 00 08 00 FF", "81 01 04 03 02 FF" }
                                 << "81 09 04 43 FF"
                                 << "90 50 00 00 08 01 FF";
    QTest::newRow("iris down") << QStringList { "81 01 04 4B 00 00 01 00 FF", "81 01 04 0B 03 FF" } << "81 09 04 4B FF"
                               << "90 50 00 00 00 0F FF";
    QTest::newRow("gain reset") << QStringList { "81 01 04 4C 00 00 01 00 FF", "81 01 04 0C 00 FF" } << "81 09 04 4C FF"
                                << "90 50 00 00 00 00 FF";
    QTest::newRow("memory recall") << QStringList { "81 01 04 47 01 00 00 00 FF", "81 01 04 3F 01 03 FF",
        "81 01 04 47 02 00 00 00 FF", "81 01 04 3F 02 03 FF" }
                                   << "81 09 04 47 FF"
                                   << "90 50 01 00 00 00 FF";
    QTest::newRow("memory channel") << QStringList { "81 01 04 3F 02 05 FF" } << "81 09 04 3F FF"
                                    << "90 50 05 FF";
    QTest::newRow("memory reset") << QStringList { "81 01 04 47 01 00 00 00 FF", "81 01 04 3F 01 03 FF",
        "81 01 04 3F 00 03 FF", "81 01 04 47 02 00 00 00 FF", "81 01 04 3F 02 03 FF" }
                                  << "81 09 04 47 FF"
                                  << "90 50 02 00 00 00 FF";
    QTest::newRow("pan-tilt absolute") << QStringList { "81 01 06 02 18 14 0F 0F 0F 0B 00 01 02 03 FF" }
                                       << "81 09 06 12 FF"
                                       << "90 50 01 0F 0F 0F 0B 00 01 02 03 FF";
    QTest::newRow("pan-tilt relative") << QStringList { "81 01 06 02 18 14 00 00 01 00 00 00 01 00 FF",
        "81 01 06 03 18 14 00 00 00 01 0F 0F 0F 0F FF" }
                                       << "81 09 06 12 FF"
                                       << "90 50 00 00 00 01 01 00 00 00 0F FF";
    QTest::newRow("pan-tilt home") << QStringList { "81 01 06 02 18 14 00 00 01 00 00 00 01 00 FF", "81 01 06 04 FF" }
                                   << "81 09 06 12 FF"
                                   << "90 50 00 00 00 00 00 00 00 00 00 FF";
    QTest::newRow("motion detection level") << QStringList { "81 01 07 0B 00 05 FF" } << "81 09 07 0B FF"
                                            << "90 50 00 05 FF";
    QTest::newRow("temperature") << QStringList {} << "81 09 04 68 FF"
                                 << "90 50 00 00 02 09 FF";
}

void TestCamSim::commandsChangeInquiries()
{
    QFETCH(QStringList, commands);
    QFETCH(QString, inquiry);
    QFETCH(QString, reply);

    CamSim sim;
    Line line(sim.devicePath());
    for (const QString& command : commands) {
        QVERIFY(line.send(command.toLatin1().constData()));
        COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
    }
    QVERIFY(line.send(inquiry.toLatin1().constData()));
    COMPARE_HEX(line.readPacket(), reply.toLatin1().constData());
}

void TestCamSim::valuesFromTheTest()
{
    CamSim sim(2);
    Line line(sim.devicePath());
    sim.setWord(hexBytes("04 47"), 0xABCD);
    QCOMPARE(sim.value(hexBytes("04 47")), hexBytes("0A 0B 0C 0D"));
    QCOMPARE(sim.word(hexBytes("04 47"), 2), uint16_t(0));
    sim.setValue(hexBytes("04 68"), hexBytes("00 00 03 02"), 2);
    QVERIFY(line.send("81 09 04 47 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 0A 0B 0C 0D FF");
    QVERIFY(line.send("82 09 04 68 FF"));
    COMPARE_HEX(line.readPacket(), "A0 50 00 00 03 02 FF");

    QVERIFY(line.send("81 01 04 4A 00 01 01 05 FF"));
    COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
    QCOMPARE(sim.word(hexBytes("04 4A")), uint16_t(0x115));
    // Out-of-range cameras read empty and ignore writes.
    sim.setValue(hexBytes("04 00"), hexBytes("03"), 3);
    QVERIFY(sim.value(hexBytes("04 00"), 3).isEmpty());
}

void TestCamSim::record()
{
    CamSim sim;
    Line line(sim.devicePath());
    QVERIFY(sim.packets().empty());
    QVERIFY(line.send("81 09 04 00 FF 81 09 04 47 FF"));
    QVERIFY(sim.waitForPackets(2));
    QVERIFY(sim.waitForPacket(hexBytes("81 09 04 47")));
    QCOMPARE(sim.received(), (QList<QByteArray> { hexBytes("81 09 04 00 FF"), hexBytes("81 09 04 47 FF") }));
    const std::vector<CamSim::Packet> packets = sim.packets();
    QCOMPARE(packets.size(), size_t(2));
    QVERIFY(packets[0].time <= packets[1].time);
    QVERIFY(packets[1].time <= Clock::now());

    // A packet split over two writes is one packet; bytes after the last terminator wait.
    QVERIFY(line.send("81 09"));
    QVERIFY(line.send("04 00 FF 81"));
    QVERIFY(sim.waitForPackets(3));
    QCOMPARE(sim.received().at(2), hexBytes("81 09 04 00 FF"));

    sim.clearReceived();
    QVERIFY(sim.received().isEmpty());
    QVERIFY(!sim.waitForPackets(1, 50));
    QVERIFY(!sim.waitForPacket(hexBytes("81 09 04 47"), 50));
    QVERIFY(line.send("09 04 47 FF"));
    QVERIFY(sim.waitForPacket(hexBytes("81 09 04 47 FF")));
    QVERIFY(sim.waitUntilSent());
    QCOMPARE(sim.bytesSent(), int64_t(4 + 7 + 4 + 7));
}

void TestCamSim::lineSurvivesReopen()
{
    CamSim sim;
    for (int round = 0; round < 3; ++round) {
        Line line(sim.devicePath());
        QVERIFY(line.isOpen());
        QVERIFY(line.send("81 09 04 00 FF"));
        COMPARE_HEX(line.readPacket(), "90 50 02 FF");
    }
    QVERIFY(!sim.isHungUp());
}

void TestCamSim::faultSilenceDelayAndCount()
{
    CamSim sim;
    Line line(sim.devicePath());
    // The next two zoom inquiries go unanswered; other packets and later ones are answered.
    sim.addFault(Rule(Fault::Silence).matching(hexBytes("09 04 47")).times(2));
    QVERIFY(line.send("81 09 04 47 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 02 FF");
    QVERIFY(line.send("81 09 04 47 FF 81 09 04 47 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 00 00 00 00 FF");
    QVERIFY(sim.waitUntilSent());
    QCOMPARE(sim.bytesSent(), int64_t(4 + 7));

    // A silent command changes nothing.
    sim.addFault(Rule(Fault::Silence).times(1));
    QVERIFY(line.send("81 01 04 00 03 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 02 FF");

    sim.addFault(Rule(Fault::Delay).ms(300).times(1));
    const Clock::time_point start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 02 FF");
    QVERIFY(msSince(start) >= 300);

    // Every packet, until cleared.
    sim.addFault(Rule(Fault::ErrorReply));
    QVERIFY(line.send("81 09 04 00 FF 81 01 04 00 02 FF"));
    COMPARE_HEX(line.read(8), "90 60 02 FF 90 60 02 FF");
    sim.clearFaults();
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 02 FF");
}

void TestCamSim::faultReplies()
{
    CamSim sim(2);
    Line line(sim.devicePath());

    sim.addFault(Rule(Fault::ErrorReply).bytes(hexBytes("41")).times(1));
    QVERIFY(line.send("82 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "A0 60 41 FF");

    // The command is taken: the camera acknowledges and never completes.
    sim.addFault(Rule(Fault::AckOnly).times(1));
    QVERIFY(line.send("81 01 04 00 03 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.read(7), "90 41 FF 90 50 03 FF");

    sim.addFault(Rule(Fault::Cut).times(1));
    sim.addFault(Rule(Fault::Cut).length(5).times(1));
    QVERIFY(line.send("81 09 04 47 FF 81 09 04 47 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.read(2 + 5 + 4), "90 50 90 50 00 00 00 90 50 03 FF");

    sim.addFault(Rule(Fault::Raw).bytes(hexBytes("90 50 01 FF 90 20 FF")).times(1));
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(7), "90 50 01 FF 90 20 FF");

    sim.sendRaw(hexBytes("AA BB CC DD EE"));
    COMPARE_HEX(line.read(5), "AA BB CC DD EE");
}

void TestCamSim::faultTiming()
{
    CamSim sim;
    Line line(sim.devicePath());

    // Acknowledged at once; the completion 400 ms later.
    sim.addFault(Rule(Fault::LateCompletion).ms(400).times(1));
    Clock::time_point start = Clock::now();
    QVERIFY(line.send("81 01 04 3F 02 01 FF"));
    COMPARE_HEX(line.readPacket(), "90 41 FF");
    COMPARE_HEX(line.readPacket(), "90 51 FF");
    QVERIFY(msSince(start) >= 400);

    // An inquiry answered late gets an acknowledgement first.
    sim.addFault(Rule(Fault::LateCompletion).ms(100).times(1));
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(7), "90 41 FF 90 50 02 FF");

    // One byte every 100 ms.
    sim.addFault(Rule(Fault::Trickle).ms(100).times(1));
    start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.read(1), "90");
    QVERIFY(msSince(start) >= 100);
    COMPARE_HEX(line.read(3), "50 02 FF");
    QVERIFY(msSince(start) >= 400);
}

void TestCamSim::faultFlood()
{
    CamSim sim;
    Line line(sim.devicePath());
    sim.addFault(Rule(Fault::Unterminated).times(1));
    QVERIFY(line.send("81 09 04 00 FF"));
    const QByteArray flood = line.read(1500);
    QCOMPARE(flood, QByteArray(1500, '\0'));
    QVERIFY(sim.waitUntilSent());
    QCOMPARE(sim.bytesSent(), int64_t(1500));

    sim.addFault(Rule(Fault::Unterminated).length(10).times(1));
    QVERIFY(line.send("81 09 04 00 FF 81 09 04 00 FF"));
    COMPARE_HEX(line.read(14), "00 00 00 00 00 00 00 00 00 00 90 50 02 FF");
}

void TestCamSim::faultEndlessAcks()
{
    CamSim sim;
    Line line(sim.devicePath());
    sim.addFault(Rule(Fault::EndlessAcks).ms(20).times(1));
    QVERIFY(line.send("81 01 04 00 03 FF"));
    COMPARE_HEX(line.read(15), "90 41 FF 90 41 FF 90 41 FF 90 41 FF 90 41 FF");
    // The next packet ends the stream; its own reply follows whatever acknowledgements were on the way.
    QVERIFY(line.send("81 09 04 00 FF"));
    QByteArray tail;
    while (!tail.endsWith(hexBytes("90 50 02 FF"))) {
        const QByteArray packet = line.readPacket();
        QVERIFY2(packet == hexBytes("90 41 FF") || packet == hexBytes("90 50 02 FF"),
            qPrintable(quvtest::hexString(packet)));
        tail.append(packet);
    }
    QVERIFY(sim.waitUntilSent());

    // The destructor stops a stream that is still running.
    auto other = std::make_unique<CamSim>();
    Line otherLine(other->devicePath());
    other->addFault(Rule(Fault::EndlessAcks).ms(1));
    QVERIFY(otherLine.send("81 01 04 00 03 FF"));
    QCOMPARE(otherLine.read(30).size(), 30);
    other.reset();
}

void TestCamSim::hangUp()
{
    {
        CamSim sim;
        Line line(sim.devicePath());
        QVERIFY(line.send("81 09 04 00 FF"));
        COMPARE_HEX(line.readPacket(), "90 50 02 FF");
        sim.hangUp();
        QVERIFY(sim.isHungUp());
        pollfd fd = { line.fd(), POLLIN, 0 };
        QCOMPARE(poll(&fd, 1, 5000), 1);
        QVERIFY(fd.revents & POLLHUP);
        char byte;
        QVERIFY(read(line.fd(), &byte, 1) <= 0);
        sim.hangUp(); // twice is harmless
    }
    {
        // Scripted: the zoom inquiry unplugs the camera.
        CamSim sim;
        Line line(sim.devicePath());
        sim.addFault(Rule(Fault::HangUp).matching(hexBytes("09 04 47")));
        QVERIFY(line.send("81 09 04 00 FF"));
        COMPARE_HEX(line.readPacket(), "90 50 02 FF");
        QVERIFY(line.send("81 09 04 47 FF"));
        const Clock::time_point start = Clock::now();
        QVERIFY(line.read(1, 5000).isEmpty());
        QVERIFY(msSince(start) < 4000);
        QVERIFY(sim.isHungUp());
        QCOMPARE(sim.received().size(), 2);
    }
}

void TestCamSim::pacing()
{
    CamSim sim;
    Line line(sim.devicePath());
    sim.setPacing(true);
    // 6 bytes in, 6 out: at least 12 byte times.
    Clock::time_point start = Clock::now();
    QVERIFY(line.send("81 01 04 00 03 FF"));
    COMPARE_HEX(line.read(6), "90 41 FF 90 51 FF");
    const int64_t exchange_us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    QVERIFY2(exchange_us >= 12 * CamSim::BYTE_TIME_9600_NS / 1000, qPrintable(QString::number(exchange_us)));

    // 200 bytes take at least 200 byte times (208 ms) and arrive one at a time.
    sim.addFault(Rule(Fault::Unterminated).length(200).times(1));
    start = Clock::now();
    QVERIFY(line.send("81 09 04 00 FF"));
    QCOMPARE(line.read(200).size(), 200);
    QVERIFY(msSince(start) >= 200 * CamSim::BYTE_TIME_9600_NS / 1000000);

    sim.setPacing(false);
    QVERIFY(line.send("81 09 04 00 FF"));
    COMPARE_HEX(line.readPacket(), "90 50 03 FF");
}

QUV_TEST_MAIN(TestCamSim)
#include "test_camsim.moc"
