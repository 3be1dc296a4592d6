#include "camsim.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <initializer_list>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace quvtest {

namespace {

constexpr char TERMINATOR = char(0xFF);
// Garbage without a terminator is dropped past this size, so a flood cannot grow the buffer.
constexpr int INPUT_LIMIT = 64 * 1024;
constexpr int ENDLESS_ACK_DEFAULT_MS = 50;
constexpr int CUT_DEFAULT_LENGTH = 2;
constexpr int UNTERMINATED_DEFAULT_LENGTH = 1500;

QByteArray bytesOf(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

uint8_t at(const QByteArray& bytes, int i)
{
    return uint8_t(bytes.at(i));
}

// Four nibble bytes, most significant first.
QByteArray nibbles(uint16_t value)
{
    return bytesOf({ (value >> 12) & 0xF, (value >> 8) & 0xF, (value >> 4) & 0xF, value & 0xF });
}

uint16_t fromNibbles(const QByteArray& bytes, int first = 0)
{
    if (bytes.size() < first + 4)
        return 0;
    uint16_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = uint16_t((value << 4) | (at(bytes, first + i) & 0x0F));
    return value;
}

// Keys the memories leave alone: identity, registers, power and the memory channel itself.
bool keptByMemory(const QByteArray& key)
{
    static const QList<QByteArray> fixed = { bytesOf({ 0x00, 0x02 }), bytesOf({ 0x04, 0x00 }), bytesOf({ 0x04, 0x22 }),
        bytesOf({ 0x04, 0x3F }), bytesOf({ 0x04, 0x68 }) };
    if (fixed.contains(key))
        return true;
    return key.size() == 3 && at(key, 0) == 0x04 && (at(key, 1) == 0x23 || at(key, 1) == 0x24);
}

int64_t nanoseconds(CamSim::Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
}

} // namespace

QByteArray hexBytes(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

QString hexString(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QList<QByteArray> packetsStartingWith(const QList<QByteArray>& packets, const QByteArray& prefix)
{
    QList<QByteArray> matching;
    for (const QByteArray& packet : packets) {
        if (packet.startsWith(prefix))
            matching.append(packet);
    }
    return matching;
}

CamSim::CamSim(int cameras)
    : m_cameras(std::clamp(cameras, 1, 7))
{
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0) {
        // Raw like a serial line, so nothing echoes or edits the bytes before the code under test opens it.
        termios settings;
        if (tcgetattr(m_slave, &settings) == 0) {
            cfmakeraw(&settings);
            cfsetispeed(&settings, B9600);
            cfsetospeed(&settings, B9600);
            tcsetattr(m_slave, TCSANOW, &settings);
        }
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        fcntl(m_master, F_SETFD, FD_CLOEXEC);
        fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        char name[PATH_MAX];
        if (ttyname_r(m_slave, name, sizeof name) == 0)
            m_path = QString::fromLocal8Bit(name);
    } else {
        m_master = m_slave = -1;
    }
    m_lineMade = !m_path.isEmpty();
    start();
}

CamSim::CamSim(int cameras, int fd)
    : m_cameras(std::clamp(cameras, 1, 7))
    , m_master(fd)
{
    m_lineMade = m_master >= 0 && fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) == 0
        && fcntl(m_master, F_SETFD, FD_CLOEXEC) == 0;
    start();
}

void CamSim::start()
{
    m_values.assign(size_t(m_cameras), defaultValues());
    m_memory.resize(size_t(m_cameras));
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;

    m_thread = std::thread([this] { run(); });
    pthread_setname_np(m_thread.native_handle(), "camsim");
}

CamSim::~CamSim()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    wake();
    m_thread.join();
    closeLine();
    for (int fd : m_wake) {
        if (fd >= 0)
            close(fd);
    }
}

bool CamSim::isValid() const
{
    return m_lineMade && m_wake[0] >= 0;
}

QString CamSim::devicePath() const
{
    return m_path;
}

int CamSim::cameraCount() const
{
    return m_cameras;
}

QByteArray CamSim::value(const QByteArray& key, int camera) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (camera < 1 || camera > m_cameras)
        return {};
    return m_values[size_t(camera - 1)].value(key);
}

void CamSim::setValue(const QByteArray& key, const QByteArray& value, int camera)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (camera >= 1 && camera <= m_cameras)
        m_values[size_t(camera - 1)][key] = value;
}

uint16_t CamSim::word(const QByteArray& key, int camera) const
{
    return fromNibbles(value(key, camera));
}

void CamSim::setWord(const QByteArray& key, uint16_t value, int camera)
{
    setValue(key, nibbles(value), camera);
}

void CamSim::addFault(const Rule& rule)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.push_back(rule);
}

void CamSim::clearFaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.clear();
    stopEndlessAcks();
}

void CamSim::stopEndlessAcks()
{
    for (auto it = m_schedule.begin(); it != m_schedule.end();) {
        if (it->second.repeat_ns > 0)
            it = m_schedule.erase(it);
        else
            ++it;
    }
    m_current.repeat_ns = 0;
}

void CamSim::setPacing(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_byteTime_ns = on ? BYTE_TIME_9600_NS : 0;
}

void CamSim::sendRaw(const QByteArray& bytes)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        schedule(Clock::now(), bytes);
    }
    wake();
}

void CamSim::hangUp()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_hangUpRequested = true;
    lock.unlock();
    wake();
    lock.lock();
    // The thread closes the descriptors it polls; wait until it has.
    m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_hungUp; });
}

bool CamSim::isHungUp() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hungUp;
}

std::vector<CamSim::Packet> CamSim::packets() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_packets;
}

QList<QByteArray> CamSim::received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QByteArray> out;
    for (const Packet& packet : m_packets)
        out.append(packet.bytes);
    return out;
}

void CamSim::clearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_packets.clear();
}

bool CamSim::waitForPackets(int count, int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(
        lock, std::chrono::milliseconds(timeout_ms), [&] { return int(m_packets.size()) >= count; });
}

bool CamSim::waitForPacket(const QByteArray& bytes, int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
        return std::any_of(
            m_packets.begin(), m_packets.end(), [&](const Packet& packet) { return packet.bytes.startsWith(bytes); });
    });
}

bool CamSim::waitUntilSent(int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !busyLocked(); });
}

int64_t CamSim::bytesSent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sent;
}

bool CamSim::busyLocked() const
{
    if (m_writing && m_current.repeat_ns == 0)
        return true;
    return std::any_of(
        m_schedule.begin(), m_schedule.end(), [](const auto& entry) { return entry.second.repeat_ns == 0; });
}

void CamSim::wake()
{
    if (m_wake[1] >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up; nothing is lost.
        [[maybe_unused]] ssize_t n = write(m_wake[1], &byte, 1);
    }
}

// Called with the mutex held, or from the destructor after the thread ended.
void CamSim::closeLine()
{
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    m_master = m_slave = -1;
    m_hungUp = true;
    m_schedule.clear();
    m_writing = false;
    m_blocked = false;
    m_changed.notify_all();
}

void CamSim::schedule(Clock::time_point due, const QByteArray& bytes, int64_t gap_ns, int64_t repeat_ns)
{
    if (bytes.isEmpty())
        return;
    Chunk chunk;
    chunk.bytes = bytes;
    chunk.gap_ns = gap_ns;
    chunk.repeat_ns = repeat_ns;
    m_schedule.emplace(due, chunk);
}

CamSim::Clock::time_point CamSim::nextDeadline() const
{
    if (m_writing)
        return m_nextByteAt;
    if (!m_schedule.empty())
        return m_schedule.begin()->first;
    return Clock::time_point::max();
}

void CamSim::run()
{
    // Paced bytes go out at their deadlines: woken as late as the default
    // timer slack allows (50 us), each would reach the modelled wire late.
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (m_hangUpRequested && !m_hungUp)
            closeLine();
        if (!m_blocked)
            writeDue(Clock::now());
        const Clock::time_point deadline = m_blocked ? Clock::time_point::max() : nextDeadline();
        pollfd fds[2] = { { m_wake[0], POLLIN, 0 }, { m_master, short(POLLIN | (m_blocked ? POLLOUT : 0)), 0 } };
        const nfds_t count = m_master >= 0 ? 2 : 1;
        lock.unlock();

        timespec timeout {};
        timespec* timeoutPointer = nullptr;
        if (deadline != Clock::time_point::max()) {
            const int64_t left_ns = std::max<int64_t>(0, nanoseconds(deadline - Clock::now()));
            timeout.tv_sec = time_t(left_ns / 1000000000);
            timeout.tv_nsec = long(left_ns % 1000000000);
            timeoutPointer = &timeout;
        }
        const int ready = ppoll(fds, count, timeoutPointer, nullptr);

        lock.lock();
        if (ready <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_wake[0], drain, sizeof drain) > 0) { }
        }
        // The descriptor is still the one polled: only this thread closes it.
        if (count == 2 && m_master >= 0) {
            if (fds[1].revents & POLLOUT)
                m_blocked = false;
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[4096];
                const ssize_t n = read(m_master, buffer, sizeof buffer);
                if (n > 0)
                    receive(buffer, int(n), Clock::now());
                else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                    closeLine(); // a socket's peer hung up (a pseudo-terminal's never does: we hold its slave)
            }
        }
    }
}

void CamSim::writeDue(Clock::time_point now)
{
    while (m_master >= 0) {
        if (!m_writing) {
            if (m_schedule.empty() || m_schedule.begin()->first > now)
                return;
            auto first = m_schedule.begin();
            m_currentDue = first->first;
            m_current = first->second;
            m_schedule.erase(first);
            m_currentPos = 0;
            m_writing = true;
            const int64_t gap = m_current.gap_ns > 0 ? m_current.gap_ns : m_byteTime_ns;
            if (m_current.gap_ns > 0)
                m_nextByteAt = m_currentDue + std::chrono::nanoseconds(gap);
            else if (gap > 0)
                m_nextByteAt = std::max(m_currentDue, m_txWireFree) + std::chrono::nanoseconds(gap);
            else
                m_nextByteAt = m_currentDue;
        }
        const int64_t gap = m_current.gap_ns > 0 ? m_current.gap_ns : m_byteTime_ns;
        while (m_currentPos < m_current.bytes.size() && m_nextByteAt <= now) {
            // Unpaced chunks go in one write; paced ones a byte at its own deadline.
            const int length = gap > 0 ? 1 : m_current.bytes.size() - m_currentPos;
            const ssize_t n = write(m_master, m_current.bytes.constData() + m_currentPos, size_t(length));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN) {
                    m_blocked = true;
                    return;
                }
                m_currentPos = m_current.bytes.size(); // the line failed: drop the rest
                break;
            }
            m_currentPos += int(n);
            m_sent += n;
            if (gap > 0) {
                m_txWireFree = m_nextByteAt;
                m_nextByteAt += std::chrono::nanoseconds(gap);
            }
        }
        if (m_currentPos < m_current.bytes.size())
            return;
        m_writing = false;
        if (m_current.repeat_ns > 0)
            schedule(
                m_currentDue + std::chrono::nanoseconds(m_current.repeat_ns), m_current.bytes, 0, m_current.repeat_ns);
        m_changed.notify_all();
    }
}

void CamSim::receive(const char* data, int length, Clock::time_point now)
{
    // At 9600 baud the bytes are still on the wire: byte i ends (i + 1) byte times after the line is free.
    const Clock::time_point start = std::max(now, m_rxWireFree);
    const auto byteTime = std::chrono::nanoseconds(m_byteTime_ns);
    m_rxWireFree = start + byteTime * length;
    for (int i = 0; i < length; ++i) {
        m_input.append(data[i]);
        if (data[i] == TERMINATOR) {
            const QByteArray packet = m_input;
            m_input.clear();
            m_packets.push_back({ packet, now });
            m_changed.notify_all();
            handlePacket(packet, start + byteTime * (i + 1));
        } else if (m_input.size() > INPUT_LIMIT) {
            m_input.clear();
        }
    }
}

void CamSim::handlePacket(const QByteArray& packet, Clock::time_point wireEnd)
{
    // A new packet ends any stream of endless acknowledgements.
    stopEndlessAcks();
    if (m_hungUp || packet.size() < 2 || !(at(packet, 0) & 0x80))
        return;

    const QByteArray body = packet.mid(1, packet.size() - 2);
    const Rule* rule = nullptr;
    for (Rule& candidate : m_rules) {
        if (candidate.m_count != 0 && body.startsWith(candidate.m_match)) {
            if (candidate.m_count > 0)
                --candidate.m_count;
            rule = &candidate;
            break;
        }
    }
    if (!rule) {
        schedule(wireEnd, normalReply(packet));
        return;
    }

    const int destination = at(packet, 0) & 0x0F;
    const int camera = destination >= 1 && destination <= 7 ? destination : 1;
    const char header = char(0x80 | (camera << 4) | ((at(packet, 0) >> 4) & 0x07));
    const QByteArray ack = QByteArray(1, header) + bytesOf({ 0x41, 0xFF });
    const auto ms = std::chrono::milliseconds(rule->m_ms);
    switch (rule->m_fault) {
    case Fault::Silence:
        break;
    case Fault::Delay:
        schedule(wireEnd + ms, normalReply(packet));
        break;
    case Fault::ErrorReply:
        schedule(wireEnd,
            QByteArray(1, header) + char(0x60) + (rule->m_bytes.isEmpty() ? char(0x02) : rule->m_bytes.at(0))
                + TERMINATOR);
        break;
    case Fault::AckOnly:
        normalReply(packet);
        schedule(wireEnd, ack);
        break;
    case Fault::LateCompletion: {
        const QByteArray normal = normalReply(packet);
        schedule(wireEnd, ack);
        schedule(wireEnd + ms, normal.startsWith(ack) ? normal.mid(ack.size()) : normal);
        break;
    }
    case Fault::Cut:
        schedule(wireEnd, normalReply(packet).left(rule->m_length > 0 ? rule->m_length : CUT_DEFAULT_LENGTH));
        break;
    case Fault::Trickle:
        schedule(wireEnd, normalReply(packet), std::max<int64_t>(1, rule->m_ms) * 1000000);
        break;
    case Fault::Unterminated:
        schedule(wireEnd, QByteArray(rule->m_length > 0 ? rule->m_length : UNTERMINATED_DEFAULT_LENGTH, '\0'));
        break;
    case Fault::EndlessAcks:
        schedule(wireEnd, ack, 0, int64_t(rule->m_ms > 0 ? rule->m_ms : ENDLESS_ACK_DEFAULT_MS) * 1000000);
        break;
    case Fault::Raw:
        schedule(wireEnd, rule->m_bytes);
        break;
    case Fault::HangUp:
        closeLine();
        break;
    }
}

QByteArray CamSim::normalReply(const QByteArray& packet)
{
    const uint8_t first = at(packet, 0);
    const int destination = first & 0x0F;
    const int controller = (first >> 4) & 0x07;
    const QByteArray body = packet.mid(1, packet.size() - 2);
    if (destination == 8) {
        if (body.size() == 2 && at(body, 0) == 0x30)
            return bytesOf({ 0x88, 0x30, (at(body, 1) + m_cameras) & 0xFF, 0xFF });
        if (body == bytesOf({ 0x01, 0x00, 0x01 }))
            return packet;
        QByteArray reply;
        for (int camera = 1; camera <= m_cameras; ++camera) {
            const QByteArray one = execute(camera, uint8_t(0x80 | (camera << 4) | controller), body);
            if (camera == 1)
                reply = one;
        }
        return reply;
    }
    if (destination < 1 || destination > m_cameras)
        return {};
    return execute(destination, uint8_t(0x80 | (destination << 4) | controller), body);
}

QByteArray CamSim::execute(int camera, uint8_t header, const QByteArray& body)
{
    const QByteArray h(1, char(header));
    if (body == bytesOf({ 0x01, 0x00, 0x01 }))
        return h + bytesOf({ 0x50, 0xFF });
    if (!body.isEmpty() && at(body, 0) == 0x01) {
        applyCommand(m_values[size_t(camera - 1)], camera, body.mid(1));
        return h + bytesOf({ 0x41, 0xFF }) + h + bytesOf({ 0x51, 0xFF });
    }
    if (!body.isEmpty() && at(body, 0) == 0x09) {
        const Values& values = m_values[size_t(camera - 1)];
        const auto it = values.find(body.mid(1));
        if (it != values.end())
            return h + char(0x50) + it.value() + TERMINATOR;
    }
    return h + bytesOf({ 0x60, 0x02, 0xFF });
}

void CamSim::applyCommand(Values& values, int camera, const QByteArray& command)
{
    if (command.size() < 2)
        return;
    const uint8_t category = at(command, 0);
    const uint8_t code = at(command, 1);
    const bool indexed = category == 0x7E || (category == 0x04 && (code == 0x23 || code == 0x24));
    const int keyLength = indexed ? 3 : 2;
    if (command.size() < keyLength)
        return;
    const QByteArray key = command.left(keyLength);
    const QByteArray args = command.mid(keyLength);

    if (category == 0x04 && code == 0x47 && args.size() == 8) {
        values[bytesOf({ 0x04, 0x47 })] = args.left(4);
        values[bytesOf({ 0x04, 0x48 })] = args.mid(4);
        return;
    }
    static const QByteArray steppers = bytesOf({ 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E });
    if (category == 0x04 && steppers.contains(char(code)) && args.size() == 1
        && (at(args, 0) == 0x00 || at(args, 0) == 0x02 || at(args, 0) == 0x03)) {
        // Up, down and reset of the value that 09 04 (40 + code) reads.
        const QByteArray wordKey = bytesOf({ 0x04, 0x40 | code });
        int value = fromNibbles(values.value(wordKey));
        if (at(args, 0) == 0x02)
            value = std::min(value + 1, 0xFFFF);
        else if (at(args, 0) == 0x03)
            value = std::max(value - 1, 0);
        else
            value = fromNibbles(defaultValues().value(wordKey));
        values[wordKey] = nibbles(uint16_t(value));
        return;
    }
    if (category == 0x04 && code == 0x38 && args == bytesOf({ 0x10 })) {
        // The auto/manual toggle: the inquiry reads the mode it leads to.
        values[key] = bytesOf({ values.value(key) == bytesOf({ 0x02 }) ? 0x03 : 0x02 });
        return;
    }
    if (category == 0x04 && code == 0x3F && args.size() == 2) {
        auto& memory = m_memory[size_t(camera - 1)];
        const int channel = at(args, 1);
        if (at(args, 0) == 0x00) {
            memory.erase(channel);
        } else if (at(args, 0) == 0x01) {
            Values snapshot;
            for (auto it = values.begin(); it != values.end(); ++it) {
                if (!keptByMemory(it.key()))
                    snapshot.insert(it.key(), it.value());
            }
            memory[channel] = snapshot;
        } else if (at(args, 0) == 0x02) {
            const auto found = memory.find(channel);
            if (found != memory.end()) {
                for (auto it = found->second.begin(); it != found->second.end(); ++it)
                    values[it.key()] = it.value();
            }
        }
        values[key] = QByteArray(1, char(channel));
        return;
    }
    if (key == bytesOf({ 0x7E, 0x06, 0x20 }) && args.size() == 10) {
        // 00 00 x(4) y(4) in; the reply carries a sign byte for x, a spare byte, then x and y.
        const QByteArray x = args.mid(2, 4);
        values[key] = bytesOf({ fromNibbles(x) >= 0x8000 ? 0x01 : 0x00, 0x00 }) + x + args.mid(6, 4);
        return;
    }
    if (category == 0x06 && code >= 0x02 && code <= 0x05) {
        const QByteArray positionKey = bytesOf({ 0x06, 0x12 });
        const QByteArray current = values.value(positionKey);
        uint16_t pan = fromNibbles(current, 1);
        uint16_t tilt = fromNibbles(current, 5);
        if ((code == 0x02 || code == 0x03) && args.size() == 10) {
            const uint16_t panArg = fromNibbles(args, 2);
            const uint16_t tiltArg = fromNibbles(args, 6);
            pan = code == 0x02 ? panArg : uint16_t(pan + panArg);
            tilt = code == 0x02 ? tiltArg : uint16_t(tilt + tiltArg);
        } else if (code == 0x04 || code == 0x05) {
            pan = tilt = 0;
        } else {
            return;
        }
        values[positionKey] = QByteArray(1, char(pan >= 0x8000 ? 0x01 : 0x00)) + nibbles(pan) + nibbles(tilt);
        return;
    }
    values[key] = args;
}

CamSim::Values CamSim::defaultValues()
{
    struct Entry
    {
        const char* key;
        const char* value;
    };
    // What a camera fresh from the factory answers; every inquiry of the library has an entry.
    static const Entry table[] = {
        { "00 02", "00 20 04 0B 01 02 03" }, // version: vendor, model, ROM, sockets
        { "04 00", "02" }, // power on
        { "04 01", "03" }, // infrared cut filter / zero lux off
        { "04 06", "03" }, // digital zoom off
        { "04 15", "03" }, // display off
        { "04 17", "03" }, // key lock off
        { "04 1E", "00 00 00 00 00 00" }, // gamma offset: r[5] sign, r[6..7] magnitude
        { "04 22", "00 00 00 00" }, // camera ID
        { "04 23 00", "00 00 00 00" }, // user registers: the camera's name
        { "04 23 01", "00 00 00 00" }, { "04 23 02", "00 00 00 00" }, { "04 24 00", "00 00" }, // baud rate
        { "04 24 60", "00 00" }, // colour space
        { "04 24 72", "00 08" }, // video format
        { "04 24 75", "00 00" }, // low delay mode
        { "04 26", "00" }, // digital zoom limit / wide conversion lens
        { "04 28", "01 00 00 00" }, // focus near limit
        { "04 29", "00 08 00 08" }, // spot exposure position
        { "04 31", "03" }, // IR LED
        { "04 33", "03" }, // backlight compensation
        { "04 34", "03" }, // stabilizer
        { "04 35", "00" }, // white balance auto
        { "04 38", "02" }, // auto focus
        { "04 39", "00" }, // full auto exposure
        { "04 3E", "03" }, // exposure compensation off
        { "04 3F", "00" }, // last memory
        { "04 42", "00 00 00 05" }, // aperture
        { "04 43", "00 00 08 00" }, // red gain
        { "04 44", "00 00 08 00" }, // blue gain
        { "04 47", "00 00 00 00" }, // zoom
        { "04 48", "01 00 00 00" }, // focus
        { "04 4A", "00 00 01 05" }, // shutter
        { "04 4B", "00 00 00 0D" }, // iris
        { "04 4C", "00 00 00 00" }, // gain
        { "04 4D", "00 00 00 07" }, // brightness
        { "04 4E", "00 00 00 07" }, // exposure compensation
        { "04 53", "00 00" }, // noise reduction (level, or 2D and 3D)
        { "04 58", "02" }, // auto focus sensitivity
        { "04 59", "03" }, // spot exposure off
        { "04 5A", "03" }, // slow shutter auto off
        { "04 5B", "00" }, // gamma mode
        { "04 60", "00" }, // wide mode
        { "04 61", "03" }, // mirror off
        { "04 62", "03" }, // freeze off
        { "04 63", "00" }, // picture effect
        { "04 64", "00" }, // digital effect
        { "04 65", "00 00 00 00" }, // digital effect level
        { "04 66", "03" }, // picture flip off
        { "04 68", "00 00 02 09" }, // temperature, 41 degrees
        { "04 75", "03" }, // mute off
        { "05 08", "03" }, // spot focus off
        { "05 53", "00 00" }, // 2D and 3D noise reduction
        { "05 5B", "00 00 00" }, // gamma pattern
        { "05 68", "00 08 00 08" }, // spot focus position
        { "06 06", "03" }, // data screen off
        { "06 10", "00 00" }, // pan-tilt mode
        { "06 11", "18 14" }, // pan-tilt maximum speeds
        { "06 12", "00 00 00 00 00 00 00 00 00" }, // pan-tilt position: sign, pan, tilt
        { "06 23", "00" }, // video system
        { "07 0B", "00 00" }, // motion detection Y level
        { "07 0C", "00 00" }, // hue level
        { "07 0D", "00 00" }, // size
        { "07 0F", "00 00" }, // display time
        { "07 10", "00" }, // reference mode
        { "07 11", "00 00" }, // reference time
        { "07 15", "00" }, // tracking entry
        { "07 20", "00 00 00" }, // tracking object position
        { "07 21", "00 00 00" }, // motion detection object position
        { "07 22", "00" }, // tracking and detection mode
        { "07 23", "00 00" }, // tracking mode
        { "07 24", "00 00" }, // motion detection mode
        { "7E 04 7D", "03" }, // colour bar off
        { "7E 06 00", "03" }, // ePTZ off
        { "7E 06 20", "00 00 00 00 00 00 00 00 00 00" }, // ePTZ position: sign, spare, x, y
    };
    Values values;
    for (const Entry& entry : table)
        values.insert(hexBytes(entry.key), hexBytes(entry.value));
    return values;
}

} // namespace quvtest
