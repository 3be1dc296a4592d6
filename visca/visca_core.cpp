// Packet framing, the reply reader and the POSIX serial transport.

#include "visca/visca_private.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<ViscaClockFunction> s_clock { nullptr };

int64_t monotonicMicroseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t us = int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    // The clock is a signed 32-bit count: it wraps every 2^32 microseconds.
    return int32_t(uint32_t(us));
}

// Microseconds since start on the wrapping 32-bit clock.
uint32_t elapsedSince(uint32_t start_us)
{
    return uint32_t(VISCA_uclock()) - start_us;
}

uint32_t fail(ViscaPort* port, ViscaError error)
{
    port->last_error = error;
    return VISCA_FAILURE;
}

// Errors after which the descriptor is of no further use: the device was
// unplugged or the line hung up.
bool deviceGone(int error)
{
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

bool isOpen(const ViscaPort* port)
{
    return port->fd > 0;
}

// Takes the line's exclusive lock; false when another opener holds it. A
// filesystem without flock() support leaves the line unlocked rather than
// unusable.
bool lockLine(int fd)
{
    int locked;
    do {
        locked = flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 || errno != EWOULDBLOCK;
}

// Drops the lock and the exclusive-open flag. The flag belongs to the terminal,
// not to this descriptor: a line that stays open elsewhere (a pseudo-terminal's
// master, another root opener) would otherwise keep refusing opens after ours.
void releaseLine(int fd)
{
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
}

enum class WaitResult
{
    Readable,
    Timeout,
    Gone
};

// Waits until fd is readable, at most until the packet budget that began at
// start_us is spent. EINTR is retried with the time left.
WaitResult waitReadable(int fd, uint32_t start_us)
{
    for (;;) {
        const uint32_t elapsed_us = elapsedSince(start_us);
        if (elapsed_us > uint32_t(VISCA_PACKET_BUDGET_US))
            return WaitResult::Timeout;
        const uint32_t left_us = uint32_t(VISCA_PACKET_BUDGET_US) - elapsed_us;
        pollfd request { fd, POLLIN, 0 };
        // Round up so that the wait never ends just short of the budget.
        const int ready = poll(&request, 1, int((left_us + 999) / 1000));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::Gone;
        }
        if (ready == 0)
            continue; // the loop head decides whether the budget is spent
        if (request.revents & POLLIN)
            return WaitResult::Readable;
        return WaitResult::Gone; // POLLHUP, POLLERR or POLLNVAL without data
    }
}

enum class ReadResult
{
    Byte,
    Nothing,
    Gone
};

// Reads one byte that poll() reported. Nothing: another reader of the line
// took the byte first (a program that opened the line past its lock, as root
// can); the wait goes on.
ReadResult readByte(int fd, unsigned char* byte)
{
    for (;;) {
        const ssize_t n = read(fd, byte, 1);
        if (n == 1)
            return ReadResult::Byte;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN ? ReadResult::Nothing : ReadResult::Gone;
        // End of file: a hung-up line, unless the byte was taken by another reader.
        pollfd request { fd, POLLIN, 0 };
        poll(&request, 1, 0);
        return (request.revents & (POLLHUP | POLLERR | POLLNVAL)) ? ReadResult::Gone : ReadResult::Nothing;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Packets

void _VISCA_init_packet(ViscaPacket* packet)
{
    packet->length = 1;
}

void _VISCA_append_byte(ViscaPacket* packet, unsigned char byte)
{
    if (packet->length >= uint32_t(VISCA_PACKET_SIZE)) {
        // Marked too long; _VISCA_send_packet refuses it.
        packet->length = VISCA_PACKET_SIZE + 1;
        return;
    }
    packet->bytes[packet->length++] = byte;
}

uint32_t _VISCA_write_packet_data(ViscaPort* port, ViscaCameraInfo*, ViscaPacket* packet)
{
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);
    if (packet->length > uint32_t(VISCA_PACKET_SIZE))
        return fail(port, VISCA_ERROR_REFUSED);
    ssize_t written;
    do {
        written = write(port->fd, packet->bytes, packet->length);
    } while (written < 0 && errno == EINTR);
    if (written < 0 && deviceGone(errno))
        return fail(port, VISCA_ERROR_IO);
    if (written < ssize_t(packet->length))
        return fail(port, VISCA_ERROR_WRITE);
    return VISCA_SUCCESS;
}

uint32_t _VISCA_send_packet(ViscaPort* port, ViscaCameraInfo* camera, ViscaPacket* packet)
{
    port->last_error = VISCA_ERROR_NONE;
    if (port->address > 7 || camera->address > 7 || camera->address < 0 || port->broadcast > 1)
        return fail(port, VISCA_ERROR_REFUSED);
    // The header and the terminator need a byte each.
    if (packet->length < 1 || packet->length >= uint32_t(VISCA_PACKET_SIZE))
        return fail(port, VISCA_ERROR_REFUSED);
    // A 0xFF inside the body would end the packet early on the wire.
    for (uint32_t i = 1; i < packet->length; ++i) {
        if (packet->bytes[i] == VISCA_TERMINATOR)
            return fail(port, VISCA_ERROR_REFUSED);
    }
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);

    packet->bytes[0] = 0x80 | (port->address << 4);
    if (port->broadcast) {
        packet->bytes[0] |= port->broadcast << 3;
        packet->bytes[0] &= 0xF8;
    } else {
        packet->bytes[0] |= camera->address;
    }
    _VISCA_append_byte(packet, VISCA_TERMINATOR);

    // A reply that came after its budget must not pass for this packet's reply.
    tcflush(port->fd, TCIFLUSH);
    return _VISCA_write_packet_data(port, camera, packet);
}

uint32_t _VISCA_get_packet(ViscaPort* port)
{
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);
    const uint32_t start_us = uint32_t(VISCA_uclock());

    // One budget for the wait and for every byte of the packet.
    int position = 0;
    for (;;) {
        switch (waitReadable(port->fd, start_us)) {
        case WaitResult::Readable:
            break;
        case WaitResult::Timeout:
            if (position == 0) {
                std::printf("_VISCA_get_packet - timeout1\n");
                std::fflush(stdout);
                return fail(port, VISCA_ERROR_TIMEOUT);
            }
            std::printf("_VISCA_get_packet - timeout2\n");
            std::fflush(stdout);
            port->ibuf_length = position;
            return fail(port, VISCA_ERROR_TIMEOUT);
        case WaitResult::Gone:
            port->ibuf_length = position;
            return fail(port, VISCA_ERROR_IO);
        }

        switch (readByte(port->fd, &port->ibuf[position])) {
        case ReadResult::Byte:
            break;
        case ReadResult::Nothing:
            continue;
        case ReadResult::Gone:
            port->ibuf_length = position;
            return fail(port, VISCA_ERROR_IO);
        }
        if (port->ibuf[position] == VISCA_TERMINATOR) {
            port->ibuf_length = position + 1;
            return VISCA_SUCCESS;
        }
        ++position;
        if (position >= VISCA_INPUT_BUFFER_SIZE) {
            // A line that babbles without a terminator fills the buffer before the budget.
            std::printf("_VISCA_get_packet - timeout2\n");
            std::fflush(stdout);
            port->ibuf_length = position;
            return fail(port, VISCA_ERROR_OVERFLOW);
        }
    }
}

uint32_t _VISCA_get_reply(ViscaPort* port, ViscaCameraInfo*)
{
    for (int acknowledges = 0;; ++acknowledges) {
        if (_VISCA_get_packet(port) != VISCA_SUCCESS)
            return VISCA_FAILURE;
        if (port->ibuf_length < VISCA_MIN_PACKET_LENGTH)
            return fail(port, VISCA_ERROR_MALFORMED);
        port->reply_type = port->ibuf[1] & 0xF0;
        if (port->reply_type != VISCA_RESPONSE_ACK)
            break;
        if (acknowledges >= VISCA_MAX_ACKNOWLEDGES)
            return fail(port, VISCA_ERROR_MALFORMED);
    }
    switch (port->reply_type) {
    case VISCA_RESPONSE_ADDRESS:
    case VISCA_RESPONSE_COMPLETED:
    case VISCA_RESPONSE_ERROR:
        return VISCA_SUCCESS;
    default:
        return fail(port, VISCA_ERROR_REPLY_TYPE);
    }
}

uint32_t _VISCA_send_packet_with_reply(ViscaPort* port, ViscaCameraInfo* camera, ViscaPacket* packet)
{
    if (_VISCA_send_packet(port, camera, packet) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    return _VISCA_get_reply(port, camera);
}

// ---------------------------------------------------------------------------
// Builders

ViscaBody::ViscaBody(std::initializer_list<unsigned char> bytes)
{
    _VISCA_init_packet(&m_packet);
    for (unsigned char byte : bytes)
        _VISCA_append_byte(&m_packet, byte);
}

ViscaBody& ViscaBody::byte(uint32_t value)
{
    _VISCA_append_byte(&m_packet, value & 0xFF);
    return *this;
}

ViscaBody& ViscaBody::word(uint32_t value)
{
    _VISCA_append_byte(&m_packet, (value & 0xF000) >> 12);
    _VISCA_append_byte(&m_packet, (value & 0x0F00) >> 8);
    _VISCA_append_byte(&m_packet, (value & 0x00F0) >> 4);
    _VISCA_append_byte(&m_packet, value & 0x000F);
    return *this;
}

ViscaBody& ViscaBody::nibblePair(uint32_t value)
{
    _VISCA_append_byte(&m_packet, (value & 0xF0) >> 4);
    _VISCA_append_byte(&m_packet, value & 0x0F);
    return *this;
}

uint32_t _VISCA_command(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body)
{
    return _VISCA_send_packet_with_reply(port, camera, body.packet());
}

uint32_t _VISCA_inquiry(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, int min_length)
{
    if (_VISCA_send_packet_with_reply(port, camera, body.packet()) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    if (port->reply_type != VISCA_RESPONSE_COMPLETED)
        return fail(port, VISCA_ERROR_ERROR_REPLY);
    if (port->ibuf_length < min_length)
        return fail(port, VISCA_ERROR_SHORT_REPLY);
    return VISCA_SUCCESS;
}

uint32_t _VISCA_reply_nibbles(const ViscaPort* port, int first, int count)
{
    uint32_t value = 0;
    for (int i = first; i < first + count; ++i)
        value = (value << 4) | (port->ibuf[i] & 0x0F);
    return value;
}

uint16_t _VISCA_reply_word(const ViscaPort* port)
{
    const unsigned char* r = port->ibuf;
    return uint16_t((r[2] << 12) + (r[3] << 8) + (r[4] << 4) + r[5]);
}

uint32_t _VISCA_get_byte(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint8_t* value)
{
    if (_VISCA_inquiry(port, camera, body, VISCA_BYTE_REPLY) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = port->ibuf[2];
    return VISCA_SUCCESS;
}

uint32_t _VISCA_get_word(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint16_t* value)
{
    if (_VISCA_inquiry(port, camera, body, VISCA_WORD_REPLY) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = _VISCA_reply_word(port);
    return VISCA_SUCCESS;
}

uint32_t _VISCA_get_byte_pair(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint8_t* a, uint8_t* b)
{
    if (_VISCA_inquiry(port, camera, body, 5) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *a = port->ibuf[2];
    *b = port->ibuf[3];
    return VISCA_SUCCESS;
}

// ---------------------------------------------------------------------------
// Serial transport

uint32_t VISCA_open_serial(ViscaPort* port, const char* path)
{
    port->last_error = VISCA_ERROR_NONE;
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        port->fd = -1;
        // EBUSY: another program opened the line with the exclusive-open flag.
        return fail(port, errno == EBUSY ? VISCA_ERROR_IN_USE : VISCA_ERROR_OPEN);
    }
    // Descriptors 0..2 belong to the standard streams, and 0 means "closed" to
    // the camera layer: keep the line above them.
    if (fd <= STDERR_FILENO) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        fd = moved;
        if (fd < 0) {
            port->fd = -1;
            return fail(port, VISCA_ERROR_OPEN);
        }
    }
    // Before any setting: the line of another opener is left exactly as it is.
    if (!lockLine(fd)) {
        close(fd);
        port->fd = -1;
        return fail(port, VISCA_ERROR_IN_USE);
    }

    termios& line = port->termios;
    const bool configured = fcntl(fd, F_SETFL, 0) == 0 // blocking from here on
        && tcgetattr(fd, &line) == 0;
    if (configured) {
        cfsetispeed(&line, B9600);
        cfsetospeed(&line, B9600);
        line.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
        line.c_cflag |= CS8 | CLOCAL | CREAD;
        line.c_lflag &= ~(ICANON | ECHO | ECHOE | ISIG);
        line.c_iflag = 0;
        line.c_oflag &= ~OPOST;
        // The reader waits with poll(), which sees a raw line readable only once
        // VMIN bytes are in: bytes are taken one at a time, as they come.
        line.c_cc[VMIN] = 1;
        line.c_cc[VTIME] = 0;
    }
    if (!configured || tcsetattr(fd, TCSANOW, &line) != 0) {
        // Not a terminal (a regular file, a socket) or a line that refuses the
        // settings. The close drops the lock; the flag was never set.
        close(fd);
        port->fd = -1;
        return fail(port, VISCA_ERROR_OPEN);
    }
    // Other programs that open the line without asking for the lock are refused
    // too (unless they run as root). A line that refuses the flag still has the lock.
    ioctl(fd, TIOCEXCL);
    port->fd = fd;
    port->address = 0;
    return VISCA_SUCCESS;
}

uint32_t VISCA_close_serial(ViscaPort* port)
{
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);
    // Released explicitly: a child that inherited the descriptor (between fork
    // and exec) would otherwise keep the lock alive after this close.
    releaseLine(port->fd);
    close(port->fd);
    port->fd = -1;
    port->last_error = VISCA_ERROR_NONE;
    return VISCA_SUCCESS;
}

uint32_t VISCA_release_serial(ViscaPort* port)
{
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);
    releaseLine(port->fd);
    return VISCA_SUCCESS;
}

uint32_t VISCA_unread_bytes(ViscaPort* port, unsigned char* buf, uint32_t* size)
{
    const uint32_t capacity = *size;
    *size = 0;
    if (!isOpen(port))
        return fail(port, VISCA_ERROR_CLOSED);
    int pending = 0;
    if (ioctl(port->fd, FIONREAD, &pending) != 0)
        return fail(port, VISCA_ERROR_IO);
    if (pending <= 0)
        return VISCA_SUCCESS;
    const uint32_t wanted = uint32_t(pending) < capacity ? uint32_t(pending) : capacity;
    ssize_t n;
    do {
        n = read(port->fd, buf, wanted);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return fail(port, VISCA_ERROR_IO);
    *size = uint32_t(n);
    return VISCA_FAILURE; // input was left over
}

uint32_t VISCA_usleep(uint32_t microseconds)
{
    return uint32_t(usleep(microseconds));
}

int64_t VISCA_uclock()
{
    const ViscaClockFunction clock = s_clock.load(std::memory_order_relaxed);
    return clock ? clock() : monotonicMicroseconds();
}

void _VISCA_set_clock(ViscaClockFunction clock)
{
    s_clock.store(clock, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------
// Interface

uint32_t VISCA_set_address(ViscaPort* port, int32_t* count)
{
    const uint32_t broadcast = port->broadcast;
    ViscaCameraInfo chain {};
    ViscaBody body { 0x30, 0x01 };
    port->broadcast = 1;
    const uint32_t sent = _VISCA_send_packet(port, &chain, body.packet());
    port->broadcast = broadcast;
    if (sent != VISCA_SUCCESS)
        return VISCA_FAILURE;
    if (_VISCA_get_reply(port, &chain) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    // Only an address reply carries the count; an error reply must not pass for one.
    if (port->reply_type != VISCA_RESPONSE_ADDRESS)
        return fail(port, VISCA_ERROR_REPLY_TYPE);
    if (port->ibuf_length % 4 != 0)
        return fail(port, VISCA_ERROR_MALFORMED);
    const int32_t cameras = int32_t(port->ibuf[port->ibuf_length - 2]) - 1;
    if (cameras < 1 || cameras > 7)
        return fail(port, VISCA_ERROR_MALFORMED);
    *count = cameras;
    return VISCA_SUCCESS;
}

uint32_t VISCA_clear(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x00, 0x01 });
}

uint32_t VISCA_get_camera_info(ViscaPort* port, ViscaCameraInfo* camera)
{
    // Built by hand: the controller address does not go into the header. Only
    // cameras 1..7 have a header of their own: 8 is the broadcast, and an
    // address with higher bits (0x7F, -1) would make the header a terminator.
    port->last_error = VISCA_ERROR_NONE;
    if (camera->address < 1 || camera->address > 7)
        return fail(port, VISCA_ERROR_REFUSED);
    ViscaPacket packet;
    _VISCA_init_packet(&packet);
    packet.bytes[0] = 0x80 | camera->address;
    _VISCA_append_byte(&packet, 0x09);
    _VISCA_append_byte(&packet, 0x00);
    _VISCA_append_byte(&packet, 0x02);
    _VISCA_append_byte(&packet, VISCA_TERMINATOR);
    if (isOpen(port))
        tcflush(port->fd, TCIFLUSH);
    if (_VISCA_write_packet_data(port, camera, &packet) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    if (_VISCA_get_reply(port, camera) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    if (port->reply_type != VISCA_RESPONSE_COMPLETED)
        return fail(port, VISCA_ERROR_ERROR_REPLY);
    if (port->ibuf_length != 10)
        return fail(port, VISCA_ERROR_SHORT_REPLY);
    const unsigned char* r = port->ibuf;
    camera->vendor = (r[2] << 8) | r[3];
    camera->model = (r[4] << 8) | r[5];
    camera->rom_version = (r[6] << 8) | r[7];
    camera->socket_num = r[8];
    return VISCA_SUCCESS;
}
