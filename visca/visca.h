#pragma once

// VISCA camera control over a serial line.
//
// Every function takes the serial interface record and the camera record
// first and returns VISCA_SUCCESS (0) or VISCA_FAILURE (255). Nothing is
// allocated and nothing is thrown. Inquiries write their outputs only on
// success; on failure the caller's variables keep their values.
//
// Blocking: an exchange writes one packet and then reads reply packets until
// one that is not an acknowledgement arrives; each reply packet has a budget
// of VISCA_PACKET_BUDGET_US (2 s). A silent camera thus costs 2 s per call, a
// camera that acknowledges and then falls silent 4 s; a removed device fails
// at once.
//
// Not thread-safe: the reply buffer lives in the ViscaPort, so every call on
// one port must be serialised by the caller.

#include <cstdint>
#include <termios.h>

constexpr uint32_t VISCA_SUCCESS = 0;
constexpr uint32_t VISCA_FAILURE = 255;

constexpr int VISCA_INPUT_BUFFER_SIZE = 1024;
constexpr int VISCA_PACKET_SIZE = 32;
constexpr int64_t VISCA_PACKET_BUDGET_US = 2000000;

// Reply types (high nibble of the second byte of a reply packet).
constexpr uint32_t VISCA_RESPONSE_ADDRESS = 0x30;
constexpr uint32_t VISCA_RESPONSE_ACK = 0x40;
constexpr uint32_t VISCA_RESPONSE_COMPLETED = 0x50;
constexpr uint32_t VISCA_RESPONSE_ERROR = 0x60;

// Why the last call on a port failed; kept beside the 0/255 result so that
// logs and tests can tell a silent camera from an unplugged one.
enum ViscaError : uint32_t
{
    VISCA_ERROR_NONE = 0,
    VISCA_ERROR_REFUSED, // bad address or flag, body holding 0xFF, packet too long: nothing written
    VISCA_ERROR_CLOSED, // the port is not open
    VISCA_ERROR_WRITE, // short or failed write
    VISCA_ERROR_TIMEOUT, // no byte, or no terminator, within the packet budget
    VISCA_ERROR_OVERFLOW, // the input buffer filled without a terminator
    VISCA_ERROR_IO, // the device failed or hung up: the descriptor is of no further use
    VISCA_ERROR_MALFORMED, // a packet too short to classify, or endless acknowledgements
    VISCA_ERROR_REPLY_TYPE, // a reply type that ends no exchange
    VISCA_ERROR_ERROR_REPLY, // the camera answered an inquiry with an error
    VISCA_ERROR_SHORT_REPLY, // a reply too short for the value asked
    VISCA_ERROR_OPEN, // the device could not be opened or set up as a terminal
    VISCA_ERROR_IN_USE, // another opener holds the line (its lock, or its exclusive open): left as it was
};

// The serial interface record. fd is -1 (or 0, as the device layer resets it)
// while closed; any fd <= 0 counts as closed and is never read, written or closed.
struct ViscaPort
{
    int32_t fd;
    struct termios termios;
    uint32_t address; // controller address 0..7, high nibble of the header
    uint32_t broadcast; // 1 sends with the broadcast header 0x88
    unsigned char ibuf[VISCA_INPUT_BUFFER_SIZE]; // the last packet read, terminator included
    int32_t ibuf_length;
    uint32_t reply_type; // ibuf[1] & 0xF0 of the last packet classified
    uint32_t last_error; // a ViscaError
};

// The camera record.
struct ViscaCameraInfo
{
    int32_t address; // camera address 1..7; low three bits of the header
    uint32_t vendor;
    uint32_t model;
    uint32_t rom_version;
    uint32_t socket_num;
};

// A command buffer: byte 0 is the header, then the body, then the terminator.
struct ViscaPacket
{
    unsigned char bytes[VISCA_PACKET_SIZE];
    uint32_t length;
};

// The record the title commands send: four parameters, then 20 characters.
struct ViscaTitleData
{
    uint32_t vposition;
    uint32_t hposition;
    uint32_t color;
    uint32_t blink;
    unsigned char title[20];
};

// ---------------------------------------------------------------------------
// Serial transport and interface

// Opens path as a raw 8N1 line at 9600 baud in both directions, without flow
// control. 255 (fd -1) when the path cannot be opened or is not a terminal.
//
// An open line is held exclusively until it is closed: an exclusive flock()
// on the descriptor, which binds every opener that asks for it, root included
// (flock locks belong to the open file description, so a second open in the
// same process is refused as well), and the terminal's exclusive-open flag
// (TIOCEXCL), which refuses any other non-root open of the line. A line held
// by another opener fails with VISCA_ERROR_IN_USE before anything on it is
// changed or written.
uint32_t VISCA_open_serial(ViscaPort* port, const char* path);
// Closes the line and lets it go; 255 when it was not open.
uint32_t VISCA_close_serial(ViscaPort* port);
// Lets the line go (the lock and the exclusive-open flag) but leaves the
// descriptor open and the record as it is: for a caller that abandons the
// descriptor without closing it. 255 when the port is not open.
uint32_t VISCA_release_serial(ViscaPort* port);
// Reads input left on the line into buf; *size holds the capacity on entry and
// the bytes actually read on return. 0 when nothing was pending, 255 when
// something was (input was left over) or the line failed.
uint32_t VISCA_unread_bytes(ViscaPort* port, unsigned char* buf, uint32_t* size);
// usleep(microseconds); returns its result.
uint32_t VISCA_usleep(uint32_t microseconds);
// Monotonic microsecond clock, a signed 32-bit count widened to 64 bits (it wraps).
int64_t VISCA_uclock();

// Address set (88 30 01 FF); *count receives the number of cameras on the
// chain (1..7), else 255.
uint32_t VISCA_set_address(ViscaPort* port, int32_t* count);
// Interface clear (8x 01 00 01 FF).
uint32_t VISCA_clear(ViscaPort* port, ViscaCameraInfo* camera);
// Version inquiry (8x 09 00 02 FF) to camera 1..7 (any other address is
// refused, nothing written); fills vendor, model, rom_version and socket_num
// from a 10-byte reply, else 255.
uint32_t VISCA_get_camera_info(ViscaPort* port, ViscaCameraInfo* camera);

// ---------------------------------------------------------------------------
// Standard commands and inquiries used by the camera layer

uint32_t VISCA_set_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_dzoom(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_dzoom(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* value);
uint32_t VISCA_set_zoom_stop(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_zoom_tele_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed);
uint32_t VISCA_set_zoom_wide_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed);
uint32_t VISCA_set_zoom_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t zoom);
uint32_t VISCA_get_zoom_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* zoom);
uint32_t VISCA_set_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t focus);
uint32_t VISCA_get_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* focus);
uint32_t VISCA_set_focus_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_focus_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_whitebal_mode(ViscaPort* port, ViscaCameraInfo* camera, uint32_t mode);
uint32_t VISCA_get_whitebal_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_whitebal_one_push(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_rgain_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_rgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_rgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_bgain_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_bgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_shutter_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_shutter_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_iris_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_iris_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_gain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_gain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_bright_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_bright_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_exp_comp_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_exp_comp_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_exp_comp_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_exp_comp_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);
uint32_t VISCA_set_auto_exp_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_auto_exp_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_backlight_comp(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_backlight_comp(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_mirror(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_mirror(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_cam_stabilizer(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_memory_reset(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel);
uint32_t VISCA_memory_set(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel);
uint32_t VISCA_memory_recall(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel);
uint32_t VISCA_set_spot_ae_on(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_spot_ae_off(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_spot_ae_position(ViscaPort* port, ViscaCameraInfo* camera, uint8_t x, uint8_t y);
uint32_t VISCA_set_camera_id(ViscaPort* port, ViscaCameraInfo* camera, uint16_t id);
uint32_t VISCA_get_id(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* id);
// Camera registers: 0x72 video format, 0x60 colour space, 0x00 baud rate, 0x75 low delay mode.
uint32_t VISCA_set_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint8_t value);
uint32_t VISCA_get_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint8_t* value);

// ---------------------------------------------------------------------------
// Camera-specific extensions

uint32_t VISCA_set_ept_onoff(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_ept_onoff(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
// The ePTZ window position; x may be negative (sent as its 16-bit two's complement).
uint32_t VISCA_set_ept_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t x, uint32_t y);
uint32_t VISCA_get_ept_position(ViscaPort* port, ViscaCameraInfo* camera, int32_t* x, uint32_t* y);
uint32_t VISCA_set_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_get_cam_stabilizer(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_noise_reduction(ViscaPort* port, ViscaCameraInfo* camera, uint8_t level);
uint32_t VISCA_get_noise_reduction(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level);
uint32_t VISCA_set_nr_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t a, uint8_t b);
uint32_t VISCA_get_nr_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* a, uint8_t* b);
uint32_t VISCA_set_noise_reduction_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t a, uint8_t b);
uint32_t VISCA_get_noise_reduction_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* a, uint8_t* b);
uint32_t VISCA_set_icr(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_icr(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_pictureflip(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_pictureflip(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_colorbar(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_colorbar(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_lens_initialize(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_mute(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_mute(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_spot_focus_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_spot_focus_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
// Spot positions are cells of a 16 x 16 grid, sent as two nibble bytes each.
uint32_t VISCA_set_spot_focus_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t x, uint8_t y);
uint32_t VISCA_get_spot_focus_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* x, uint8_t* y);
uint32_t VISCA_get_spot_ae_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_get_spot_ae_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* x, uint8_t* y);
// The camera's temperature in degrees.
uint32_t VISCA_get_temperture(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* temperature);
uint32_t VISCA_set_gamma_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_gamma_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
// 12 bits; higher bits are not sent.
uint32_t VISCA_set_gamma_pattern(ViscaPort* port, ViscaCameraInfo* camera, uint16_t pattern);
uint32_t VISCA_get_gamma_pattern(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* pattern);
// A sign and a magnitude up to 255.
uint32_t VISCA_set_gamma_offset(ViscaPort* port, ViscaCameraInfo* camera, int16_t offset);
uint32_t VISCA_get_gamma_offset(ViscaPort* port, ViscaCameraInfo* camera, int16_t* offset);
// User registers 0..2 hold the camera's name.
uint32_t VISCA_set_user_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint16_t value);
uint32_t VISCA_get_user_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint16_t* value);

// ---------------------------------------------------------------------------
// Standard commands and inquiries the camera layer does not use

uint32_t VISCA_set_keylock(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_keylock(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);

uint32_t VISCA_set_zoom_tele(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_zoom_wide(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_zoom_and_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t zoom, uint32_t focus);
uint32_t VISCA_set_dzoom_limit(ViscaPort* port, ViscaCameraInfo* camera, uint32_t limit);
uint32_t VISCA_get_dzoom_limit(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* limit);
uint32_t VISCA_set_dzoom_mode(ViscaPort* port, ViscaCameraInfo* camera, uint32_t mode);

uint32_t VISCA_set_focus_far(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_near(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_stop(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_far_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed);
uint32_t VISCA_set_focus_near_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed);
uint32_t VISCA_set_focus_one_push(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_infinity(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_autosense_high(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_focus_autosense_low(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_get_focus_auto_sense(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_focus_near_limit(ViscaPort* port, ViscaCameraInfo* camera, uint32_t limit);
uint32_t VISCA_get_focus_near_limit(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* limit);

uint32_t VISCA_set_rgain_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_rgain_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bgain_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bgain_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_shutter_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_shutter_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_shutter_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_iris_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_iris_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_iris_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_gain_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_gain_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_gain_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bright_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bright_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_bright_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_aperture_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_aperture_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_aperture_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_exp_comp_up(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_exp_comp_down(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_exp_comp_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_aperture_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value);
uint32_t VISCA_get_aperture_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value);

uint32_t VISCA_set_slow_shutter_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_slow_shutter_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_zero_lux_shot(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_zero_lux_shot(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_ir_led(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_ir_led(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_wide_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_wide_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_freeze(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_get_freeze(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);
uint32_t VISCA_set_picture_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_picture_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_digital_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_get_digital_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_set_digital_effect_level(ViscaPort* port, ViscaCameraInfo* camera, uint8_t level);
uint32_t VISCA_get_digital_effect_level(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* level);
uint32_t VISCA_set_date_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_time_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_title_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_title_clear(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_get_memory(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* channel);

// Each value goes as its tens digit and its units digit.
uint32_t VISCA_set_date_time(ViscaPort* port, ViscaCameraInfo* camera, uint32_t year, uint32_t month, uint32_t day,
    uint32_t hour, uint32_t minute);
uint32_t VISCA_set_title_params(ViscaPort* port, ViscaCameraInfo* camera, const ViscaTitleData* title);
// Sends the title in two packets; returns the sum of the two results.
uint32_t VISCA_set_title(ViscaPort* port, ViscaCameraInfo* camera, const ViscaTitleData* title);

uint32_t VISCA_set_irreceive_on(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_irreceive_off(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_irreceive_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_datascreen_on(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_datascreen_off(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_datascreen_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_get_datascreen(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power);

uint32_t VISCA_set_pantilt_up(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_down(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_left(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_right(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_upleft(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_upright(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_downleft(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_downright(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_stop(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed);
uint32_t VISCA_set_pantilt_absolute_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed,
    uint32_t tilt_speed, uint32_t pan_position, uint32_t tilt_position);
uint32_t VISCA_set_pantilt_relative_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed,
    uint32_t tilt_speed, uint32_t pan_position, uint32_t tilt_position);
uint32_t VISCA_set_pantilt_home(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_pantilt_reset(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_pantilt_limit_upright(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit);
uint32_t VISCA_set_pantilt_limit_downleft(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit);
uint32_t VISCA_set_pantilt_limit_downleft_clear(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit);
uint32_t VISCA_set_pantilt_limit_upright_clear(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit);

uint32_t VISCA_get_videosystem(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* system);
uint32_t VISCA_get_pantilt_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* status);
uint32_t VISCA_get_pantilt_maxspeed(
    ViscaPort* port, ViscaCameraInfo* camera, uint8_t* max_pan_speed, uint8_t* max_tilt_speed);
uint32_t VISCA_get_pantilt_position(ViscaPort* port, ViscaCameraInfo* camera, int32_t* pan, int32_t* tilt);

uint32_t VISCA_set_at_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_at_mode_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_at_ae(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_at_ae_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_at_autozoom(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_at_autozoom_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_atmd_framedisplay(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_atmd_framedisplay_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_at_frameoffset(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_at_frameoffset_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_atmd_startstop(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_at_chase(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_at_chase_next(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_md_mode_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_detect(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_at_entry(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode);
uint32_t VISCA_set_md_measure_mode1(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_md_measure_mode1_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_measure_mode2(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power);
uint32_t VISCA_set_md_measure_mode2_onoff(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_frame(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_adjust_ylevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_md_adjust_huelevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_md_adjust_size(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_md_adjust_disptime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_md_adjust_refmode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_md_adjust_reftime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_set_at_lostinfo(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_md_lostinfo(ViscaPort* port, ViscaCameraInfo* camera);
uint32_t VISCA_set_wide_con_lens(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value);
uint32_t VISCA_get_wide_con_lens(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* value);

uint32_t VISCA_get_atmd_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_get_at_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* mode);
uint32_t VISCA_get_md_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* mode);
uint32_t VISCA_get_at_entry(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* entry);
uint32_t VISCA_get_md_refmode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode);
uint32_t VISCA_get_md_ylevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level);
uint32_t VISCA_get_md_huelevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level);
uint32_t VISCA_get_md_size(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* size);
uint32_t VISCA_get_md_disptime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* time);
uint32_t VISCA_get_md_reftime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* time);
uint32_t VISCA_get_at_obj_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* xpos, uint8_t* ypos, uint8_t* status);
uint32_t VISCA_get_md_obj_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* xpos, uint8_t* ypos, uint8_t* status);
