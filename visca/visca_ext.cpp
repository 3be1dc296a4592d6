// Commands and inquiries particular to these cameras: the ePTZ window, noise
// reduction, flips, colour bar, spot focus and exposure, temperature, gamma
// and the user registers.

#include "visca/visca_private.h"

namespace {

// Two nibble-pair values at r[first..first+3]: x = 0h 0l, y = 0h 0l.
uint32_t getNibblePairs(ViscaPort* port, ViscaCameraInfo* camera, ViscaBody body, uint8_t* x, uint8_t* y)
{
    if (_VISCA_inquiry(port, camera, body, 7) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *x = uint8_t(_VISCA_reply_nibbles(port, 2, 2));
    *y = uint8_t(_VISCA_reply_nibbles(port, 4, 2));
    return VISCA_SUCCESS;
}

} // namespace

uint32_t VISCA_set_ept_onoff(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x7E, 0x06, 0x00, power });
}

uint32_t VISCA_get_ept_onoff(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x7E, 0x06, 0x00 }, power);
}

uint32_t VISCA_set_ept_position(ViscaPort* port, ViscaCameraInfo* camera, uint32_t x, uint32_t y)
{
    // A negative x travels as its 16-bit two's complement.
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x7E, 0x06, 0x20, 0x00, 0x00 }.word(x).word(y));
}

uint32_t VISCA_get_ept_position(ViscaPort* port, ViscaCameraInfo* camera, int32_t* x, uint32_t* y)
{
    // r[2] is non-zero when x is negative; r[3] carries nothing; x at r[4..7], y at r[8..11].
    if (_VISCA_inquiry(port, camera, { 0x09, 0x7E, 0x06, 0x20 }, 13) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    int32_t value = int32_t(_VISCA_reply_nibbles(port, 4, 4));
    if (port->ibuf[2] != 0)
        value -= 65536;
    *x = value;
    *y = _VISCA_reply_nibbles(port, 8, 4);
    return VISCA_SUCCESS;
}

uint32_t VISCA_set_reset(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x19, 0x03 });
}

uint32_t VISCA_get_cam_stabilizer(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x34 }, power);
}

uint32_t VISCA_set_noise_reduction(ViscaPort* port, ViscaCameraInfo* camera, uint8_t level)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x53, level });
}

uint32_t VISCA_get_noise_reduction(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* level)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x53 }, level);
}

uint32_t VISCA_set_nr_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t a, uint8_t b)
{
    return _VISCA_command(port, camera, { 0x01, 0x05, 0x53, a, b });
}

uint32_t VISCA_get_nr_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* a, uint8_t* b)
{
    return _VISCA_get_byte_pair(port, camera, { 0x09, 0x05, 0x53 }, a, b);
}

uint32_t VISCA_set_noise_reduction_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t a, uint8_t b)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x53, a, b });
}

uint32_t VISCA_get_noise_reduction_2d3d(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* a, uint8_t* b)
{
    return _VISCA_get_byte_pair(port, camera, { 0x09, 0x04, 0x53 }, a, b);
}

uint32_t VISCA_set_icr(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x01, power });
}

uint32_t VISCA_get_icr(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x01 }, power);
}

uint32_t VISCA_set_pictureflip(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x66, power });
}

uint32_t VISCA_get_pictureflip(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x66 }, power);
}

uint32_t VISCA_set_colorbar(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x7E, 0x04, 0x7D, power });
}

uint32_t VISCA_get_colorbar(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x7E, 0x04, 0x7D }, power);
}

uint32_t VISCA_lens_initialize(ViscaPort* port, ViscaCameraInfo* camera)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x19, 0x01 });
}

uint32_t VISCA_set_mute(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x75, power });
}

uint32_t VISCA_get_mute(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x75 }, power);
}

uint32_t VISCA_set_spot_focus_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t power)
{
    return _VISCA_command(port, camera, { 0x01, 0x05, 0x08, power });
}

uint32_t VISCA_get_spot_focus_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x05, 0x08 }, power);
}

uint32_t VISCA_set_spot_focus_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t x, uint8_t y)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x05, 0x68 }.nibblePair(x).nibblePair(y));
}

uint32_t VISCA_get_spot_focus_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* x, uint8_t* y)
{
    return getNibblePairs(port, camera, { 0x09, 0x05, 0x68 }, x, y);
}

uint32_t VISCA_get_spot_ae_on(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* power)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x59 }, power);
}

uint32_t VISCA_get_spot_ae_pos(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* x, uint8_t* y)
{
    return getNibblePairs(port, camera, { 0x09, 0x04, 0x29 }, x, y);
}

uint32_t VISCA_get_temperture(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* temperature)
{
    if (_VISCA_inquiry(port, camera, { 0x09, 0x04, 0x68 }, 7) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *temperature = uint8_t(_VISCA_reply_nibbles(port, 4, 2));
    return VISCA_SUCCESS;
}

uint32_t VISCA_set_gamma_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t mode)
{
    return _VISCA_command(port, camera, { 0x01, 0x04, 0x5B, mode });
}

uint32_t VISCA_get_gamma_mode(ViscaPort* port, ViscaCameraInfo* camera, uint8_t* mode)
{
    return _VISCA_get_byte(port, camera, { 0x09, 0x04, 0x5B }, mode);
}

uint32_t VISCA_set_gamma_pattern(ViscaPort* port, ViscaCameraInfo* camera, uint16_t pattern)
{
    ViscaBody body { 0x01, 0x05, 0x5B };
    body.byte((pattern & 0xF00) >> 8).byte((pattern & 0x0F0) >> 4).byte(pattern & 0x00F);
    return _VISCA_command(port, camera, body);
}

uint32_t VISCA_get_gamma_pattern(ViscaPort* port, ViscaCameraInfo* camera, uint16_t* pattern)
{
    if (_VISCA_inquiry(port, camera, { 0x09, 0x05, 0x5B }, 6) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *pattern = uint16_t(_VISCA_reply_nibbles(port, 2, 3));
    return VISCA_SUCCESS;
}

uint32_t VISCA_set_gamma_offset(ViscaPort* port, ViscaCameraInfo* camera, int16_t offset)
{
    const bool negative = offset < 0;
    const uint32_t magnitude = negative ? uint32_t(-int32_t(offset)) : uint32_t(offset);
    ViscaBody body { 0x01, 0x04, 0x1E, 0x00, 0x00, 0x00, uint8_t(negative ? 0x01 : 0x00) };
    return _VISCA_command(port, camera, body.nibblePair(magnitude));
}

uint32_t VISCA_get_gamma_offset(ViscaPort* port, ViscaCameraInfo* camera, int16_t* offset)
{
    // Three bytes r[2..4], the sign nibble at r[5], the magnitude at r[6..7].
    if (_VISCA_inquiry(port, camera, { 0x09, 0x04, 0x1E }, 9) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    const int16_t magnitude = int16_t(_VISCA_reply_nibbles(port, 6, 2));
    *offset = (port->ibuf[5] & 0x0F) ? int16_t(-magnitude) : magnitude;
    return VISCA_SUCCESS;
}

uint32_t VISCA_set_user_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint16_t value)
{
    return _VISCA_command(port, camera, ViscaBody { 0x01, 0x04, 0x23, reg }.word(value));
}

uint32_t VISCA_get_user_register(ViscaPort* port, ViscaCameraInfo* camera, uint8_t reg, uint16_t* value)
{
    if (_VISCA_inquiry(port, camera, { 0x09, 0x04, 0x23, reg }, 7) != VISCA_SUCCESS)
        return VISCA_FAILURE;
    *value = uint16_t(_VISCA_reply_nibbles(port, 2, 4));
    return VISCA_SUCCESS;
}
