// The camera messages: which VISCA call each code makes, how its values are
// converted both ways, its preset-key stem and whether a Global preset keeps it.

#include "device/deviceinterface.h"

#include <cstdio>

namespace {

// Preset-key stems, by code 0..54; null where a code has none.
const char* const PRESET_STEMS[ViscaMsg::Count] = {
    "visca_ept_onoff", // 0
    "visca_ept_position", // 1
    "visca_dzoom", // 2
    "visca_zoom_value", // 3
    "visca_iris_value", // 4
    "visca_auto_exp_mode", // 5
    "visca_focus_value", // 6
    "visca_focus_auto", // 7
    "visca_video_format", // 8
    "visca_color_space", // 9
    "visca_baud_rate", // 10
    "visca_delay_mode", // 11
    "visca_reset", // 12
    "visca_set_address", // 13
    "visca_shutter_value", // 14
    nullptr, // 15 zoom stop
    "visca_zoom_wide_speed", // 16
    "visca_zoom_tele_speed", // 17
    "visca_power", // 18
    "visca_cam_stabilizer", // 19
    "visca_nr", // 20
    "visca_nr_2d3d", // 21
    "visca_backlight", // 22
    "visca_icr", // 23
    "visca_osd", // 24
    "visca_flipv", // 25
    "visca_fliph", // 26
    "visca_colorbar", // 27
    "visca_wb", // 28
    "visca_wb_trigger", // 29
    "visca_gain", // 30
    "visca_mem_set", // 31 (memory reset shares the stem of memory set)
    "visca_mem_set", // 32
    "visca_mem_recall", // 33
    nullptr, // 34 lens initialisation
    "visca_mute", // 35
    nullptr, // 36 camera ID
    "visca_spot_focus_on", // 37
    "visca_spot_focus_pos", // 38
    "visca_spot_ae_on", // 39
    "visca_spot_ae_pos", // 40
    "visca_reset_wb_rgain", // 41
    "visca_reset_wb_bgain", // 42
    "visca_wb_rgain", // 43
    "visca_wb_bgain", // 44
    "visca_temperature", // 45
    "visca_gamma_mode", // 46
    "visca_gamma_pattern", // 47
    "visca_gamma_offset", // 48
    "visca_bright_value", // 49
    "visca_user_reg_0", // 50
    "visca_user_reg_1", // 51
    "visca_user_reg_2", // 52
    "visca_exp_comp_on", // 53
    "visca_exp_comp_value", // 54
};

uint8_t byteOf(int value)
{
    return uint8_t(value & 0xFF);
}

uint16_t wordOf(int value)
{
    return uint16_t(value & 0xFFFF);
}

int16_t signedWordOf(int value)
{
    return int16_t(uint16_t(value & 0xFFFF));
}

// A get whose library output is a single 8-bit value.
template<typename Get, typename... Extra>
uint32_t getByte(Get get, ViscaPort* port, ViscaCameraInfo* camera, int& val1, Extra... extra)
{
    uint8_t value = 0;
    const uint32_t result = get(port, camera, extra..., &value);
    if (result == VISCA_SUCCESS)
        val1 = value;
    return result;
}

// A get whose library output is a single 16-bit value.
template<typename Get, typename... Extra>
uint32_t getWord(Get get, ViscaPort* port, ViscaCameraInfo* camera, int& val1, Extra... extra)
{
    uint16_t value = 0;
    const uint32_t result = get(port, camera, extra..., &value);
    if (result == VISCA_SUCCESS)
        val1 = value;
    return result;
}

// A get with two 8-bit outputs.
template<typename Get> uint32_t getBytePair(Get get, ViscaPort* port, ViscaCameraInfo* camera, int& val1, int& val2)
{
    uint8_t a = 0;
    uint8_t b = 0;
    const uint32_t result = get(port, camera, &a, &b);
    if (result == VISCA_SUCCESS) {
        val1 = a;
        val2 = b;
    }
    return result;
}

} // namespace

int DeviceInterface::dispatchSet(eViscaMsg msg, int val1, int val2)
{
    ViscaPort* port = &m_serial;
    ViscaCameraInfo* camera = &m_camera;
    switch (msg) {
    case ViscaMsg::SerialOpen:
        return viscaSerialOpen() ? 0 : 255;
    case ViscaMsg::SerialClose:
        viscaSerialClose();
        return 0;
    case 0:
        return VISCA_set_ept_onoff(port, camera, byteOf(val1));
    case 1:
        return VISCA_set_ept_position(port, camera, uint32_t(val1), uint32_t(val2));
    case 2:
        return VISCA_set_dzoom(port, camera, uint32_t(val1));
    case 3:
        return VISCA_set_zoom_value(port, camera, uint32_t(val1));
    case 4:
        return VISCA_set_iris_value(port, camera, uint32_t(val1));
    case 5:
        return VISCA_set_auto_exp_mode(port, camera, byteOf(val1));
    case 6:
        return VISCA_set_focus_value(port, camera, uint32_t(val1));
    case 7:
        return VISCA_set_focus_auto(port, camera, byteOf(val1));
    case 8:
        return VISCA_set_register(port, camera, 0x72, byteOf(val1));
    case 9:
        return VISCA_set_register(port, camera, 0x60, byteOf(val1));
    case 10:
        return VISCA_set_register(port, camera, 0x00, byteOf(val1));
    case 11:
        return VISCA_set_register(port, camera, 0x75, byteOf(val1));
    case 12:
        return VISCA_set_reset(port, camera);
    case 13: {
        int32_t cameras = 0; // the count is not used
        return VISCA_set_address(port, &cameras);
    }
    case 14:
        return VISCA_set_shutter_value(port, camera, byteOf(val1));
    case 15:
        return VISCA_set_zoom_stop(port, camera);
    case 16:
        return VISCA_set_zoom_wide_speed(port, camera, uint32_t(val1));
    case 17:
        return VISCA_set_zoom_tele_speed(port, camera, uint32_t(val1));
    case 18:
        return VISCA_set_power(port, camera, byteOf(val1));
    case 19:
        return VISCA_set_cam_stabilizer(port, camera, byteOf(val1));
    case 20:
        return VISCA_set_noise_reduction(port, camera, byteOf(val1));
    case 21:
        return VISCA_set_nr_2d3d(port, camera, byteOf(val1), byteOf(val2));
    case 22:
        return VISCA_set_backlight_comp(port, camera, byteOf(val1));
    case 23:
        return VISCA_set_icr(port, camera, byteOf(val1));
    case 24:
        return VISCA_set_display(port, camera, byteOf(val1));
    case 25:
        return VISCA_set_pictureflip(port, camera, byteOf(val1));
    case 26:
        return VISCA_set_mirror(port, camera, byteOf(val1));
    case 27:
        return VISCA_set_colorbar(port, camera, byteOf(val1));
    case 28:
        return VISCA_set_whitebal_mode(port, camera, uint32_t(val1));
    case 29:
        return VISCA_set_whitebal_one_push(port, camera);
    case 30:
        return VISCA_set_gain_value(port, camera, uint32_t(val1));
    case 31:
        return VISCA_memory_reset(port, camera, byteOf(val1));
    case 32:
        return VISCA_memory_set(port, camera, byteOf(val1));
    case 33:
        return VISCA_memory_recall(port, camera, byteOf(val1));
    case 34:
        return VISCA_lens_initialize(port, camera);
    case 35:
        return VISCA_set_mute(port, camera, byteOf(val1));
    case 36:
        return VISCA_set_camera_id(port, camera, wordOf(val1));
    case 37:
        return VISCA_set_spot_focus_on(port, camera, byteOf(val1));
    case 38:
        return VISCA_set_spot_focus_pos(port, camera, byteOf(val1), byteOf(val2));
    case 39:
        return val1 == VISCA_ON ? VISCA_set_spot_ae_on(port, camera) : VISCA_set_spot_ae_off(port, camera);
    case 40:
        return VISCA_set_spot_ae_position(port, camera, byteOf(val1), byteOf(val2));
    case 41:
        return VISCA_set_rgain_reset(port, camera);
    case 42:
        return VISCA_set_bgain_reset(port, camera);
    case 43:
        return VISCA_set_rgain_value(port, camera, uint32_t(val1));
    case 44:
        return VISCA_set_bgain_value(port, camera, uint32_t(val1));
    case 46:
        return VISCA_set_gamma_mode(port, camera, byteOf(val1));
    case 47:
        return VISCA_set_gamma_pattern(port, camera, wordOf(val1));
    case 48:
        return VISCA_set_gamma_offset(port, camera, signedWordOf(val1));
    case 49:
        return VISCA_set_bright_value(port, camera, uint32_t(val1));
    case 50:
        return VISCA_set_user_register(port, camera, 0, wordOf(val1));
    case 51:
        return VISCA_set_user_register(port, camera, 1, wordOf(val1));
    case 52:
        return VISCA_set_user_register(port, camera, 2, wordOf(val1));
    case 53:
        return VISCA_set_exp_comp_power(port, camera, byteOf(val1));
    case 54:
        return VISCA_set_exp_comp_value(port, camera, uint32_t(val1));
    default:
        std::printf("** viscaSet - msg not handled error - msg=%d val1=%d val2=%d\n", msg, val1, val2);
        std::fflush(stdout);
        return 0;
    }
}

int DeviceInterface::dispatchGet(eViscaMsg msg, int& val1, int& val2)
{
    ViscaPort* port = &m_serial;
    ViscaCameraInfo* camera = &m_camera;
    uint32_t result = VISCA_SUCCESS;
    switch (msg) {
    case 0:
        result = getByte(VISCA_get_ept_onoff, port, camera, val1);
        break;
    case 1: {
        int32_t x = 0;
        uint32_t y = 0;
        result = VISCA_get_ept_position(port, camera, &x, &y);
        if (result == VISCA_SUCCESS) {
            val1 = x;
            val2 = int(y);
        }
        break;
    }
    case 2:
        result = getByte(VISCA_get_dzoom, port, camera, val1);
        break;
    case 3:
        result = getWord(VISCA_get_zoom_value, port, camera, val1);
        break;
    case 4:
        result = getWord(VISCA_get_iris_value, port, camera, val1);
        break;
    case 5:
        result = getByte(VISCA_get_auto_exp_mode, port, camera, val1);
        break;
    case 6:
        result = getWord(VISCA_get_focus_value, port, camera, val1);
        break;
    case 7:
        result = getByte(VISCA_get_focus_auto, port, camera, val1);
        break;
    case 8:
        result = getByte(VISCA_get_register, port, camera, val1, uint8_t(0x72));
        break;
    case 9:
        result = getByte(VISCA_get_register, port, camera, val1, uint8_t(0x60));
        break;
    case 10:
        result = getByte(VISCA_get_register, port, camera, val1, uint8_t(0x00));
        break;
    case 11:
        result = getByte(VISCA_get_register, port, camera, val1, uint8_t(0x75));
        break;
    case 14:
        result = getWord(VISCA_get_shutter_value, port, camera, val1);
        break;
    case 18:
        result = getByte(VISCA_get_power, port, camera, val1);
        break;
    case 19:
        result = getByte(VISCA_get_cam_stabilizer, port, camera, val1);
        break;
    case 20:
        result = getByte(VISCA_get_noise_reduction, port, camera, val1);
        break;
    case 21:
        result = getBytePair(VISCA_get_nr_2d3d, port, camera, val1, val2);
        break;
    case 22:
        result = getByte(VISCA_get_backlight_comp, port, camera, val1);
        break;
    case 23:
        result = getByte(VISCA_get_icr, port, camera, val1);
        break;
    case 24:
        result = getByte(VISCA_get_display, port, camera, val1);
        break;
    case 25:
        result = getByte(VISCA_get_pictureflip, port, camera, val1);
        break;
    case 26:
        result = getByte(VISCA_get_mirror, port, camera, val1);
        break;
    case 27:
        result = getByte(VISCA_get_colorbar, port, camera, val1);
        break;
    case 28:
        result = getByte(VISCA_get_whitebal_mode, port, camera, val1);
        break;
    case 30:
        result = getWord(VISCA_get_gain_value, port, camera, val1);
        break;
    case 35:
        result = getByte(VISCA_get_mute, port, camera, val1);
        break;
    case 36:
        result = getWord(VISCA_get_id, port, camera, val1);
        break;
    case 37:
        result = getByte(VISCA_get_spot_focus_on, port, camera, val1);
        break;
    case 38:
        result = getBytePair(VISCA_get_spot_focus_pos, port, camera, val1, val2);
        break;
    case 39:
        result = getByte(VISCA_get_spot_ae_on, port, camera, val1);
        break;
    case 40:
        result = getBytePair(VISCA_get_spot_ae_pos, port, camera, val1, val2);
        break;
    case 43:
        result = getWord(VISCA_get_rgain_value, port, camera, val1);
        break;
    case 44:
        result = getWord(VISCA_get_bgain_value, port, camera, val1);
        break;
    case 45:
        result = getByte(VISCA_get_temperture, port, camera, val1);
        break;
    case 46:
        result = getByte(VISCA_get_gamma_mode, port, camera, val1);
        break;
    case 47:
        result = getWord(VISCA_get_gamma_pattern, port, camera, val1);
        break;
    case 48: {
        int16_t offset = 0;
        result = VISCA_get_gamma_offset(port, camera, &offset);
        if (result == VISCA_SUCCESS)
            val1 = offset; // sign-extended
        break;
    }
    case 49:
        result = getWord(VISCA_get_bright_value, port, camera, val1);
        break;
    case 50:
        result = getWord(VISCA_get_user_register, port, camera, val1, uint8_t(0));
        break;
    case 51:
        result = getWord(VISCA_get_user_register, port, camera, val1, uint8_t(1));
        break;
    case 52:
        result = getWord(VISCA_get_user_register, port, camera, val1, uint8_t(2));
        break;
    case 53:
        result = getByte(VISCA_get_exp_comp_power, port, camera, val1);
        break;
    case 54:
        result = getWord(VISCA_get_exp_comp_value, port, camera, val1);
        break;
    default:
        break; // no get call: nothing is sent and the values stay
    }
    return result == VISCA_SUCCESS ? 0 : 255;
}

QString DeviceInterface::viscaPresetName(eViscaMsg msg)
{
    const char* stem = (msg >= 0 && msg < ViscaMsg::Count) ? PRESET_STEMS[msg] : nullptr;
    if (!stem) {
        std::printf("viscaPresetName msg not handled=%d\n", msg);
        std::fflush(stdout);
        return QString();
    }
    return QString::fromLatin1(stem);
}

bool DeviceInterface::viscaIsPreset(eViscaMsg msg)
{
    switch (msg) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 14:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
    case 30:
    case 35:
    case 37:
    case 38:
    case 39:
    case 40:
    case 43:
    case 44:
    case 46:
    case 47:
    case 48:
    case 49:
    case 53:
    case 54:
        return true;
    default:
        return false;
    }
}
