#pragma once

// A chain of 1 to 7 VISCA cameras on one pseudo-terminal, for tests and
// benchmarks of everything that talks to cameras.
//
// The code under test opens devicePath() as it would open a serial port; the
// simulator answers on the master side from its own thread. It keeps one slave
// descriptor of its own, so the line survives the code under test closing and
// reopening it; hangUp() (or the HangUp fault) closes everything, as pulling
// the cable does.
//
//     quvtest::CamSim sim;                          // one camera
//     ViscaPort port{};
//     VISCA_open_serial(&port, sim.devicePath().toLocal8Bit().constData());
//     sim.setWord(quvtest::hexBytes("04 47"), 0x1234);  // zoom, as 09 04 47 reads it
//     sim.addFault(quvtest::CamSim::Rule(quvtest::CamSim::Fault::Silence).times(1));
//     ...
//     QVERIFY(sim.waitForPacket(quvtest::hexBytes("81 09 04 47 FF")));
//
// The camera model. Every camera keeps a table of values keyed by the body of
// the inquiry that reads them (the bytes after 09: "04 47" zoom, "04 24 72"
// register 0x72, "04 23 01" user register 1, "7E 06 20" ePTZ position, "00 02"
// the version). The stored value is exactly what the reply carries between
// 9y 50 and FF. A command 01 <key> <arguments> stores its arguments under the
// key (keys are two bytes, three for category 7E and for the register
// families 04 24 and 04 23), so a command changes what the matching inquiry
// returns. Commands the model knows better: zoom and focus together (04 47
// with eight nibbles), the up/down/reset steppers of the word values
// (04 02..0E), the focus auto/manual toggle (04 38 10 flips 02 and 03),
// memories (04 3F: set, recall, reset a snapshot of all values),
// the ePTZ position (its reply carries a sign byte first), pan-tilt absolute,
// relative, home and reset (06 12 holds sign byte, pan and tilt nibbles).
//
// Replies: a command gets 9y 41 FF then 9y 51 FF, an inquiry 9y 50 <value> FF,
// an inquiry without a value 9y 60 02 FF; y is the camera address, so the
// header is 0x80 | (camera << 4) | controller. Address set (88 30 0k FF)
// answers 88 30 0n FF with n = k + cameras; interface clear answers 9y 50 FF
// (broadcast: echoed); other broadcast commands reach every camera and camera
// 1 answers. A packet to an address beyond the chain gets no answer.
//
// Timing: replies go at once unless setPacing(true), which runs the line at
// 9600 baud (10 bits a byte, about 1.0417 ms) in both directions against
// absolute deadlines, so an exchange of n bytes in and m bytes out takes
// (n + m) x 1.0417 ms.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QMap>
#include <QString>

namespace quvtest {

// "81 01 04 47 FF" as bytes; any character that is not a hex digit separates.
QByteArray hexBytes(const char* hex);
// The bytes as "81 01 04 47 FF", for failure messages.
QString hexString(const QByteArray& bytes);
// The packets of a record that start with prefix.
QList<QByteArray> packetsStartingWith(const QList<QByteArray>& packets, const QByteArray& prefix);

class CamSim
{
public:
    using Clock = std::chrono::steady_clock;

    // What a scripted fault does to the reply of a packet it matches.
    enum class Fault
    {
        Silence, // no reply
        Delay, // the normal reply, ms later
        ErrorReply, // 9y 60 <code> FF, code from bytes() (02 if none)
        AckOnly, // 9y 41 FF and nothing more
        LateCompletion, // 9y 41 FF at once, the rest of the normal reply ms later
        Cut, // the first length() bytes of the normal reply (default 2), then silence
        Trickle, // the normal reply one byte every ms
        Unterminated, // length() bytes of 00 and no terminator
        EndlessAcks, // 9y 41 FF every ms (default 50) until the next packet or clearFaults()
        Raw, // bytes() instead of the normal reply
        HangUp, // close the line as soon as the packet is in
    };

    // One scripted fault: which packets it matches and how often it fires.
    class Rule
    {
    public:
        explicit Rule(Fault fault)
            : m_fault(fault)
        { }
        // Only packets whose body (the bytes after the header) starts with prefix.
        Rule& matching(const QByteArray& prefix)
        {
            m_match = prefix;
            return *this;
        }
        // The next n matching packets only; by default every matching packet.
        Rule& times(int n)
        {
            m_count = n;
            return *this;
        }
        Rule& ms(int milliseconds)
        {
            m_ms = milliseconds;
            return *this;
        }
        Rule& length(int bytes)
        {
            m_length = bytes;
            return *this;
        }
        Rule& bytes(const QByteArray& bytes)
        {
            m_bytes = bytes;
            return *this;
        }

    private:
        friend class CamSim;
        Fault m_fault;
        QByteArray m_match;
        int m_count = -1;
        int m_ms = 0;
        int m_length = 0;
        QByteArray m_bytes;
    };

    // One packet as received, terminator included, with the time its last byte was read.
    struct Packet
    {
        QByteArray bytes;
        Clock::time_point time;
    };

    // 10 bits a byte at 9600 baud, in nanoseconds.
    static constexpr int64_t BYTE_TIME_9600_NS = 1041667;

    explicit CamSim(int cameras = 1);
    // Serves fd, a connected stream socket (the host end of an emulated serial
    // adapter), in place of a pseudo-terminal, and takes it over. devicePath()
    // is empty; the peer closing the socket or hangUp() ends the line.
    CamSim(int cameras, int fd);
    ~CamSim();

    CamSim(const CamSim&) = delete;
    CamSim& operator=(const CamSim&) = delete;

    // False when the pseudo-terminal could not be made; nothing else works then.
    bool isValid() const;
    // The slave path to open like a serial port ("/dev/pts/N").
    QString devicePath() const;
    int cameraCount() const;

    // The value the inquiry with body 09 <key> reads from camera (1..N).
    QByteArray value(const QByteArray& key, int camera = 1) const;
    void setValue(const QByteArray& key, const QByteArray& value, int camera = 1);
    // A value held as four nibble bytes (zoom, focus, gains, camera ID, user registers).
    uint16_t word(const QByteArray& key, int camera = 1) const;
    void setWord(const QByteArray& key, uint16_t value, int camera = 1);

    // Faults are tried in the order added; the first matching rule that has
    // firings left decides the reply.
    void addFault(const Rule& rule);
    void clearFaults();
    void setPacing(bool on);

    // Writes bytes on the line at once (unsolicited packets, garbage).
    void sendRaw(const QByteArray& bytes);
    // Closes the master and the simulator's own slave descriptor: the line is gone.
    void hangUp();
    bool isHungUp() const;

    // A copy of the record of received packets.
    std::vector<Packet> packets() const;
    // Only their bytes.
    QList<QByteArray> received() const;
    void clearReceived();
    // Waits up to timeout_ms for at least count packets in the record.
    bool waitForPackets(int count, int timeout_ms = 5000) const;
    // Waits up to timeout_ms for a recorded packet that starts with bytes.
    bool waitForPacket(const QByteArray& bytes, int timeout_ms = 5000) const;
    // Waits up to timeout_ms until every reply scheduled so far is written
    // (endless acknowledgements excepted).
    bool waitUntilSent(int timeout_ms = 5000) const;
    // Bytes written to the line since construction.
    int64_t bytesSent() const;

private:
    struct Chunk
    {
        QByteArray bytes;
        int64_t gap_ns = 0; // between bytes; 0 writes the chunk at once (or paced)
        int64_t repeat_ns = 0; // endless acknowledgements: written again after this
    };
    using Values = QMap<QByteArray, QByteArray>;

    void start();
    void run();
    void wake();
    void closeLine();
    void receive(const char* data, int length, Clock::time_point now);
    void handlePacket(const QByteArray& packet, Clock::time_point wireEnd);
    // Drops the repeating acknowledgements; the caller holds m_mutex.
    void stopEndlessAcks();
    QByteArray normalReply(const QByteArray& packet);
    QByteArray execute(int camera, uint8_t header, const QByteArray& body);
    void applyCommand(Values& values, int camera, const QByteArray& body);
    void schedule(Clock::time_point due, const QByteArray& bytes, int64_t gap_ns = 0, int64_t repeat_ns = 0);
    bool busyLocked() const;
    void writeDue(Clock::time_point now);
    Clock::time_point nextDeadline() const;
    static Values defaultValues();

    const int m_cameras;
    int m_master = -1;
    int m_slave = -1;
    bool m_lineMade = false;
    int m_wake[2] = { -1, -1 };
    QString m_path;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_stop = false;
    bool m_hangUpRequested = false;
    bool m_hungUp = false;
    int64_t m_byteTime_ns = 0;
    std::vector<Values> m_values; // one table per camera
    std::vector<std::map<int, Values>> m_memory; // per camera: channel -> snapshot
    std::vector<Rule> m_rules;
    std::vector<Packet> m_packets;
    std::multimap<Clock::time_point, Chunk> m_schedule;
    int64_t m_sent = 0;

    // Owned by the thread.
    QByteArray m_input;
    Clock::time_point m_rxWireFree;
    Clock::time_point m_txWireFree;
    Chunk m_current; // the chunk being written, from m_currentPos on
    Clock::time_point m_currentDue;
    int m_currentPos = 0;
    Clock::time_point m_nextByteAt;
    bool m_writing = false;
    bool m_blocked = false; // the line is full: wait until the master is writable

    std::thread m_thread;
};

} // namespace quvtest
