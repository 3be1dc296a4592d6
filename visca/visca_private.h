#pragma once

// Packet building, framing and reply reading shared by the command functions.

#include "visca/visca.h"

#include <initializer_list>

// An exchange that keeps receiving acknowledgements gives up after this many.
constexpr int VISCA_MAX_ACKNOWLEDGES = 4;
// The shortest packet that carries a reply type: address, type, terminator.
constexpr int VISCA_MIN_PACKET_LENGTH = 3;
constexpr unsigned char VISCA_TERMINATOR = 0xFF;

// length = 1: byte 0 is kept for the header.
void _VISCA_init_packet(ViscaPacket* packet);
// Appends one byte. A packet that would outgrow its buffer is marked invalid
// instead (and then refused by _VISCA_send_packet).
void _VISCA_append_byte(ViscaPacket* packet, unsigned char byte);
// One write() of the whole packet; 255 on a short or failed write.
uint32_t _VISCA_write_packet_data(ViscaPort* port, ViscaCameraInfo* camera, ViscaPacket* packet);
// Checks the addresses and the body, writes the header and the terminator, and
// writes the packet. Input left on the line from an earlier exchange is
// discarded first, so that it is never read as this packet's reply.
uint32_t _VISCA_send_packet(ViscaPort* port, ViscaCameraInfo* camera, ViscaPacket* packet);
// Reads one packet into ibuf within VISCA_PACKET_BUDGET_US.
uint32_t _VISCA_get_packet(ViscaPort* port);
// Reads packets until one that is not an acknowledgement, and classifies it:
// address, completion and error replies give 0.
uint32_t _VISCA_get_reply(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t _VISCA_send_packet_with_reply(ViscaPort* port, ViscaCameraInfo* camera, ViscaPacket* packet);

// Builders ------------------------------------------------------------------

// A packet body under construction: ViscaBody{0x01, 0x04, 0x47}.word(zoom).
class ViscaBody
{
public:
    ViscaBody(std::initializer_list<unsigned char> bytes);

    // The low byte of value, raw.
    ViscaBody& byte(uint32_t value);
    // 0p 0q 0r 0s: the low 16 bits, one nibble a byte, most significant first.
    ViscaBody& word(uint32_t value);
    // 0h 0l: the two nibbles of the low byte.
    ViscaBody& nibblePair(uint32_t value);

    ViscaPacket* packet() { return &m_packet; }

private:
    ViscaPacket m_packet;
};

// Sends a command and waits for its reply.
uint32_t _VISCA_command(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body);
// Exchanges an inquiry. It succeeds only on a completion reply of at least
// min_length bytes (terminator included), so that a decode never reads bytes
// the reply did not carry; an error reply fails it.
uint32_t _VISCA_inquiry(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, int min_length);

// Reply lengths for the usual decodes.
constexpr int VISCA_BYTE_REPLY = 4; // r[2]
constexpr int VISCA_WORD_REPLY = 7; // r[2..5]

// Decoders of the reply in ibuf; valid after a successful _VISCA_inquiry.
// The low nibbles of ibuf[first .. first + count - 1], most significant first.
uint32_t _VISCA_reply_nibbles(const ViscaPort* port, int first, int count);
// (r[2] << 12) + (r[3] << 8) + (r[4] << 4) + r[5] on whole bytes, kept to 16 bits.
uint16_t _VISCA_reply_word(const ViscaPort* port);

// The two common inquiry shapes: r[2] as received, and the word.
uint32_t _VISCA_get_byte(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint8_t* value);
uint32_t _VISCA_get_word(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint16_t* value);
// Two raw bytes, r[2] and r[3].
uint32_t _VISCA_get_byte_pair(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint8_t* a, uint8_t* b);

// Test seam: replaces the clock behind VISCA_uclock (nullptr restores it).
using ViscaClockFunction = int64_t (*)();
void _VISCA_set_clock(ViscaClockFunction clock);
