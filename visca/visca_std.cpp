// The standard VISCA command set: one short function per command or inquiry,
// each a packet body on the shared builders.

#include "visca/visca_private.h"

namespace {

// Up, down and reset of the stepped values: 01 04 cc 02 / 03 / 00.
constexpr uint8_t STEP_RESET = 0x00;
constexpr uint8_t STEP_UP = 0x02;
constexpr uint8_t STEP_DOWN = 0x03;

// Toggles of the tracking and motion-detection modes: 01 07 cc 10.
constexpr uint8_t TOGGLE = 0x10;

uint32_t step(ViscaPort* port, ViscaCameraInfo* camera, uint8_t category, uint8_t direction)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, category, direction });
}

uint32_t panTiltDrive(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed,
    uint8_t pan_direction, uint8_t tilt_direction)
{
    return _VISCA_command(port, camera,
        ViscaBody { 0x01, 0x06, 0x01 }.byte(pan_speed).byte(tilt_speed).byte(pan_direction).byte(tilt_direction));
}

uint32_t panTiltPosition(ViscaPort* port, ViscaCameraInfo* camera, uint8_t command, uint32_t pan_speed,
    uint32_t tilt_speed, uint32_t pan_position, uint32_t tilt_position)
{
    return _VISCA_command(port, camera,
        ViscaBody { 0x01, 0x06, command }.byte(pan_speed).byte(tilt_speed).word(pan_position).word(tilt_position));
}

uint32_t panTiltLimit(
    ViscaPort* port, ViscaCameraInfo* camera, uint8_t a, uint8_t b, uint32_t pan_limit, uint32_t tilt_limit)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x06, 0x07, a, b }.word(pan_limit).word(tilt_limit));
}

// r[2] << 8 | r[3].
uint32_t getBytesAsWord(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint16_t* value)
{
    if (_VISCA_inquiry(port, camera, body, 5) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = uint16_t((port->ibuf[2] << 8) | port->ibuf[3]);
    return VISCA_SUCCESS;
}

// The motion-detection levels: r[3] & 0x0F.
uint32_t getLowNibbleOfR3(ViscaPort* port, ViscaCameraInfo* camera, uint8_t category, uint8_t* value)
{
    if (_VISCA_inquiry(port, camera, { 0x09, 0x07, category }, 5) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = port->ibuf[3] & 0x0F;
    return VISCA_SUCCESS;
}

// Object positions: r[2], r[3], r[4] & 0x0F.
uint32_t getObjectPosition(
    ViscaPort* port, ViscaCameraInfo* camera, uint8_t category, uint8_t* xpos, uint8_t* ypos, uint8_t* status)
{
    if (_VISCA_inquiry(port, camera, { 0x09, 0x07, category }, 6) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *xpos = port->ibuf[2];
    *ypos = port->ibuf[3];
    *status = port->ibuf[4] & 0x0F;
    return VISCA_SUCCESS;
}

} // namespace

// Used by the camera layer -------------------------------------------------

uint32_t VISCA_set_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x00, power });
}

uint32_t VISCA_get_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x00 }, power);
}

uint32_t VISCA_set_dzoom(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x06 }.byte(value));
}

uint32_t VISCA_get_dzoom(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* value)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x06 }, value);
}

uint32_t VISCA_set_zoom_stop(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x07, 0x00 });
}

uint32_t VISCA_set_zoom_tele_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x07 }.byte(0x20 | (speed & 0x07)));
}

uint32_t VISCA_set_zoom_wide_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x07 }.byte(0x30 | (speed & 0x07)));
}

uint32_t VISCA_set_zoom_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t zoom)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x47 }.word(zoom));
}

uint32_t VISCA_get_zoom_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* zoom)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x47 }, zoom);
}

uint32_t VISCA_set_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t focus)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x48 }.word(focus));
}

uint32_t VISCA_get_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* focus)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x48 }, focus);
}

uint32_t VISCA_set_focus_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x38, power });
}

uint32_t VISCA_get_focus_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x38 }, power);
}

uint32_t VISCA_set_whitebal_mode(ViscaPort* port, ViscaCameraInfo* camera, uint32_t mode)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x35 }.byte(mode));
}

uint32_t VISCA_get_whitebal_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x35 }, mode);
}

uint32_t VISCA_set_whitebal_one_push(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x10, 0x05 });
}

uint32_t VISCA_set_rgain_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x03, 0x00 });
}

uint32_t VISCA_set_rgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x43 }.word(value));
}

uint32_t VISCA_get_rgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x43 }, value);
}

uint32_t VISCA_set_bgain_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x04, 0x00 });
}

uint32_t VISCA_set_bgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x44 }.word(value));
}

uint32_t VISCA_get_bgain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x44 }, value);
}

uint32_t VISCA_set_shutter_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x4A }.word(value));
}

uint32_t VISCA_get_shutter_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x4A }, value);
}

uint32_t VISCA_set_iris_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x4B }.word(value));
}

uint32_t VISCA_get_iris_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x4B }, value);
}

uint32_t VISCA_set_gain_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x4C }.word(value));
}

uint32_t VISCA_get_gain_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x4C }, value);
}

uint32_t VISCA_set_bright_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x4D }.word(value));
}

uint32_t VISCA_get_bright_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x4D }, value);
}

uint32_t VISCA_set_exp_comp_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x3E, power });
}

uint32_t VISCA_get_exp_comp_power(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x3E }, power);
}

uint32_t VISCA_set_exp_comp_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x4E }.word(value));
}

uint32_t VISCA_get_exp_comp_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x4E }, value);
}

uint32_t VISCA_set_auto_exp_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x39, mode });
}

uint32_t VISCA_get_auto_exp_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x39 }, mode);
}

uint32_t VISCA_set_backlight_comp(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x33, power });
}

uint32_t VISCA_get_backlight_comp(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x33 }, power);
}

uint32_t VISCA_set_mirror(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x61, power });
}

uint32_t VISCA_get_mirror(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x61 }, power);
}

uint32_t VISCA_set_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x15, power });
}

uint32_t VISCA_get_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x15 }, power);
}

uint32_t VISCA_set_cam_stabilizer(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x34, power });
}

uint32_t VISCA_memory_reset(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x3F, 0x00, channel });
}

uint32_t VISCA_memory_set(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x3F, 0x01, channel });
}

uint32_t VISCA_memory_recall(ViscaPort* port, ViscaCameraInfo* camera, uint8_t channel)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x3F, 0x02, channel });
}

uint32_t VISCA_set_spot_ae_on(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x59, 0x02 });
}

uint32_t VISCA_set_spot_ae_off(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x59, 0x03 });
}

uint32_t VISCA_set_spot_ae_position(ViscaPort* port, ViscaCameraInfo* camera, uint8_t x, uint8_t y)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x29 }.nibblePair(x).nibblePair(y));
}

uint32_t VISCA_set_camera_id(ViscaPort* port, ViscaCameraInfo* camera, uint16_t id)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x22 }.word(id));
}

uint32_t VISCA_get_id(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* id)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x22 }, id);
}

uint32_t VISCA_set_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint8_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x24, reg }.nibblePair(value));
}

uint32_t VISCA_get_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint8_t* value)
{
    // (r[2] << 4) + r[3] on whole bytes, kept to 8 bits.
    if (_VISCA_inquiry(port, camera, { 0x09, 0x04, 0x24, reg }, 5) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = uint8_t((port->ibuf[2] << 4) + port->ibuf[3]);
    return VISCA_SUCCESS;
}

// Not used by the camera layer ----------------------------------------------

uint32_t VISCA_set_keylock(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x17, power });
}

uint32_t VISCA_get_keylock(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x17 }, power);
}

uint32_t VISCA_set_zoom_tele(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x07, 0x02 });
}

uint32_t VISCA_set_zoom_wide(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x07, 0x03 });
}

uint32_t VISCA_set_zoom_and_focus_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t zoom, uint32_t focus)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x47 }.word(zoom).word(focus));
}

uint32_t VISCA_set_dzoom_limit(ViscaPort* port, ViscaCameraInfo* camera, uint32_t limit)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x26 }.byte(limit));
}

uint32_t VISCA_get_dzoom_limit(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* limit)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x26 }, limit);
}

uint32_t VISCA_set_dzoom_mode(ViscaPort* port, ViscaCameraInfo* camera, uint32_t mode)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x36 }.byte(mode));
}

uint32_t VISCA_set_focus_far(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x08, 0x02 });
}

uint32_t VISCA_set_focus_near(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x08, 0x03 });
}

uint32_t VISCA_set_focus_stop(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x08, 0x00 });
}

uint32_t VISCA_set_focus_far_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x08 }.byte(0x20 | (speed & 0x07)));
}

uint32_t VISCA_set_focus_near_speed(ViscaPort* port, ViscaCameraInfo* camera, uint32_t speed)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x08 }.byte(0x30 | (speed & 0x07)));
}

uint32_t VISCA_set_focus_one_push(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x18, 0x01 });
}

uint32_t VISCA_set_focus_infinity(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x18, 0x02 });
}

uint32_t VISCA_set_focus_autosense_high(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x58, 0x02 });
}

uint32_t VISCA_set_focus_autosense_low(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x58, 0x03 });
}

uint32_t VISCA_get_focus_auto_sense(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x58 }, mode);
}

uint32_t VISCA_set_focus_near_limit(ViscaPort* port, ViscaCameraInfo* camera, uint32_t limit)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x28 }.word(limit));
}

uint32_t VISCA_get_focus_near_limit(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* limit)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x28 }, limit);
}

uint32_t VISCA_set_rgain_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x03, STEP_UP);
}

uint32_t VISCA_set_rgain_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x03, STEP_DOWN);
}

uint32_t VISCA_set_bgain_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x04, STEP_UP);
}

uint32_t VISCA_set_bgain_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x04, STEP_DOWN);
}

uint32_t VISCA_set_shutter_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0A, STEP_UP);
}

uint32_t VISCA_set_shutter_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0A, STEP_DOWN);
}

uint32_t VISCA_set_shutter_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0A, STEP_RESET);
}

uint32_t VISCA_set_iris_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0B, STEP_UP);
}

uint32_t VISCA_set_iris_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0B, STEP_DOWN);
}

uint32_t VISCA_set_iris_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0B, STEP_RESET);
}

uint32_t VISCA_set_gain_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0C, STEP_UP);
}

uint32_t VISCA_set_gain_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0C, STEP_DOWN);
}

uint32_t VISCA_set_gain_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0C, STEP_RESET);
}

uint32_t VISCA_set_bright_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0D, STEP_UP);
}

uint32_t VISCA_set_bright_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0D, STEP_DOWN);
}

uint32_t VISCA_set_bright_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0D, STEP_RESET);
}

uint32_t VISCA_set_aperture_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x02, STEP_UP);
}

uint32_t VISCA_set_aperture_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x02, STEP_DOWN);
}

uint32_t VISCA_set_aperture_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x02, STEP_RESET);
}

uint32_t VISCA_set_exp_comp_up(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0E, STEP_UP);
}

uint32_t VISCA_set_exp_comp_down(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0E, STEP_DOWN);
}

uint32_t VISCA_set_exp_comp_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return step(port, camera, 0x0E, STEP_RESET);
}

uint32_t VISCA_set_aperture_value(ViscaPort* port, ViscaCameraInfo* camera, uint32_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x42 }.word(value));
}

uint32_t VISCA_get_aperture_value(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* value)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x42 }, value);
}

uint32_t VISCA_set_slow_shutter_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x5A, mode });
}

uint32_t VISCA_get_slow_shutter_auto(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x5A }, mode);
}

uint32_t VISCA_set_zero_lux_shot(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x01, power });
}

uint32_t VISCA_get_zero_lux_shot(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x01 }, power);
}

uint32_t VISCA_set_ir_led(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x31, power });
}

uint32_t VISCA_get_ir_led(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x31 }, power);
}

uint32_t VISCA_set_wide_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x60, mode });
}

uint32_t VISCA_get_wide_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x60 }, mode);
}

uint32_t VISCA_set_freeze(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x62, power });
}

uint32_t VISCA_get_freeze(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x62 }, power);
}

uint32_t VISCA_set_picture_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x63, mode });
}

uint32_t VISCA_get_picture_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x63 }, mode);
}

uint32_t VISCA_set_digital_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x64, mode });
}

uint32_t VISCA_get_digital_effect(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x64 }, mode);
}

uint32_t VISCA_set_digital_effect_level(ViscaPort* port, ViscaCameraInfo* camera, uint8_t level)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x65, level });
}

uint32_t VISCA_get_digital_effect_level(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* level)
{
    return _VISCA_get_word(port, camera, { 0x09, 0x04, 0x65 }, level);
}

uint32_t VISCA_set_date_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x71, power });
}

uint32_t VISCA_set_time_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x72, power });
}

uint32_t VISCA_set_title_display(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x74, power });
}

uint32_t VISCA_set_title_clear(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x74, 0x00 });
}

uint32_t VISCA_get_memory(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* channel)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x3F }, channel);
}

uint32_t VISCA_set_date_time(ViscaPort* port, ViscaCameraInfo* camera, uint32_t year, uint32_t month, uint32_t day,
    uint32_t hour, uint32_t minute)
{
    ViscaBody body { 0x01, 0x04, 0x70 };
    for (uint32_t value : { year, month, day, hour, minute })
        body.byte((value / 10) % 10).byte(value % 10);
    return _VISCA_command(port, camera, body);
}

uint32_t VISCA_set_title_params(ViscaPort* port, ViscaCameraInfo* camera, const ViscaTitleData* title)
{
    ViscaBody body { 0x01, 0x04, 0x73, 0x00 };
    body.byte(title->vposition).byte(title->hposition).byte(title->color).byte(title->blink);
    for (int i = 0; i < 6; ++i)
        body.byte(0x00);
    return _VISCA_command(port, camera, body);
}

uint32_t VISCA_set_title(ViscaPort* port, ViscaCameraInfo* camera, const ViscaTitleData* title)
{
    ViscaBody first { 0x01, 0x04, 0x73, 0x01 };
    ViscaBody second { 0x01, 0x04, 0x73, 0x02 };
    for (int i = 0; i < 10; ++i) {
        first.byte(title->title[i]);
        second.byte(title->title[10 + i]);
    }
    return _VISCA_command(port, camera, first) + _VISCA_command(port, camera, second);
}

uint32_t VISCA_set_irreceive_on(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x08, 0x02 });
}

uint32_t VISCA_set_irreceive_off(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x08, 0x03 });
}

uint32_t VISCA_set_irreceive_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x08, 0x10 });
}

uint32_t VISCA_set_datascreen_on(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x06, 0x02 });
}

uint32_t VISCA_set_datascreen_off(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x06, 0x03 });
}

uint32_t VISCA_set_datascreen_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x06, 0x10 });
}

uint32_t VISCA_get_datascreen(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x06, 0x06 }, power);
}

uint32_t VISCA_set_pantilt_up(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x03, 0x01);
}

uint32_t VISCA_set_pantilt_down(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x03, 0x02);
}

uint32_t VISCA_set_pantilt_left(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x01, 0x03);
}

uint32_t VISCA_set_pantilt_right(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x02, 0x03);
}

uint32_t VISCA_set_pantilt_upleft(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x01, 0x01);
}

uint32_t VISCA_set_pantilt_upright(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x02, 0x01);
}

uint32_t VISCA_set_pantilt_downleft(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x01, 0x02);
}

uint32_t VISCA_set_pantilt_downright(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x02, 0x02);
}

uint32_t VISCA_set_pantilt_stop(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed, uint32_t tilt_speed)
{
    return panTiltDrive(port, camera, pan_speed, tilt_speed, 0x03, 0x03);
}

uint32_t VISCA_set_pantilt_absolute_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed,
    uint32_t tilt_speed, uint32_t pan_position, uint32_t tilt_position)
{
    return panTiltPosition(port, camera, 0x02, pan_speed, tilt_speed, pan_position, tilt_position);
}

uint32_t VISCA_set_pantilt_relative_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_speed,
    uint32_t tilt_speed, uint32_t pan_position, uint32_t tilt_position)
{
    return panTiltPosition(port, camera, 0x03, pan_speed, tilt_speed, pan_position, tilt_position);
}

uint32_t VISCA_set_pantilt_home(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x04 });
}

uint32_t VISCA_set_pantilt_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x05 });
}

uint32_t VISCA_set_pantilt_limit_upright(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit)
{
    return panTiltLimit(port, camera, 0x00, 0x01, pan_limit, tilt_limit);
}

uint32_t VISCA_set_pantilt_limit_downleft(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit)
{
    return panTiltLimit(port, camera, 0x00, 0x00, pan_limit, tilt_limit);
}

uint32_t VISCA_set_pantilt_limit_downleft_clear(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit)
{
    return panTiltLimit(port, camera, 0x01, 0x00, pan_limit, tilt_limit);
}

uint32_t VISCA_set_pantilt_limit_upright_clear(
    ViscaPort* port, ViscaCameraInfo* camera, uint32_t pan_limit, uint32_t tilt_limit)
{
    return panTiltLimit(port, camera, 0x01, 0x01, pan_limit, tilt_limit);
}

uint32_t VISCA_get_videosystem(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* system)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x06, 0x23 }, system);
}

uint32_t VISCA_get_pantilt_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* status)
{
    return getBytesAsWord(port, camera, { 0x09, 0x06, 0x10 }, status);
}

uint32_t VISCA_get_pantilt_maxspeed(
    ViscaPort* port, ViscaCameraInfo* camera, uint8_t* max_pan_speed, uint8_t* max_tilt_speed)
{
    return _VISCA_get_byte_pair(port, camera, { 0x09, 0x06, 0x11 }, max_pan_speed, max_tilt_speed);
}

uint32_t VISCA_get_pantilt_position(ViscaPort* port, ViscaCameraInfo* camera, int32_t* pan, int32_t* tilt)
{
    // Pan: a sign byte at r[2] and nibbles at r[3..6]; tilt: nibbles at r[7..10], negative from 0x8000.
    if (_VISCA_inquiry(port, camera, { 0x09, 0x06, 0x12 }, 12) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    int32_t pan_value = int32_t(_VISCA_reply_nibbles(port, 3, 4));
    if (port->ibuf[2] != 0)
        pan_value -= 65536;
    int32_t tilt_value = int32_t(_VISCA_reply_nibbles(port, 7, 4));
    if (tilt_value >= 32768)
        tilt_value -= 65536;
    *pan = pan_value;
    *tilt = tilt_value;
    return VISCA_SUCCESS;
}

uint32_t VISCA_set_at_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x01, power });
}

uint32_t VISCA_set_at_mode_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x01, TOGGLE });
}

uint32_t VISCA_set_at_ae(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x02, power });
}

uint32_t VISCA_set_at_ae_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x02, TOGGLE });
}

uint32_t VISCA_set_at_autozoom(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x03, power });
}

uint32_t VISCA_set_at_autozoom_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x03, TOGGLE });
}

uint32_t VISCA_set_atmd_framedisplay(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x04, power });
}

uint32_t VISCA_set_atmd_framedisplay_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x04, TOGGLE });
}

uint32_t VISCA_set_at_frameoffset(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x05, power });
}

uint32_t VISCA_set_at_frameoffset_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x05, TOGGLE });
}

uint32_t VISCA_set_md_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x08, power });
}

uint32_t VISCA_set_md_mode_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x08, TOGGLE });
}

uint32_t VISCA_set_md_measure_mode1(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x27, power });
}

uint32_t VISCA_set_md_measure_mode1_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x27, TOGGLE });
}

uint32_t VISCA_set_md_measure_mode2(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x28, power });
}

uint32_t VISCA_set_md_measure_mode2_onoff(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x28, TOGGLE });
}

uint32_t VISCA_set_atmd_startstop(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x06, TOGGLE });
}

uint32_t VISCA_set_at_chase(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x07, power });
}

uint32_t VISCA_set_at_chase_next(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x07, TOGGLE });
}

uint32_t VISCA_set_md_detect(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x0A, TOGGLE });
}

uint32_t VISCA_set_at_entry(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x15, mode });
}

uint32_t VISCA_set_md_frame(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x09 });
}

uint32_t VISCA_set_md_adjust_ylevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x0B, 0x00, value });
}

uint32_t VISCA_set_md_adjust_huelevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x0C, 0x00, value });
}

uint32_t VISCA_set_md_adjust_size(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x0D, 0x00, value });
}

uint32_t VISCA_set_md_adjust_disptime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x0F, 0x00, value });
}

uint32_t VISCA_set_md_adjust_reftime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x11, 0x00, value });
}

uint32_t VISCA_set_md_adjust_refmode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x10, value });
}

uint32_t VISCA_set_at_lostinfo(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x20, 0x07, 0x20 });
}

uint32_t VISCA_set_md_lostinfo(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x06, 0x20, 0x07, 0x21 });
}

uint32_t VISCA_set_wide_con_lens(ViscaPort* port, ViscaCameraInfo* camera, uint8_t value)
{
    return _VISCA_command(port, camera, { 0x01, 0x07, 0x26, 0x00, value });
}

uint32_t VISCA_get_wide_con_lens(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* value)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x26 }, value);
}

uint32_t VISCA_get_atmd_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x07, 0x22 }, mode);
}

uint32_t VISCA_get_at_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* mode)
{
    return getBytesAsWord(port, camera, { 0x09, 0x07, 0x23 }, mode);
}

uint32_t VISCA_get_md_mode(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* mode)
{
    return getBytesAsWord(port, camera, { 0x09, 0x07, 0x24 }, mode);
}

uint32_t VISCA_get_at_entry(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* entry)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x07, 0x15 }, entry);
}

uint32_t VISCA_get_md_refmode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x07, 0x10 }, mode);
}

uint32_t VISCA_get_md_ylevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level)
{
    return getLowNibbleOfR3(port, camera, 0x0B, level);
}

uint32_t VISCA_get_md_huelevel(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level)
{
    return getLowNibbleOfR3(port, camera, 0x0C, level);
}

uint32_t VISCA_get_md_size(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* size)
{
    return getLowNibbleOfR3(port, camera, 0x0D, size);
}

uint32_t VISCA_get_md_disptime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* time)
{
    return getLowNibbleOfR3(port, camera, 0x0F, time);
}

uint32_t VISCA_get_md_reftime(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* time)
{
    return getLowNibbleOfR3(port, camera, 0x11, time);
}

uint32_t VISCA_get_at_obj_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* xpos, uint8_t* ypos, uint8_t* status)
{
    return getObjectPosition(port, camera, 0x20, xpos, ypos, status);
}

uint32_t VISCA_get_md_obj_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* xpos, uint8_t* ypos, uint8_t* status)
{
    return getObjectPosition(port, camera, 0x21, xpos, ypos, status);
}
