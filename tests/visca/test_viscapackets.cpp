// The packets of the VISCA library against a simulated camera: the bytes each
// command and inquiry puts on the wire, the header of each addressing mode,
// the packets it refuses to send, and the values each reply shape decodes to.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"

#include <cstring>
#include <functional>
#include <vector>

using quvtest::CamSim;
using quvtest::hexBytes;
using quvtest::hexString;
using viscatest::Link;

namespace {

// What the calls of a row may read into, and the title they may send.
struct Scratch
{
    uint8_t b = 0, b2 = 0, b3 = 0;
    uint16_t w = 0;
    int16_t s = 0;
    int32_t i = 0, j = 0;
    uint32_t u = 0;
    ViscaTitleData title {};
};

using Call = std::function<uint32_t(ViscaPort*, ViscaCameraInfo*, Scratch&)>;

// The calls of a row run in order; the row fails if one of them does.
uint32_t all(std::initializer_list<uint32_t> results)
{
    uint32_t result = VISCA_SUCCESS;
    for (uint32_t one : results)
        result |= one;
    return result;
}

struct EncodeCase
{
    const char* name;
    Call call;
    // The packets on the wire, without header and terminator, "|" between
    // them; empty: the call is refused and writes nothing.
    const char* bodies;
    uint8_t header = 0x81;
    int32_t camera = 1;
    uint32_t broadcast = 0;
    uint32_t controller = 0;
};

// clang-format off
#define SEND(bodies, ...) EncodeCase { #__VA_ARGS__, \
    [](ViscaPort* p, ViscaCameraInfo* c, Scratch& o) -> uint32_t { (void)o; return all({ __VA_ARGS__ }); }, bodies }
// The power command or the version inquiry under another header.
#define POWER(name, header, camera, broadcast, controller) EncodeCase { name, \
    [](ViscaPort* p, ViscaCameraInfo* c, Scratch&) { return VISCA_set_power(p, c, 2); }, \
    header ? "01 04 00 02" : "", header, camera, broadcast, controller }
#define VERSION(name, header, camera, controller) EncodeCase { name, \
    [](ViscaPort* p, ViscaCameraInfo* c, Scratch&) { return VISCA_get_camera_info(p, c); }, \
    header ? "09 00 02" : "", header, camera, 0, controller }
// clang-format on

ViscaTitleData titleData()
{
    ViscaTitleData title {};
    title.vposition = 1;
    title.hposition = 2;
    title.color = 3;
    title.blink = 0x104; // only the low byte goes
    for (int i = 0; i < 20; ++i)
        title.title[i] = static_cast<unsigned char>('A' + i);
    return title;
}

// Values are chosen so that a wrong mask or shift changes a byte: 0x0A keeps 2
// of 3 bits, 0x12345 shows the cut to 16 bits. Inquiries get the simulator's
// replies, of the lengths their decodes need.
const std::vector<EncodeCase>& encodeCases()
{
    // clang-format off
    static const std::vector<EncodeCase> cases = {
        // Used by the camera layer.
        SEND("01 00 01 | 09 00 02", VISCA_clear(p, c), VISCA_get_camera_info(p, c)),
        SEND("01 04 00 02 | 09 04 00", VISCA_set_power(p, c, 2), VISCA_get_power(p, c, &o.b)),
        SEND("01 04 06 03 | 09 04 06", VISCA_set_dzoom(p, c, 0x103), VISCA_get_dzoom(p, c, &o.b)),
        SEND("01 04 07 00 | 01 04 07 22 | 01 04 07 32", VISCA_set_zoom_stop(p, c), VISCA_set_zoom_tele_speed(p, c,
            0x0A),
            VISCA_set_zoom_wide_speed(p, c, 0x0A)),
        SEND("01 04 47 02 03 04 05 | 09 04 47", VISCA_set_zoom_value(p, c, 0x12345), VISCA_get_zoom_value(p, c, &o.w)),
        SEND("01 04 48 0A 0B 0C 0D | 09 04 48", VISCA_set_focus_value(p, c, 0xABCD), VISCA_get_focus_value(p, c, &o.w)),
        SEND("01 04 38 10 | 09 04 38", VISCA_set_focus_auto(p, c, 0x10), VISCA_get_focus_auto(p, c, &o.b)),
        SEND("01 04 35 05 | 09 04 35 | 01 04 10 05", VISCA_set_whitebal_mode(p, c, 0x105),
            VISCA_get_whitebal_mode(p, c, &o.b), VISCA_set_whitebal_one_push(p, c)),
        SEND("01 04 03 00 | 01 04 43 00 01 02 03 | 09 04 43", VISCA_set_rgain_reset(p, c),
            VISCA_set_rgain_value(p, c, 0x0123), VISCA_get_rgain_value(p, c, &o.w)),
        SEND("01 04 04 00 | 01 04 44 0F 0E 0D 0C | 09 04 44", VISCA_set_bgain_reset(p, c),
            VISCA_set_bgain_value(p, c, 0xFEDC), VISCA_get_bgain_value(p, c, &o.w)),
        SEND("01 04 4A 00 01 01 05 | 09 04 4A", VISCA_set_shutter_value(p, c, 0x115), VISCA_get_shutter_value(p, c,
            &o.w)),
        SEND("01 04 4B 00 00 00 0D | 09 04 4B", VISCA_set_iris_value(p, c, 0x0D), VISCA_get_iris_value(p, c, &o.w)),
        SEND("01 04 4C 00 00 01 0F | 09 04 4C", VISCA_set_gain_value(p, c, 0x1F), VISCA_get_gain_value(p, c, &o.w)),
        SEND("01 04 4D 00 00 00 07 | 09 04 4D", VISCA_set_bright_value(p, c, 0x10007), VISCA_get_bright_value(p, c,
            &o.w)),
        SEND("01 04 3E 02 | 09 04 3E", VISCA_set_exp_comp_power(p, c, 2), VISCA_get_exp_comp_power(p, c, &o.b)),
        SEND("01 04 4E 00 00 00 0E | 09 04 4E", VISCA_set_exp_comp_value(p, c, 0x0E), VISCA_get_exp_comp_value(p, c,
            &o.w)),
        SEND("01 04 39 0B | 09 04 39", VISCA_set_auto_exp_mode(p, c, 0x0B), VISCA_get_auto_exp_mode(p, c, &o.b)),
        SEND("01 04 33 02 | 09 04 33", VISCA_set_backlight_comp(p, c, 2), VISCA_get_backlight_comp(p, c, &o.b)),
        SEND("01 04 61 03 | 09 04 61", VISCA_set_mirror(p, c, 3), VISCA_get_mirror(p, c, &o.b)),
        SEND("01 04 15 02 | 09 04 15", VISCA_set_display(p, c, 2), VISCA_get_display(p, c, &o.b)),
        SEND("01 04 34 02 | 09 04 34", VISCA_set_cam_stabilizer(p, c, 2), VISCA_get_cam_stabilizer(p, c, &o.b)),
        SEND("01 04 3F 00 05 | 01 04 3F 01 0F | 01 04 3F 02 00", VISCA_memory_reset(p, c, 5), VISCA_memory_set(p, c,
            15),
            VISCA_memory_recall(p, c, 0)),
        SEND("01 04 59 02 | 01 04 59 03 | 09 04 59", VISCA_set_spot_ae_on(p, c), VISCA_set_spot_ae_off(p, c),
            VISCA_get_spot_ae_on(p, c, &o.b)),
        SEND("01 04 29 0A 05 03 0C | 09 04 29", VISCA_set_spot_ae_position(p, c, 0xA5, 0x3C),
            VISCA_get_spot_ae_pos(p, c, &o.b, &o.b2)),
        SEND("01 04 22 01 02 03 04 | 09 04 22", VISCA_set_camera_id(p, c, 0x1234), VISCA_get_id(p, c, &o.w)),
        SEND("01 04 24 75 01 0A | 09 04 24 60", VISCA_set_register(p, c, 0x75, 0x1A), VISCA_get_register(p, c, 0x60,
            &o.b)),

        // Camera-specific extensions.
        SEND("01 7E 06 00 02 | 09 7E 06 00", VISCA_set_ept_onoff(p, c, 2), VISCA_get_ept_onoff(p, c, &o.b)),
        SEND("01 7E 06 20 00 00 0F 0F 0F 0B 00 00 00 03 | 09 7E 06 20", VISCA_set_ept_position(p, c, uint32_t(-5),
            0x10003),
            VISCA_get_ept_position(p, c, &o.i, &o.u)),
        SEND("01 04 19 03 | 01 04 19 01", VISCA_set_reset(p, c), VISCA_lens_initialize(p, c)),
        SEND("01 04 53 03 | 09 04 53", VISCA_set_noise_reduction(p, c, 3), VISCA_get_noise_reduction(p, c, &o.b)),
        SEND("01 05 53 02 05 | 09 05 53", VISCA_set_nr_2d3d(p, c, 2, 5), VISCA_get_nr_2d3d(p, c, &o.b, &o.b2)),
        SEND("01 04 53 01 40 | 09 04 53", VISCA_set_noise_reduction_2d3d(p, c, 1, 0x40),
            VISCA_get_noise_reduction_2d3d(p, c, &o.b, &o.b2)),
        SEND("01 04 01 02 | 09 04 01", VISCA_set_icr(p, c, 2), VISCA_get_icr(p, c, &o.b)),
        SEND("01 04 66 02 | 09 04 66", VISCA_set_pictureflip(p, c, 2), VISCA_get_pictureflip(p, c, &o.b)),
        SEND("01 7E 04 7D 02 | 09 7E 04 7D", VISCA_set_colorbar(p, c, 2), VISCA_get_colorbar(p, c, &o.b)),
        SEND("01 04 75 02 | 09 04 75", VISCA_set_mute(p, c, 2), VISCA_get_mute(p, c, &o.b)),
        SEND("01 05 08 02 | 09 05 08", VISCA_set_spot_focus_on(p, c, 2), VISCA_get_spot_focus_on(p, c, &o.b)),
        SEND("01 05 68 0A 05 03 0C | 09 05 68", VISCA_set_spot_focus_pos(p, c, 0xA5, 0x3C),
            VISCA_get_spot_focus_pos(p, c, &o.b, &o.b2)),
        SEND("09 04 68", VISCA_get_temperture(p, c, &o.b)),
        SEND("01 04 5B 04 | 09 04 5B", VISCA_set_gamma_mode(p, c, 4), VISCA_get_gamma_mode(p, c, &o.b)),
        SEND("01 05 5B 0A 0B 0C | 09 05 5B", VISCA_set_gamma_pattern(p, c, 0x1ABC), VISCA_get_gamma_pattern(p, c,
            &o.w)),
        SEND("01 04 1E 00 00 00 01 01 04 | 01 04 1E 00 00 00 00 00 00 | 09 04 1E", VISCA_set_gamma_offset(p, c, -20),
            VISCA_set_gamma_offset(p, c, 0), VISCA_get_gamma_offset(p, c, &o.s)),
        SEND("01 04 1E 00 00 00 00 02 0C | 01 04 1E 00 00 00 01 0F 0F", VISCA_set_gamma_offset(p, c, 300),
            VISCA_set_gamma_offset(p, c, -255)),
        SEND("01 04 23 02 00 03 04 01 | 09 04 23 01", VISCA_set_user_register(p, c, 2, 0x0341),
            VISCA_get_user_register(p, c, 1, &o.w)),

        // The rest of the standard set.
        SEND("01 04 17 02 | 09 04 17", VISCA_set_keylock(p, c, 2), VISCA_get_keylock(p, c, &o.b)),
        SEND("01 04 07 02 | 01 04 07 03", VISCA_set_zoom_tele(p, c), VISCA_set_zoom_wide(p, c)),
        SEND("01 04 47 01 02 03 04 0A 0B 0C 0D", VISCA_set_zoom_and_focus_value(p, c, 0x1234, 0x1ABCD)),
        SEND("01 04 26 03 | 09 04 26 | 01 04 36 01", VISCA_set_dzoom_limit(p, c, 3), VISCA_get_dzoom_limit(p, c, &o.b),
            VISCA_set_dzoom_mode(p, c, 1)),
        SEND("01 04 08 02 | 01 04 08 03 | 01 04 08 00", VISCA_set_focus_far(p, c), VISCA_set_focus_near(p, c),
            VISCA_set_focus_stop(p, c)),
        SEND("01 04 08 22 | 01 04 08 32", VISCA_set_focus_far_speed(p, c, 0x0A), VISCA_set_focus_near_speed(p, c,
            0x0A)),
        SEND("01 04 18 01 | 01 04 18 02", VISCA_set_focus_one_push(p, c), VISCA_set_focus_infinity(p, c)),
        SEND("01 04 58 02 | 01 04 58 03 | 09 04 58", VISCA_set_focus_autosense_high(p, c),
            VISCA_set_focus_autosense_low(p, c), VISCA_get_focus_auto_sense(p, c, &o.b)),
        SEND("01 04 28 01 00 00 00 | 09 04 28", VISCA_set_focus_near_limit(p, c, 0x1000),
            VISCA_get_focus_near_limit(p, c, &o.w)),
        SEND("01 04 03 02 | 01 04 03 03 | 01 04 04 02 | 01 04 04 03", VISCA_set_rgain_up(p, c),
            VISCA_set_rgain_down(p, c), VISCA_set_bgain_up(p, c), VISCA_set_bgain_down(p, c)),
        SEND("01 04 0A 02 | 01 04 0A 03 | 01 04 0A 00", VISCA_set_shutter_up(p, c), VISCA_set_shutter_down(p, c),
            VISCA_set_shutter_reset(p, c)),
        SEND("01 04 0B 02 | 01 04 0B 03 | 01 04 0B 00", VISCA_set_iris_up(p, c), VISCA_set_iris_down(p, c),
            VISCA_set_iris_reset(p, c)),
        SEND("01 04 0C 02 | 01 04 0C 03 | 01 04 0C 00", VISCA_set_gain_up(p, c), VISCA_set_gain_down(p, c),
            VISCA_set_gain_reset(p, c)),
        SEND("01 04 0D 02 | 01 04 0D 03 | 01 04 0D 00", VISCA_set_bright_up(p, c), VISCA_set_bright_down(p, c),
            VISCA_set_bright_reset(p, c)),
        SEND("01 04 02 02 | 01 04 02 03 | 01 04 02 00", VISCA_set_aperture_up(p, c), VISCA_set_aperture_down(p, c),
            VISCA_set_aperture_reset(p, c)),
        SEND("01 04 0E 02 | 01 04 0E 03 | 01 04 0E 00", VISCA_set_exp_comp_up(p, c), VISCA_set_exp_comp_down(p, c),
            VISCA_set_exp_comp_reset(p, c)),
        SEND("01 04 42 00 00 00 0F | 09 04 42", VISCA_set_aperture_value(p, c, 0x0F), VISCA_get_aperture_value(p, c,
            &o.w)),
        SEND("01 04 5A 02 | 09 04 5A", VISCA_set_slow_shutter_auto(p, c, 2), VISCA_get_slow_shutter_auto(p, c, &o.b)),
        SEND("01 04 01 02 | 09 04 01", VISCA_set_zero_lux_shot(p, c, 2), VISCA_get_zero_lux_shot(p, c, &o.b)),
        SEND("01 04 31 02 | 09 04 31", VISCA_set_ir_led(p, c, 2), VISCA_get_ir_led(p, c, &o.b)),
        SEND("01 04 60 01 | 09 04 60", VISCA_set_wide_mode(p, c, 1), VISCA_get_wide_mode(p, c, &o.b)),
        SEND("01 04 62 02 | 09 04 62", VISCA_set_freeze(p, c, 2), VISCA_get_freeze(p, c, &o.b)),
        SEND("01 04 63 04 | 09 04 63", VISCA_set_picture_effect(p, c, 4), VISCA_get_picture_effect(p, c, &o.b)),
        SEND("01 04 64 02 | 09 04 64", VISCA_set_digital_effect(p, c, 2), VISCA_get_digital_effect(p, c, &o.b)),
        SEND("09 04 65 | 01 04 65 20", VISCA_get_digital_effect_level(p, c, &o.w),
            VISCA_set_digital_effect_level(p, c, 0x20)),
        SEND("01 04 71 02 | 01 04 72 03", VISCA_set_date_display(p, c, 2), VISCA_set_time_display(p, c, 3)),
        SEND("01 04 74 02 | 01 04 74 00", VISCA_set_title_display(p, c, 2), VISCA_set_title_clear(p, c)),
        SEND("09 04 3F", VISCA_get_memory(p, c, &o.b)),
        SEND("01 04 70 02 04 00 03 01 05 00 09 04 01", VISCA_set_date_time(p, c, 24, 3, 15, 9, 41)),
        SEND("01 04 73 00 01 02 03 04 00 00 00 00 00 00", VISCA_set_title_params(p, c, &o.title)),
        SEND("01 04 73 01 41 42 43 44 45 46 47 48 49 4A | 01 04 73 02 4B 4C 4D 4E 4F 50 51 52 53 54",
            VISCA_set_title(p, c, &o.title)),
        SEND("01 06 08 02 | 01 06 08 03 | 01 06 08 10", VISCA_set_irreceive_on(p, c), VISCA_set_irreceive_off(p, c),
            VISCA_set_irreceive_onoff(p, c)),
        SEND("01 06 06 02 | 01 06 06 03 | 01 06 06 10 | 09 06 06", VISCA_set_datascreen_on(p, c),
            VISCA_set_datascreen_off(p, c), VISCA_set_datascreen_onoff(p, c), VISCA_get_datascreen(p, c, &o.b)),
        SEND("01 06 01 05 07 03 01 | 01 06 01 05 07 03 02 | 01 06 01 05 07 01 03 | 01 06 01 05 07 02 03",
            VISCA_set_pantilt_up(p, c, 5, 7), VISCA_set_pantilt_down(p, c, 5, 7), VISCA_set_pantilt_left(p, c, 5, 7),
            VISCA_set_pantilt_right(p, c, 5, 7)),
        SEND("01 06 01 05 07 01 01 | 01 06 01 05 07 02 01 | 01 06 01 05 07 01 02 | 01 06 01 05 07 02 02",
            VISCA_set_pantilt_upleft(p, c, 5, 7), VISCA_set_pantilt_upright(p, c, 5, 7),
            VISCA_set_pantilt_downleft(p, c, 5, 7), VISCA_set_pantilt_downright(p, c, 5, 7)),
        SEND("01 06 01 18 14 03 03", VISCA_set_pantilt_stop(p, c, 0x118, 0x214)),
        SEND("01 06 02 18 14 01 02 03 04 0F 0E 00 00",
            VISCA_set_pantilt_absolute_position(p, c, 0x18, 0x14, 0x1234, 0xFE00)),
        SEND("01 06 03 01 02 00 00 00 05 0F 0F 0F 0B",
            VISCA_set_pantilt_relative_position(p, c, 1, 2, 0x10005, uint32_t(-5))),
        SEND("01 06 04 | 01 06 05", VISCA_set_pantilt_home(p, c), VISCA_set_pantilt_reset(p, c)),
        SEND("01 06 07 00 01 01 02 03 04 00 05 06 07 | 01 06 07 00 00 01 02 03 04 00 05 06 07",
            VISCA_set_pantilt_limit_upright(p, c, 0x1234, 0x0567), VISCA_set_pantilt_limit_downleft(p, c, 0x1234,
                0x0567)),
        SEND("01 06 07 01 00 07 0F 0F 0F 08 00 00 00 | 01 06 07 01 01 07 0F 0F 0F 08 00 00 00",
            VISCA_set_pantilt_limit_downleft_clear(p, c, 0x7FFF, 0x8000),
            VISCA_set_pantilt_limit_upright_clear(p, c, 0x7FFF, 0x8000)),
        SEND("09 06 23 | 09 06 10 | 09 06 11 | 09 06 12", VISCA_get_videosystem(p, c, &o.b),
            VISCA_get_pantilt_mode(p, c, &o.w), VISCA_get_pantilt_maxspeed(p, c, &o.b, &o.b2),
            VISCA_get_pantilt_position(p, c, &o.i, &o.j)),
        SEND("01 07 01 02 | 01 07 01 10", VISCA_set_at_mode(p, c, 2), VISCA_set_at_mode_onoff(p, c)),
        SEND("01 07 02 03 | 01 07 02 10", VISCA_set_at_ae(p, c, 3), VISCA_set_at_ae_onoff(p, c)),
        SEND("01 07 03 02 | 01 07 03 10", VISCA_set_at_autozoom(p, c, 2), VISCA_set_at_autozoom_onoff(p, c)),
        SEND("01 07 04 02 | 01 07 04 10", VISCA_set_atmd_framedisplay(p, c, 2), VISCA_set_atmd_framedisplay_onoff(p,
            c)),
        SEND("01 07 05 02 | 01 07 05 10", VISCA_set_at_frameoffset(p, c, 2), VISCA_set_at_frameoffset_onoff(p, c)),
        SEND("01 07 06 10 | 01 07 07 02 | 01 07 07 10", VISCA_set_atmd_startstop(p, c), VISCA_set_at_chase(p, c, 2),
            VISCA_set_at_chase_next(p, c)),
        SEND("01 07 08 02 | 01 07 08 10 | 01 07 0A 10", VISCA_set_md_mode(p, c, 2), VISCA_set_md_mode_onoff(p, c),
            VISCA_set_md_detect(p, c)),
        SEND("01 07 15 03 | 09 07 15", VISCA_set_at_entry(p, c, 3), VISCA_get_at_entry(p, c, &o.b)),
        SEND("01 07 27 02 | 01 07 27 10", VISCA_set_md_measure_mode1(p, c, 2), VISCA_set_md_measure_mode1_onoff(p, c)),
        SEND("01 07 28 03 | 01 07 28 10", VISCA_set_md_measure_mode2(p, c, 3), VISCA_set_md_measure_mode2_onoff(p, c)),
        SEND("01 07 09", VISCA_set_md_frame(p, c)),
        SEND("01 07 0B 00 05 | 09 07 0B", VISCA_set_md_adjust_ylevel(p, c, 5), VISCA_get_md_ylevel(p, c, &o.b)),
        SEND("01 07 0C 00 06 | 09 07 0C", VISCA_set_md_adjust_huelevel(p, c, 6), VISCA_get_md_huelevel(p, c, &o.b)),
        SEND("01 07 0D 00 07 | 09 07 0D", VISCA_set_md_adjust_size(p, c, 7), VISCA_get_md_size(p, c, &o.b)),
        SEND("01 07 0F 00 08 | 09 07 0F", VISCA_set_md_adjust_disptime(p, c, 8), VISCA_get_md_disptime(p, c, &o.b)),
        SEND("01 07 10 01 | 09 07 10", VISCA_set_md_adjust_refmode(p, c, 1), VISCA_get_md_refmode(p, c, &o.b)),
        SEND("01 07 11 00 09 | 09 07 11", VISCA_set_md_adjust_reftime(p, c, 9), VISCA_get_md_reftime(p, c, &o.b)),
        SEND("01 06 20 07 20 | 01 06 20 07 21", VISCA_set_at_lostinfo(p, c), VISCA_set_md_lostinfo(p, c)),
        SEND("01 07 26 00 01 | 09 04 26", VISCA_set_wide_con_lens(p, c, 1), VISCA_get_wide_con_lens(p, c, &o.b)),
        SEND("09 07 22 | 09 07 23 | 09 07 24", VISCA_get_atmd_mode(p, c, &o.b), VISCA_get_at_mode(p, c, &o.w),
            VISCA_get_md_mode(p, c, &o.w)),
        SEND("09 07 20 | 09 07 21", VISCA_get_at_obj_pos(p, c, &o.b, &o.b2, &o.b3),
            VISCA_get_md_obj_pos(p, c, &o.b, &o.b2, &o.b3)),

        // The header: controller address in the high nibble, camera address or broadcast in the low.
        POWER("header camera 7", 0x87, 7, 0, 0),
        POWER("header broadcast", 0x88, 5, 1, 0),
        POWER("header controller 2", 0xA3, 3, 0, 2),
        POWER("header controller 1 broadcast", 0x98, 3, 1, 1),
        // The version inquiry never carries the controller address.
        VERSION("version camera 7, controller 2", 0x87, 7, 2),

        // Refused: nothing goes out.
        POWER("controller address 8", 0, 1, 0, 8),
        POWER("camera address 8", 0, 8, 0, 0),
        POWER("camera address -1", 0, -1, 0, 0),
        POWER("broadcast 2", 0, 1, 2, 0),
        VERSION("version to camera 0", 0, 0, 0),
        VERSION("version to camera 8, the broadcast", 0, 8, 0),
        VERSION("version to camera 0x7F, a terminator", 0, 0x7F, 0),
        VERSION("version to camera -1", 0, -1, 0),
        // A body byte 0xFF would end the packet early.
        SEND("", VISCA_set_power(p, c, 0xFF)),
        SEND("", VISCA_set_nr_2d3d(p, c, 1, 0xFF)),
        SEND("", VISCA_set_pantilt_absolute_position(p, c, 1, 0x2FF, 0, 0)),
        SEND("", VISCA_get_register(p, c, 0xFF, &o.b)),
        SEND("", (o.title.blink = 0xFF, VISCA_set_title_params(p, c, &o.title))),
    };
    // clang-format on
    return cases;
}

// ---- Decoding

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
#define ONE(function, Type) [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        Type a = sentinel<Type>(); const uint32_t result = function(p, c, &a); o.add(a); return result; }
#define TWO(function, TypeA, TypeB) [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        TypeA a = sentinel<TypeA>(); TypeB b = sentinel<TypeB>(); \
        const uint32_t result = function(p, c, &a, &b); o.add(a); o.add(b); return result; }
#define REGISTER(function, Type, number) [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        Type a = sentinel<Type>(); const uint32_t result = function(p, c, number, &a); o.add(a); return result; }
#define OBJECT [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        uint8_t a = sentinel<uint8_t>(), b = sentinel<uint8_t>(), s = sentinel<uint8_t>(); \
        const uint32_t result = VISCA_get_at_obj_pos(p, c, &a, &b, &s); o.add(a); o.add(b); o.add(s); return result; }
#define VERSION_OF [](ViscaPort* p, ViscaCameraInfo* c, Outputs& o) -> uint32_t { \
        c->vendor = c->model = c->rom_version = c->socket_num = sentinel<uint32_t>(); \
        const uint32_t result = VISCA_get_camera_info(p, c); \
        o.add(c->vendor); o.add(c->model); o.add(c->rom_version); o.add(c->socket_num); return result; }
// clang-format on

const std::vector<DecodeCase>& decodeCases()
{
    static const std::vector<DecodeCase> cases = {
        // Words: (r[2] << 12) + (r[3] << 8) + (r[4] << 4) + r[5] on whole bytes, kept to 16 bits.
        { "zoom 16 bits", ONE(VISCA_get_zoom_value, uint16_t), "90 50 11 02 03 04 FF", { 0x1234 } },
        { "power, acknowledged first", ONE(VISCA_get_power, uint8_t), "90 41 FF 90 50 02 FF", { 2 } },
        { "2D 3D noise reduction", TWO(VISCA_get_nr_2d3d, uint8_t, uint8_t), "90 50 12 34 FF", { 0x12, 0x34 } },
        // Camera registers: (r[2] << 4) + r[3] on whole bytes, kept to 8 bits.
        { "register 8 bits", REGISTER(VISCA_get_register, uint8_t, 0x00), "90 50 12 03 FF", { 0x23 } },
        // Nibble values: only the low nibbles count.
        { "user register", REGISTER(VISCA_get_user_register, uint16_t, 0), "90 50 60 13 24 31 FF", { 0x0341 } },
        { "gamma pattern", ONE(VISCA_get_gamma_pattern, uint16_t), "90 50 1A 2B 3C FF", { 0xABC } },
        { "temperature", ONE(VISCA_get_temperture, uint8_t), "90 50 07 07 32 F9 FF", { 41 } },
        { "spot focus", TWO(VISCA_get_spot_focus_pos, uint8_t, uint8_t), "90 50 13 2C 30 45 FF", { 60, 5 } },
        { "spot exposure", TWO(VISCA_get_spot_ae_pos, uint8_t, uint8_t), "90 50 00 0F 00 01 FF", { 15, 1 } },
        { "detection Y level", ONE(VISCA_get_md_ylevel, uint8_t), "90 50 00 1A FF", { 0x0A } },
        { "tracking object", OBJECT, "90 50 05 06 17 FF", { 5, 6, 7 } },
        { "pan-tilt speeds", TWO(VISCA_get_pantilt_maxspeed, uint8_t, uint8_t), "90 50 18 14 FF", { 0x18, 0x14 } },
        { "pan-tilt mode", ONE(VISCA_get_pantilt_mode, uint16_t), "90 50 12 34 FF", { 0x1234 } },
        // ePTZ: the sign byte r[2] decides, x in r[4..7], y in r[8..11] and never negative.
        { "ePTZ", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 0C FF",
            { 960, 540 } },
        { "ePTZ sign byte", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 01 00 00 00 00 05 0F 0F 0F 0F FF",
            { 5 - 65536, 0xFFFF } },
        // Gamma offset: sign nibble r[5], magnitude r[6] r[7].
        { "gamma offset -20", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 11 01 04 FF", { -20 } },
        { "gamma offset high nibble", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 10 0F 0F FF", { 255 } },
        // Pan-tilt: pan signed by r[2], tilt negative from 32768.
        { "pan-tilt", TWO(VISCA_get_pantilt_position, int32_t, int32_t), "90 50 01 0F 0F 0F 0B 08 00 00 00 FF",
            { -5, -32768 } },
        { "pan-tilt positive", TWO(VISCA_get_pantilt_position, int32_t, int32_t), "90 50 00 0F 0F 0F 0F 07 0F 0F 0F FF",
            { 0xFFFF, 0x7FFF } },
        // The version: big-endian pairs, then the socket count.
        { "version", VERSION_OF, "90 50 12 34 56 78 9A BC DE FF", { 0x1234, 0x5678, 0x9ABC, 0xDE } },
        { "version of 9 bytes", VERSION_OF, "90 50 00 20 04 0B 01 02 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "version of 11 bytes", VERSION_OF, "90 50 00 20 04 0B 01 02 03 04 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "version error reply", VERSION_OF, "90 60 00 20 04 0B 01 02 03 FF", {}, VISCA_ERROR_ERROR_REPLY },

        // Failures leave the outputs as they were.
        { "error reply after acknowledgement", ONE(VISCA_get_power, uint8_t), "90 41 FF 90 60 41 FF", {},
            VISCA_ERROR_ERROR_REPLY },
        { "error reply long enough to decode", TWO(VISCA_get_ept_position, int32_t, uint32_t),
            "90 60 00 00 00 03 0C 00 00 02 01 0C FF", {}, VISCA_ERROR_ERROR_REPLY },
        { "address reply", ONE(VISCA_get_power, uint8_t), "90 30 02 FF", {}, VISCA_ERROR_ERROR_REPLY },
        { "unknown reply type", ONE(VISCA_get_power, uint8_t), "90 20 02 FF", {}, VISCA_ERROR_REPLY_TYPE },
        { "two-byte packet", ONE(VISCA_get_power, uint8_t), "90 FF", {}, VISCA_ERROR_MALFORMED },
        // One byte short of what each decode reads.
        { "word short", ONE(VISCA_get_zoom_value, uint16_t), "90 50 00 00 00 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "byte short", ONE(VISCA_get_power, uint8_t), "90 50 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "register short", REGISTER(VISCA_get_register, uint8_t, 0x72), "90 50 01 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "user register short", REGISTER(VISCA_get_user_register, uint16_t, 1), "90 50 00 03 04 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "ePTZ short", TWO(VISCA_get_ept_position, int32_t, uint32_t), "90 50 00 00 00 03 0C 00 00 02 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "gamma offset short", ONE(VISCA_get_gamma_offset, int16_t), "90 50 00 00 00 01 01 FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "temperature short", ONE(VISCA_get_temperture, uint8_t), "90 50 00 00 02 FF", {}, VISCA_ERROR_SHORT_REPLY },
        { "pan-tilt short", TWO(VISCA_get_pantilt_position, int32_t, int32_t), "90 50 01 0F 0F 0F 0B 0F 0F 0F FF", {},
            VISCA_ERROR_SHORT_REPLY },
        { "object short", OBJECT, "90 50 05 06 FF", {}, VISCA_ERROR_SHORT_REPLY },
    };
    return cases;
}

} // namespace

Q_DECLARE_METATYPE(const EncodeCase*)
Q_DECLARE_METATYPE(const DecodeCase*)

class TestViscaPackets : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void titleRefusedHalfway();
    void camerasOnTheChain();
    void closedPort();
};

void TestViscaPackets::encode_data()
{
    QTest::addColumn<const EncodeCase*>("testCase");
    for (const EncodeCase& testCase : encodeCases())
        QTest::newRow(testCase.name) << &testCase;
}

void TestViscaPackets::encode()
{
    QFETCH(const EncodeCase*, testCase);
    Link link(7);
    QVERIFY(link.isOpen());
    link.camera.address = testCase->camera;
    link.port.broadcast = testCase->broadcast;
    link.port.address = testCase->controller;
    QList<QByteArray> expected;
    for (const QString& body : QString::fromLatin1(testCase->bodies).split(QLatin1Char('|'), Qt::SkipEmptyParts))
        expected.append(char(testCase->header) + hexBytes(qPrintable(body)) + char(0xFF));

    Scratch scratch;
    scratch.title = titleData();
    const uint32_t result = testCase->call(&link.port, &link.camera, scratch);
    QCOMPARE(hexString(viscatest::wire(link.sim)), hexString(expected.join()));
    QCOMPARE(link.sim.received().size(), expected.size());
    if (!expected.isEmpty()) {
        QCOMPARE(result, VISCA_SUCCESS);
        return;
    }
    QCOMPARE(result, VISCA_FAILURE);
    QCOMPARE(link.port.last_error, uint32_t(VISCA_ERROR_REFUSED));
    // Nothing half-written is left on the line: the next exchange reads its own reply.
    link.camera.address = 1;
    link.port.broadcast = 0;
    link.port.address = 0;
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(link.sim.received(), QList<QByteArray> { hexBytes("81 09 04 00 FF") });
}

void TestViscaPackets::decode_data()
{
    QTest::addColumn<const DecodeCase*>("testCase");
    for (const DecodeCase& testCase : decodeCases())
        QTest::newRow(testCase.name) << &testCase;
}

void TestViscaPackets::decode()
{
    QFETCH(const DecodeCase*, testCase);
    Link link;
    QVERIFY(link.isOpen());
    link.sim.addFault(CamSim::Rule(CamSim::Fault::Raw).bytes(hexBytes(testCase->reply)).times(1));

    Outputs outputs;
    const uint32_t result = testCase->get(&link.port, &link.camera, outputs);
    QCOMPARE(outputs.values, testCase->expected.isEmpty() ? outputs.sentinels : testCase->expected);
    QCOMPARE(result, testCase->expected.isEmpty() ? VISCA_FAILURE : VISCA_SUCCESS);
    QCOMPARE(link.port.last_error, testCase->error);
}

void TestViscaPackets::titleRefusedHalfway()
{
    // A 0xFF among characters 10..19 stops the second packet only.
    Link link;
    QVERIFY(link.isOpen());
    ViscaTitleData title = titleData();
    title.title[15] = 0xFF;
    QCOMPARE(VISCA_set_title(&link.port, &link.camera, &title), VISCA_FAILURE);
    QCOMPARE(
        hexString(viscatest::wire(link.sim)), hexString(hexBytes("81 01 04 73 01 41 42 43 44 45 46 47 48 49 4A FF")));
}

void TestViscaPackets::camerasOnTheChain()
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
}

void TestViscaPackets::closedPort()
{
    ViscaPort port {};
    ViscaCameraInfo camera {};
    camera.address = 1;
    for (int32_t fd : { -1, 0 }) {
        port.fd = fd;
        uint16_t zoom = 0xBEEF;
        QCOMPARE(VISCA_set_zoom_value(&port, &camera, 0x1234), VISCA_FAILURE);
        QCOMPARE(port.last_error, uint32_t(VISCA_ERROR_CLOSED));
        QCOMPARE(VISCA_get_zoom_value(&port, &camera, &zoom), VISCA_FAILURE);
        QCOMPARE(zoom, uint16_t(0xBEEF));
        QCOMPARE(VISCA_get_camera_info(&port, &camera), VISCA_FAILURE);
        QCOMPARE(port.last_error, uint32_t(VISCA_ERROR_CLOSED));
    }
}

QUV_TEST_MAIN(TestViscaPackets)
#include "test_viscapackets.moc"
