// The bytes every command and inquiry puts on the wire, the header byte for
// each addressing mode, and the packets the library refuses to send.

#include "viscalink.h"

#include "quvtest.h"
#include "visca/visca.h"

#include <functional>
#include <vector>

using quvtest::hexBytes;
using quvtest::hexString;
using viscatest::Link;

namespace {

using Call = std::function<uint32_t(ViscaPort*, ViscaCameraInfo*)>;

struct EncodeCase
{
    const char* name;
    Call call;
    const char* bytes; // every packet on the wire, headers and terminators included
    int32_t camera = 1;
    uint32_t broadcast = 0;
    uint32_t controller = 0;
};

// clang-format off
#define SEND(expression, bytes) \
    EncodeCase { #expression, [](ViscaPort* p, ViscaCameraInfo* c) -> uint32_t { return expression; }, bytes }
// A call whose arguments need statements first.
#define RUN(name, bytes, ...) \
    EncodeCase { name, [](ViscaPort* p, ViscaCameraInfo* c) -> uint32_t { __VA_ARGS__ }, bytes }
#define GET(function, Type, bytes) RUN(#function, bytes, Type a {}; return function(p, c, &a);)
#define GET2(function, Type, bytes) RUN(#function, bytes, Type a {}; Type b {}; return function(p, c, &a, &b);)
#define GET3(function, bytes) RUN(#function, bytes, uint8_t a = 0, b = 0, s = 0; return function(p, c, &a, &b, &s);)
// The same power command under another header.
#define HEADER(name, bytes, camera, broadcast, controller) \
    EncodeCase { name, [](ViscaPort* p, ViscaCameraInfo* c) { return VISCA_set_power(p, c, 2); }, bytes, camera, \
        broadcast, controller }
// clang-format on

ViscaTitleData titleData()
{
    ViscaTitleData title {};
    title.vposition = 1;
    title.hposition = 2;
    title.color = 3;
    title.blink = 0x104; // only the low byte goes
    const char text[] = "ABCDEFGHIJKLMNOPQRST";
    for (int i = 0; i < 20; ++i)
        title.title[i] = static_cast<unsigned char>(text[i]);
    return title;
}

const std::vector<EncodeCase>& encodeCases()
{
    static const std::vector<EncodeCase> cases = {
        // Used by the camera layer.
        SEND(VISCA_clear(p, c), "81 01 00 01 FF"),
        SEND(VISCA_get_camera_info(p, c), "81 09 00 02 FF"),
        SEND(VISCA_set_power(p, c, 2), "81 01 04 00 02 FF"),
        SEND(VISCA_set_power(p, c, 3), "81 01 04 00 03 FF"),
        GET(VISCA_get_power, uint8_t, "81 09 04 00 FF"),
        SEND(VISCA_set_dzoom(p, c, 2), "81 01 04 06 02 FF"),
        SEND(VISCA_set_dzoom(p, c, 0x103), "81 01 04 06 03 FF"),
        GET(VISCA_get_dzoom, uint8_t, "81 09 04 06 FF"),
        SEND(VISCA_set_zoom_stop(p, c), "81 01 04 07 00 FF"),
        SEND(VISCA_set_zoom_tele_speed(p, c, 3), "81 01 04 07 23 FF"),
        SEND(VISCA_set_zoom_tele_speed(p, c, 9), "81 01 04 07 21 FF"),
        SEND(VISCA_set_zoom_wide_speed(p, c, 2), "81 01 04 07 32 FF"),
        SEND(VISCA_set_zoom_wide_speed(p, c, 0xFF), "81 01 04 07 37 FF"),
        SEND(VISCA_set_zoom_value(p, c, 0x4000), "81 01 04 47 04 00 00 00 FF"),
        SEND(VISCA_set_zoom_value(p, c, 0x12345), "81 01 04 47 02 03 04 05 FF"),
        SEND(VISCA_set_zoom_value(p, c, 0xFFFF), "81 01 04 47 0F 0F 0F 0F FF"),
        GET(VISCA_get_zoom_value, uint16_t, "81 09 04 47 FF"),
        SEND(VISCA_set_focus_value(p, c, 0xABCD), "81 01 04 48 0A 0B 0C 0D FF"),
        GET(VISCA_get_focus_value, uint16_t, "81 09 04 48 FF"),
        SEND(VISCA_set_focus_auto(p, c, 2), "81 01 04 38 02 FF"),
        SEND(VISCA_set_focus_auto(p, c, 0x10), "81 01 04 38 10 FF"),
        GET(VISCA_get_focus_auto, uint8_t, "81 09 04 38 FF"),
        SEND(VISCA_set_whitebal_mode(p, c, 0x105), "81 01 04 35 05 FF"),
        GET(VISCA_get_whitebal_mode, uint8_t, "81 09 04 35 FF"),
        SEND(VISCA_set_whitebal_one_push(p, c), "81 01 04 10 05 FF"),
        SEND(VISCA_set_rgain_reset(p, c), "81 01 04 03 00 FF"),
        SEND(VISCA_set_rgain_value(p, c, 0x0123), "81 01 04 43 00 01 02 03 FF"),
        GET(VISCA_get_rgain_value, uint16_t, "81 09 04 43 FF"),
        SEND(VISCA_set_bgain_reset(p, c), "81 01 04 04 00 FF"),
        SEND(VISCA_set_bgain_value(p, c, 0xFEDC), "81 01 04 44 0F 0E 0D 0C FF"),
        GET(VISCA_get_bgain_value, uint16_t, "81 09 04 44 FF"),
        SEND(VISCA_set_shutter_value(p, c, 0x115), "81 01 04 4A 00 01 01 05 FF"),
        GET(VISCA_get_shutter_value, uint16_t, "81 09 04 4A FF"),
        SEND(VISCA_set_iris_value(p, c, 0x0D), "81 01 04 4B 00 00 00 0D FF"),
        GET(VISCA_get_iris_value, uint16_t, "81 09 04 4B FF"),
        SEND(VISCA_set_gain_value(p, c, 0x1F), "81 01 04 4C 00 00 01 0F FF"),
        GET(VISCA_get_gain_value, uint16_t, "81 09 04 4C FF"),
        SEND(VISCA_set_bright_value(p, c, 0x10007), "81 01 04 4D 00 00 00 07 FF"),
        GET(VISCA_get_bright_value, uint16_t, "81 09 04 4D FF"),
        SEND(VISCA_set_exp_comp_power(p, c, 2), "81 01 04 3E 02 FF"),
        GET(VISCA_get_exp_comp_power, uint8_t, "81 09 04 3E FF"),
        SEND(VISCA_set_exp_comp_value(p, c, 0x0E), "81 01 04 4E 00 00 00 0E FF"),
        GET(VISCA_get_exp_comp_value, uint16_t, "81 09 04 4E FF"),
        SEND(VISCA_set_auto_exp_mode(p, c, 0x0B), "81 01 04 39 0B FF"),
        GET(VISCA_get_auto_exp_mode, uint8_t, "81 09 04 39 FF"),
        SEND(VISCA_set_backlight_comp(p, c, 2), "81 01 04 33 02 FF"),
        GET(VISCA_get_backlight_comp, uint8_t, "81 09 04 33 FF"),
        SEND(VISCA_set_mirror(p, c, 3), "81 01 04 61 03 FF"),
        GET(VISCA_get_mirror, uint8_t, "81 09 04 61 FF"),
        SEND(VISCA_set_display(p, c, 2), "81 01 04 15 02 FF"),
        GET(VISCA_get_display, uint8_t, "81 09 04 15 FF"),
        SEND(VISCA_set_cam_stabilizer(p, c, 2), "81 01 04 34 02 FF"),
        SEND(VISCA_memory_reset(p, c, 5), "81 01 04 3F 00 05 FF"),
        SEND(VISCA_memory_set(p, c, 15), "81 01 04 3F 01 0F FF"),
        SEND(VISCA_memory_recall(p, c, 0), "81 01 04 3F 02 00 FF"),
        SEND(VISCA_set_spot_ae_on(p, c), "81 01 04 59 02 FF"),
        SEND(VISCA_set_spot_ae_off(p, c), "81 01 04 59 03 FF"),
        SEND(VISCA_set_spot_ae_position(p, c, 0x3C, 5), "81 01 04 29 03 0C 00 05 FF"),
        SEND(VISCA_set_spot_ae_position(p, c, 0xF0, 0x0F), "81 01 04 29 0F 00 00 0F FF"),
        SEND(VISCA_set_camera_id(p, c, 5), "81 01 04 22 00 00 00 05 FF"),
        SEND(VISCA_set_camera_id(p, c, 0x1234), "81 01 04 22 01 02 03 04 FF"),
        GET(VISCA_get_id, uint16_t, "81 09 04 22 FF"),
        SEND(VISCA_set_register(p, c, 0x72, 0x1A), "81 01 04 24 72 01 0A FF"),
        SEND(VISCA_set_register(p, c, 0x00, 0xF0), "81 01 04 24 00 0F 00 FF"),
        RUN("VISCA_get_register 0x60", "81 09 04 24 60 FF", uint8_t a = 0; return VISCA_get_register(p, c, 0x60, &a);),

        // Camera-specific extensions.
        SEND(VISCA_set_ept_onoff(p, c, 2), "81 01 7E 06 00 02 FF"),
        GET(VISCA_get_ept_onoff, uint8_t, "81 09 7E 06 00 FF"),
        SEND(VISCA_set_ept_position(p, c, 960, 540), "81 01 7E 06 20 00 00 00 03 0C 00 00 02 01 0C FF"),
        SEND(VISCA_set_ept_position(p, c, uint32_t(-5), 0x10003), "81 01 7E 06 20 00 00 0F 0F 0F 0B 00 00 00 03 FF"),
        RUN("VISCA_get_ept_position", "81 09 7E 06 20 FF",
            int32_t x = 0; uint32_t y = 0; return VISCA_get_ept_position(p, c, &x, &y);),
        SEND(VISCA_set_reset(p, c), "81 01 04 19 03 FF"),
        GET(VISCA_get_cam_stabilizer, uint8_t, "81 09 04 34 FF"),
        SEND(VISCA_set_noise_reduction(p, c, 3), "81 01 04 53 03 FF"),
        GET(VISCA_get_noise_reduction, uint8_t, "81 09 04 53 FF"),
        SEND(VISCA_set_nr_2d3d(p, c, 2, 5), "81 01 05 53 02 05 FF"),
        GET2(VISCA_get_nr_2d3d, uint8_t, "81 09 05 53 FF"),
        SEND(VISCA_set_noise_reduction_2d3d(p, c, 1, 0x40), "81 01 04 53 01 40 FF"),
        GET2(VISCA_get_noise_reduction_2d3d, uint8_t, "81 09 04 53 FF"),
        SEND(VISCA_set_icr(p, c, 2), "81 01 04 01 02 FF"),
        GET(VISCA_get_icr, uint8_t, "81 09 04 01 FF"),
        SEND(VISCA_set_pictureflip(p, c, 2), "81 01 04 66 02 FF"),
        GET(VISCA_get_pictureflip, uint8_t, "81 09 04 66 FF"),
        SEND(VISCA_set_colorbar(p, c, 2), "81 01 7E 04 7D 02 FF"),
        GET(VISCA_get_colorbar, uint8_t, "81 09 7E 04 7D FF"),
        SEND(VISCA_lens_initialize(p, c), "81 01 04 19 01 FF"),
        SEND(VISCA_set_mute(p, c, 2), "81 01 04 75 02 FF"),
        GET(VISCA_get_mute, uint8_t, "81 09 04 75 FF"),
        SEND(VISCA_set_spot_focus_on(p, c, 2), "81 01 05 08 02 FF"),
        GET(VISCA_get_spot_focus_on, uint8_t, "81 09 05 08 FF"),
        SEND(VISCA_set_spot_focus_pos(p, c, 0x3C, 5), "81 01 05 68 03 0C 00 05 FF"),
        GET2(VISCA_get_spot_focus_pos, uint8_t, "81 09 05 68 FF"),
        GET(VISCA_get_spot_ae_on, uint8_t, "81 09 04 59 FF"),
        GET2(VISCA_get_spot_ae_pos, uint8_t, "81 09 04 29 FF"),
        GET(VISCA_get_temperture, uint8_t, "81 09 04 68 FF"),
        SEND(VISCA_set_gamma_mode(p, c, 4), "81 01 04 5B 04 FF"),
        GET(VISCA_get_gamma_mode, uint8_t, "81 09 04 5B FF"),
        SEND(VISCA_set_gamma_pattern(p, c, 0x1ABC), "81 01 05 5B 0A 0B 0C FF"),
        SEND(VISCA_set_gamma_pattern(p, c, 0x0123), "81 01 05 5B 01 02 03 FF"),
        GET(VISCA_get_gamma_pattern, uint16_t, "81 09 05 5B FF"),
        SEND(VISCA_set_gamma_offset(p, c, -20), "81 01 04 1E 00 00 00 01 01 04 FF"),
        SEND(VISCA_set_gamma_offset(p, c, 20), "81 01 04 1E 00 00 00 00 01 04 FF"),
        SEND(VISCA_set_gamma_offset(p, c, 0), "81 01 04 1E 00 00 00 00 00 00 FF"),
        SEND(VISCA_set_gamma_offset(p, c, 255), "81 01 04 1E 00 00 00 00 0F 0F FF"),
        SEND(VISCA_set_gamma_offset(p, c, -255), "81 01 04 1E 00 00 00 01 0F 0F FF"),
        SEND(VISCA_set_gamma_offset(p, c, 300), "81 01 04 1E 00 00 00 00 02 0C FF"),
        SEND(VISCA_set_gamma_offset(p, c, -300), "81 01 04 1E 00 00 00 01 02 0C FF"),
        GET(VISCA_get_gamma_offset, int16_t, "81 09 04 1E FF"),
        SEND(VISCA_set_user_register(p, c, 2, 0x0341), "81 01 04 23 02 00 03 04 01 FF"),
        SEND(VISCA_set_user_register(p, c, 0, 0xFFFF), "81 01 04 23 00 0F 0F 0F 0F FF"),
        RUN("VISCA_get_user_register 1", "81 09 04 23 01 FF",
            uint16_t a = 0; return VISCA_get_user_register(p, c, 1, &a);),

        // The rest of the standard set.
        SEND(VISCA_set_keylock(p, c, 2), "81 01 04 17 02 FF"),
        GET(VISCA_get_keylock, uint8_t, "81 09 04 17 FF"),
        SEND(VISCA_set_zoom_tele(p, c), "81 01 04 07 02 FF"),
        SEND(VISCA_set_zoom_wide(p, c), "81 01 04 07 03 FF"),
        SEND(VISCA_set_zoom_and_focus_value(p, c, 0x1234, 0x1ABCD), "81 01 04 47 01 02 03 04 0A 0B 0C 0D FF"),
        SEND(VISCA_set_dzoom_limit(p, c, 3), "81 01 04 26 03 FF"),
        GET(VISCA_get_dzoom_limit, uint8_t, "81 09 04 26 FF"),
        SEND(VISCA_set_dzoom_mode(p, c, 1), "81 01 04 36 01 FF"),
        SEND(VISCA_set_focus_far(p, c), "81 01 04 08 02 FF"),
        SEND(VISCA_set_focus_near(p, c), "81 01 04 08 03 FF"),
        SEND(VISCA_set_focus_stop(p, c), "81 01 04 08 00 FF"),
        SEND(VISCA_set_focus_far_speed(p, c, 5), "81 01 04 08 25 FF"),
        SEND(VISCA_set_focus_far_speed(p, c, 9), "81 01 04 08 21 FF"),
        SEND(VISCA_set_focus_near_speed(p, c, 7), "81 01 04 08 37 FF"),
        SEND(VISCA_set_focus_near_speed(p, c, 8), "81 01 04 08 30 FF"),
        SEND(VISCA_set_focus_one_push(p, c), "81 01 04 18 01 FF"),
        SEND(VISCA_set_focus_infinity(p, c), "81 01 04 18 02 FF"),
        SEND(VISCA_set_focus_autosense_high(p, c), "81 01 04 58 02 FF"),
        SEND(VISCA_set_focus_autosense_low(p, c), "81 01 04 58 03 FF"),
        GET(VISCA_get_focus_auto_sense, uint8_t, "81 09 04 58 FF"),
        SEND(VISCA_set_focus_near_limit(p, c, 0x1000), "81 01 04 28 01 00 00 00 FF"),
        GET(VISCA_get_focus_near_limit, uint16_t, "81 09 04 28 FF"),
        SEND(VISCA_set_rgain_up(p, c), "81 01 04 03 02 FF"),
        SEND(VISCA_set_rgain_down(p, c), "81 01 04 03 03 FF"),
        SEND(VISCA_set_bgain_up(p, c), "81 01 04 04 02 FF"),
        SEND(VISCA_set_bgain_down(p, c), "81 01 04 04 03 FF"),
        SEND(VISCA_set_shutter_up(p, c), "81 01 04 0A 02 FF"),
        SEND(VISCA_set_shutter_down(p, c), "81 01 04 0A 03 FF"),
        SEND(VISCA_set_shutter_reset(p, c), "81 01 04 0A 00 FF"),
        SEND(VISCA_set_iris_up(p, c), "81 01 04 0B 02 FF"),
        SEND(VISCA_set_iris_down(p, c), "81 01 04 0B 03 FF"),
        SEND(VISCA_set_iris_reset(p, c), "81 01 04 0B 00 FF"),
        SEND(VISCA_set_gain_up(p, c), "81 01 04 0C 02 FF"),
        SEND(VISCA_set_gain_down(p, c), "81 01 04 0C 03 FF"),
        SEND(VISCA_set_gain_reset(p, c), "81 01 04 0C 00 FF"),
        SEND(VISCA_set_bright_up(p, c), "81 01 04 0D 02 FF"),
        SEND(VISCA_set_bright_down(p, c), "81 01 04 0D 03 FF"),
        SEND(VISCA_set_bright_reset(p, c), "81 01 04 0D 00 FF"),
        SEND(VISCA_set_aperture_up(p, c), "81 01 04 02 02 FF"),
        SEND(VISCA_set_aperture_down(p, c), "81 01 04 02 03 FF"),
        SEND(VISCA_set_aperture_reset(p, c), "81 01 04 02 00 FF"),
        SEND(VISCA_set_exp_comp_up(p, c), "81 01 04 0E 02 FF"),
        SEND(VISCA_set_exp_comp_down(p, c), "81 01 04 0E 03 FF"),
        SEND(VISCA_set_exp_comp_reset(p, c), "81 01 04 0E 00 FF"),
        SEND(VISCA_set_aperture_value(p, c, 0x0F), "81 01 04 42 00 00 00 0F FF"),
        GET(VISCA_get_aperture_value, uint16_t, "81 09 04 42 FF"),
        SEND(VISCA_set_slow_shutter_auto(p, c, 2), "81 01 04 5A 02 FF"),
        GET(VISCA_get_slow_shutter_auto, uint8_t, "81 09 04 5A FF"),
        SEND(VISCA_set_zero_lux_shot(p, c, 2), "81 01 04 01 02 FF"),
        GET(VISCA_get_zero_lux_shot, uint8_t, "81 09 04 01 FF"),
        SEND(VISCA_set_ir_led(p, c, 2), "81 01 04 31 02 FF"),
        GET(VISCA_get_ir_led, uint8_t, "81 09 04 31 FF"),
        SEND(VISCA_set_wide_mode(p, c, 1), "81 01 04 60 01 FF"),
        GET(VISCA_get_wide_mode, uint8_t, "81 09 04 60 FF"),
        SEND(VISCA_set_freeze(p, c, 2), "81 01 04 62 02 FF"),
        GET(VISCA_get_freeze, uint8_t, "81 09 04 62 FF"),
        SEND(VISCA_set_picture_effect(p, c, 4), "81 01 04 63 04 FF"),
        GET(VISCA_get_picture_effect, uint8_t, "81 09 04 63 FF"),
        SEND(VISCA_set_digital_effect(p, c, 2), "81 01 04 64 02 FF"),
        GET(VISCA_get_digital_effect, uint8_t, "81 09 04 64 FF"),
        SEND(VISCA_set_digital_effect_level(p, c, 0x20), "81 01 04 65 20 FF"),
        GET(VISCA_get_digital_effect_level, uint16_t, "81 09 04 65 FF"),
        SEND(VISCA_set_date_display(p, c, 2), "81 01 04 71 02 FF"),
        SEND(VISCA_set_time_display(p, c, 3), "81 01 04 72 03 FF"),
        SEND(VISCA_set_title_display(p, c, 2), "81 01 04 74 02 FF"),
        SEND(VISCA_set_title_clear(p, c), "81 01 04 74 00 FF"),
        GET(VISCA_get_memory, uint8_t, "81 09 04 3F FF"),
        SEND(VISCA_set_date_time(p, c, 24, 3, 15, 9, 41), "81 01 04 70 02 04 00 03 01 05 00 09 04 01 FF"),
        SEND(VISCA_set_date_time(p, c, 99, 12, 31, 23, 59), "81 01 04 70 09 09 01 02 03 01 02 03 05 09 FF"),
        RUN("VISCA_set_title_params", "81 01 04 73 00 01 02 03 04 00 00 00 00 00 00 FF",
            const ViscaTitleData title = titleData(); return VISCA_set_title_params(p, c, &title);),
        RUN("VISCA_set_title", "81 01 04 73 01 41 42 43 44 45 46 47 48 49 4A FF"
                               "81 01 04 73 02 4B 4C 4D 4E 4F 50 51 52 53 54 FF",
            const ViscaTitleData title = titleData(); return VISCA_set_title(p, c, &title);),
        SEND(VISCA_set_irreceive_on(p, c), "81 01 06 08 02 FF"),
        SEND(VISCA_set_irreceive_off(p, c), "81 01 06 08 03 FF"),
        SEND(VISCA_set_irreceive_onoff(p, c), "81 01 06 08 10 FF"),
        SEND(VISCA_set_datascreen_on(p, c), "81 01 06 06 02 FF"),
        SEND(VISCA_set_datascreen_off(p, c), "81 01 06 06 03 FF"),
        SEND(VISCA_set_datascreen_onoff(p, c), "81 01 06 06 10 FF"),
        GET(VISCA_get_datascreen, uint8_t, "81 09 06 06 FF"),
        SEND(VISCA_set_pantilt_up(p, c, 5, 7), "81 01 06 01 05 07 03 01 FF"),
        SEND(VISCA_set_pantilt_down(p, c, 5, 7), "81 01 06 01 05 07 03 02 FF"),
        SEND(VISCA_set_pantilt_left(p, c, 5, 7), "81 01 06 01 05 07 01 03 FF"),
        SEND(VISCA_set_pantilt_right(p, c, 5, 7), "81 01 06 01 05 07 02 03 FF"),
        SEND(VISCA_set_pantilt_upleft(p, c, 5, 7), "81 01 06 01 05 07 01 01 FF"),
        SEND(VISCA_set_pantilt_upright(p, c, 5, 7), "81 01 06 01 05 07 02 01 FF"),
        SEND(VISCA_set_pantilt_downleft(p, c, 5, 7), "81 01 06 01 05 07 01 02 FF"),
        SEND(VISCA_set_pantilt_downright(p, c, 5, 7), "81 01 06 01 05 07 02 02 FF"),
        SEND(VISCA_set_pantilt_stop(p, c, 0x118, 0x214), "81 01 06 01 18 14 03 03 FF"),
        SEND(VISCA_set_pantilt_absolute_position(p, c, 0x18, 0x14, 0x1234, 0xFE00),
             "81 01 06 02 18 14 01 02 03 04 0F 0E 00 00 FF"),
        SEND(VISCA_set_pantilt_relative_position(p, c, 1, 2, 0x10005, uint32_t(-5)),
             "81 01 06 03 01 02 00 00 00 05 0F 0F 0F 0B FF"),
        SEND(VISCA_set_pantilt_home(p, c), "81 01 06 04 FF"),
        SEND(VISCA_set_pantilt_reset(p, c), "81 01 06 05 FF"),
        SEND(VISCA_set_pantilt_limit_upright(p, c, 0x1234, 0x0567), "81 01 06 07 00 01 01 02 03 04 00 05 06 07 FF"),
        SEND(VISCA_set_pantilt_limit_downleft(p, c, 0x1234, 0x0567), "81 01 06 07 00 00 01 02 03 04 00 05 06 07 FF"),
        SEND(VISCA_set_pantilt_limit_downleft_clear(p, c, 0x7FFF, 0x8000),
             "81 01 06 07 01 00 07 0F 0F 0F 08 00 00 00 FF"),
        SEND(VISCA_set_pantilt_limit_upright_clear(p, c, 0x7FFF, 0x8000),
             "81 01 06 07 01 01 07 0F 0F 0F 08 00 00 00 FF"),
        GET(VISCA_get_videosystem, uint8_t, "81 09 06 23 FF"),
        GET(VISCA_get_pantilt_mode, uint16_t, "81 09 06 10 FF"),
        GET2(VISCA_get_pantilt_maxspeed, uint8_t, "81 09 06 11 FF"),
        GET2(VISCA_get_pantilt_position, int32_t, "81 09 06 12 FF"),
        SEND(VISCA_set_at_mode(p, c, 2), "81 01 07 01 02 FF"),
        SEND(VISCA_set_at_mode_onoff(p, c), "81 01 07 01 10 FF"),
        SEND(VISCA_set_at_ae(p, c, 3), "81 01 07 02 03 FF"),
        SEND(VISCA_set_at_ae_onoff(p, c), "81 01 07 02 10 FF"),
        SEND(VISCA_set_at_autozoom(p, c, 2), "81 01 07 03 02 FF"),
        SEND(VISCA_set_at_autozoom_onoff(p, c), "81 01 07 03 10 FF"),
        SEND(VISCA_set_atmd_framedisplay(p, c, 2), "81 01 07 04 02 FF"),
        SEND(VISCA_set_atmd_framedisplay_onoff(p, c), "81 01 07 04 10 FF"),
        SEND(VISCA_set_at_frameoffset(p, c, 2), "81 01 07 05 02 FF"),
        SEND(VISCA_set_at_frameoffset_onoff(p, c), "81 01 07 05 10 FF"),
        SEND(VISCA_set_atmd_startstop(p, c), "81 01 07 06 10 FF"),
        SEND(VISCA_set_at_chase(p, c, 2), "81 01 07 07 02 FF"),
        SEND(VISCA_set_at_chase_next(p, c), "81 01 07 07 10 FF"),
        SEND(VISCA_set_md_mode(p, c, 2), "81 01 07 08 02 FF"),
        SEND(VISCA_set_md_mode_onoff(p, c), "81 01 07 08 10 FF"),
        SEND(VISCA_set_md_detect(p, c), "81 01 07 0A 10 FF"),
        SEND(VISCA_set_at_entry(p, c, 3), "81 01 07 15 03 FF"),
        SEND(VISCA_set_md_measure_mode1(p, c, 2), "81 01 07 27 02 FF"),
        SEND(VISCA_set_md_measure_mode1_onoff(p, c), "81 01 07 27 10 FF"),
        SEND(VISCA_set_md_measure_mode2(p, c, 3), "81 01 07 28 03 FF"),
        SEND(VISCA_set_md_measure_mode2_onoff(p, c), "81 01 07 28 10 FF"),
        SEND(VISCA_set_md_frame(p, c), "81 01 07 09 FF"),
        SEND(VISCA_set_md_adjust_ylevel(p, c, 5), "81 01 07 0B 00 05 FF"),
        SEND(VISCA_set_md_adjust_huelevel(p, c, 6), "81 01 07 0C 00 06 FF"),
        SEND(VISCA_set_md_adjust_size(p, c, 7), "81 01 07 0D 00 07 FF"),
        SEND(VISCA_set_md_adjust_disptime(p, c, 8), "81 01 07 0F 00 08 FF"),
        SEND(VISCA_set_md_adjust_refmode(p, c, 1), "81 01 07 10 01 FF"),
        SEND(VISCA_set_md_adjust_reftime(p, c, 9), "81 01 07 11 00 09 FF"),
        SEND(VISCA_set_at_lostinfo(p, c), "81 01 06 20 07 20 FF"),
        SEND(VISCA_set_md_lostinfo(p, c), "81 01 06 20 07 21 FF"),
        SEND(VISCA_set_wide_con_lens(p, c, 1), "81 01 07 26 00 01 FF"),
        GET(VISCA_get_wide_con_lens, uint8_t, "81 09 04 26 FF"),
        GET(VISCA_get_atmd_mode, uint8_t, "81 09 07 22 FF"),
        GET(VISCA_get_at_mode, uint16_t, "81 09 07 23 FF"),
        GET(VISCA_get_md_mode, uint16_t, "81 09 07 24 FF"),
        GET(VISCA_get_at_entry, uint8_t, "81 09 07 15 FF"),
        GET(VISCA_get_md_refmode, uint8_t, "81 09 07 10 FF"),
        GET(VISCA_get_md_ylevel, uint8_t, "81 09 07 0B FF"),
        GET(VISCA_get_md_huelevel, uint8_t, "81 09 07 0C FF"),
        GET(VISCA_get_md_size, uint8_t, "81 09 07 0D FF"),
        GET(VISCA_get_md_disptime, uint8_t, "81 09 07 0F FF"),
        GET(VISCA_get_md_reftime, uint8_t, "81 09 07 11 FF"),
        GET3(VISCA_get_at_obj_pos, "81 09 07 20 FF"),
        GET3(VISCA_get_md_obj_pos, "81 09 07 21 FF"),

        // The header: controller address in the high nibble, camera address or broadcast in the low.
        HEADER("header camera 7", "87 01 04 00 02 FF", 7, 0, 0),
        EncodeCase {"header camera 3 interface clear", [](ViscaPort* p, ViscaCameraInfo* c) { return VISCA_clear(p, c); },
                    "83 01 00 01 FF", 3},
        HEADER("header broadcast", "88 01 04 00 02 FF", 5, 1, 0),
        HEADER("header controller 1", "91 01 04 00 02 FF", 1, 0, 1),
        HEADER("header controller 1 broadcast", "98 01 04 00 02 FF", 3, 1, 1),
        EncodeCase {"header broadcast inquiry",
                    [](ViscaPort* p, ViscaCameraInfo* c) -> uint32_t {
                        uint8_t power = 0;
                        return VISCA_get_power(p, c, &power);
                    },
                    "88 09 04 00 FF", 7, 1},
        EncodeCase {"header camera 3 title",
                    [](ViscaPort* p, ViscaCameraInfo* c) -> uint32_t {
                        const ViscaTitleData title = titleData();
                        return VISCA_set_title(p, c, &title);
                    },
                    "83 01 04 73 01 41 42 43 44 45 46 47 48 49 4A FF"
                    "83 01 04 73 02 4B 4C 4D 4E 4F 50 51 52 53 54 FF",
                    3},
    };
    return cases;
}

// Calls the library must refuse without writing anything (their bytes are unused).
const std::vector<EncodeCase>& refusalCases()
{
    static const std::vector<EncodeCase> cases
        = { HEADER("controller address 8", "", 1, 0, 8),
              HEADER("controller address 0xFFFFFFFF", "", 1, 0, 0xFFFFFFFF),
              HEADER("camera address 8", "", 8, 0, 0),
              HEADER("camera address -1", "", -1, 0, 0),
              HEADER("broadcast 2", "", 1, 2, 0),
              EncodeCase { "inquiry to camera address 8",
                  [](ViscaPort* p, ViscaCameraInfo* c) -> uint32_t {
                      uint16_t zoom = 0;
                      return VISCA_get_zoom_value(p, c, &zoom);
                  },
                  "", 8 },
              // A body byte 0xFF would end the packet early.
              SEND(VISCA_set_power(p, c, 0xFF), ""),
              SEND(VISCA_set_dzoom(p, c, 0x1FF), ""),
              SEND(VISCA_set_nr_2d3d(p, c, 1, 0xFF), ""),
              SEND(VISCA_set_pantilt_absolute_position(p, c, 1, 0x2FF, 0, 0), ""),
              RUN("VISCA_get_register 0xFF", "", uint8_t a = 0; return VISCA_get_register(p, c, 0xFF, &a);),
              RUN("VISCA_set_title_params blink 0xFF", "", ViscaTitleData title = titleData(); title.blink = 0xFF;
                  return VISCA_set_title_params(p, c, &title);),
          };
    return cases;
}

} // namespace

Q_DECLARE_METATYPE(const EncodeCase*)

class TestViscaEncode : public QObject
{
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void refusals_data();
    void refusals();
    void titleRefusedHalfway();
    void closedPort();
};

void TestViscaEncode::encode_data()
{
    QTest::addColumn<const EncodeCase*>("testCase");
    for (const EncodeCase& testCase : encodeCases())
        QTest::newRow(testCase.name) << &testCase;
}

void TestViscaEncode::encode()
{
    QFETCH(const EncodeCase*, testCase);
    Link link(7);
    QVERIFY(link.isOpen());
    link.camera.address = testCase->camera;
    link.port.broadcast = testCase->broadcast;
    link.port.address = testCase->controller;

    // The simulator answers every packet, inquiries with values of the lengths their decodes need.
    const uint32_t result = testCase->call(&link.port, &link.camera);
    QCOMPARE(hexString(viscatest::wire(link.sim)), hexString(hexBytes(testCase->bytes)));
    QCOMPARE(result, VISCA_SUCCESS);
}

void TestViscaEncode::refusals_data()
{
    QTest::addColumn<const EncodeCase*>("testCase");
    for (const EncodeCase& testCase : refusalCases())
        QTest::newRow(testCase.name) << &testCase;
}

void TestViscaEncode::refusals()
{
    QFETCH(const EncodeCase*, testCase);
    Link link;
    QVERIFY(link.isOpen());
    link.camera.address = testCase->camera;
    link.port.broadcast = testCase->broadcast;
    link.port.address = testCase->controller;

    const viscatest::Timed timed
        = viscatest::timedCall(link.sim, [&] { return testCase->call(&link.port, &link.camera); });
    QCOMPARE(timed.result, VISCA_FAILURE);
    QCOMPARE(link.port.last_error, uint32_t(VISCA_ERROR_REFUSED));

    // Nothing went out: the next packet on the line is the first one.
    link.camera.address = 1;
    link.port.broadcast = 0;
    link.port.address = 0;
    uint8_t power = 0;
    QCOMPARE(VISCA_get_power(&link.port, &link.camera, &power), VISCA_SUCCESS);
    QCOMPARE(hexString(viscatest::wire(link.sim)), hexString(hexBytes("81 09 04 00 FF")));
}

void TestViscaEncode::titleRefusedHalfway()
{
    // A 0xFF among characters 10..19 stops the second packet only; the sum of the two results is not 0.
    Link link;
    QVERIFY(link.isOpen());
    ViscaTitleData title = titleData();
    title.title[15] = 0xFF;
    QVERIFY(VISCA_set_title(&link.port, &link.camera, &title) != VISCA_SUCCESS);
    QCOMPARE(
        hexString(viscatest::wire(link.sim)), hexString(hexBytes("81 01 04 73 01 41 42 43 44 45 46 47 48 49 4A FF")));
}

void TestViscaEncode::closedPort()
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
    }
}

QUV_TEST_MAIN(TestViscaEncode)
#include "test_viscaencode.moc"
