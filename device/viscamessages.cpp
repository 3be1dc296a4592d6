// The camera messages: one row per message code with its preset-key stem,
// whether a Global preset keeps it, and the VISCA calls that set and read it
// with the conversions of the values both ways.

#include "device/deviceinterface.h"

#include <cstdio>
#include <iterator>

namespace {

using Port = ViscaPort*;
using Camera = ViscaCameraInfo*;
// A set call: the caller's two values, converted for the library.
using SetCall = uint32_t (*)(Port, Camera, int val1, int val2);
// A get call: the values it reads, stored only on success.
using GetCall = uint32_t (*)(Port, Camera, int& val1, int& val2);

uint8_t byteOf(int value)
{
    return uint8_t(value & 0xFF);
}

uint16_t wordOf(int value)
{
    return uint16_t(value & 0xFFFF);
}

// ---- Set adapters

template<auto Set> uint32_t setNothing(Port port, Camera camera, int, int)
{
    return Set(port, camera);
}

template<auto Set> uint32_t setByte(Port port, Camera camera, int val1, int)
{
    return Set(port, camera, byteOf(val1));
}

template<auto Set> uint32_t setWord(Port port, Camera camera, int val1, int)
{
    return Set(port, camera, wordOf(val1));
}

// The library keeps the bits it needs of a 32-bit value itself.
template<auto Set> uint32_t setValue(Port port, Camera camera, int val1, int)
{
    return Set(port, camera, uint32_t(val1));
}

template<auto Set> uint32_t setBytePair(Port port, Camera camera, int val1, int val2)
{
    return Set(port, camera, byteOf(val1), byteOf(val2));
}

template<uint8_t Register> uint32_t setRegister(Port port, Camera camera, int val1, int)
{
    return VISCA_set_register(port, camera, Register, byteOf(val1));
}

template<uint8_t Register> uint32_t setUserRegister(Port port, Camera camera, int val1, int)
{
    return VISCA_set_user_register(port, camera, Register, wordOf(val1));
}

uint32_t setEptPosition(Port port, Camera camera, int val1, int val2)
{
    return VISCA_set_ept_position(port, camera, uint32_t(val1), uint32_t(val2));
}

uint32_t setAddress(Port port, Camera, int, int)
{
    int32_t cameras = 0; // the count is not used
    return VISCA_set_address(port, &cameras);
}

// VISCA_ON switches spot exposure on; any other value switches it off.
uint32_t setSpotExposure(Port port, Camera camera, int val1, int)
{
    return val1 == VISCA_ON ? VISCA_set_spot_ae_on(port, camera) : VISCA_set_spot_ae_off(port, camera);
}

uint32_t setGammaOffset(Port port, Camera camera, int val1, int)
{
    return VISCA_set_gamma_offset(port, camera, int16_t(wordOf(val1)));
}

// ---- Get adapters

template<typename Value, auto Get, typename... Extra>
uint32_t getOne(Port port, Camera camera, int& val1, Extra... extra)
{
    Value value = 0;
    const uint32_t result = Get(port, camera, extra..., &value);
    if (result == VISCA_SUCCESS)
        val1 = value; // a signed value is sign-extended
    return result;
}

template<auto Get> uint32_t getByte(Port port, Camera camera, int& val1, int&)
{
    return getOne<uint8_t, Get>(port, camera, val1);
}

template<auto Get> uint32_t getWord(Port port, Camera camera, int& val1, int&)
{
    return getOne<uint16_t, Get>(port, camera, val1);
}

template<auto Get> uint32_t getBytePair(Port port, Camera camera, int& val1, int& val2)
{
    uint8_t a = 0;
    uint8_t b = 0;
    const uint32_t result = Get(port, camera, &a, &b);
    if (result == VISCA_SUCCESS) {
        val1 = a;
        val2 = b;
    }
    return result;
}

template<uint8_t Register> uint32_t getRegister(Port port, Camera camera, int& val1, int&)
{
    return getOne<uint8_t, VISCA_get_register>(port, camera, val1, Register);
}

template<uint8_t Register> uint32_t getUserRegister(Port port, Camera camera, int& val1, int&)
{
    return getOne<uint16_t, VISCA_get_user_register>(port, camera, val1, Register);
}

uint32_t getEptPosition(Port port, Camera camera, int& val1, int& val2)
{
    int32_t x = 0;
    uint32_t y = 0;
    const uint32_t result = VISCA_get_ept_position(port, camera, &x, &y);
    if (result == VISCA_SUCCESS) {
        val1 = x;
        val2 = int(y);
    }
    return result;
}

uint32_t getGammaOffset(Port port, Camera camera, int& val1, int&)
{
    return getOne<int16_t, VISCA_get_gamma_offset>(port, camera, val1);
}

// ---- The table

struct Message
{
    eViscaMsg msg;
    const char* stem; // preset key; null where the message has none
    bool global; // kept by a Global preset
    SetCall set; // null: nothing to send
    GetCall get; // null: no inquiry (a read sends nothing and succeeds)
};

using namespace ViscaMsg;

// clang-format off
constexpr Message MESSAGES[] = {
    { EptOnOff, "visca_ept_onoff", false, setByte<VISCA_set_ept_onoff>, getByte<VISCA_get_ept_onoff> },
    { EptPosition, "visca_ept_position", true, setEptPosition, getEptPosition },
    { DigitalZoom, "visca_dzoom", true, setValue<VISCA_set_dzoom>, getByte<VISCA_get_dzoom> },
    { ZoomValue, "visca_zoom_value", true, setValue<VISCA_set_zoom_value>, getWord<VISCA_get_zoom_value> },
    { Iris, "visca_iris_value", true, setValue<VISCA_set_iris_value>, getWord<VISCA_get_iris_value> },
    { ExposureMode, "visca_auto_exp_mode", true, setByte<VISCA_set_auto_exp_mode>, getByte<VISCA_get_auto_exp_mode> },
    { FocusValue, "visca_focus_value", true, setValue<VISCA_set_focus_value>, getWord<VISCA_get_focus_value> },
    { FocusMode, "visca_focus_auto", true, setByte<VISCA_set_focus_auto>, getByte<VISCA_get_focus_auto> },
    { VideoFormat, "visca_video_format", false, setRegister<0x72>, getRegister<0x72> },
    { ColorSpace, "visca_color_space", false, setRegister<0x60>, getRegister<0x60> },
    { BaudRate, "visca_baud_rate", false, setRegister<0x00>, getRegister<0x00> },
    { DelayMode, "visca_delay_mode", false, setRegister<0x75>, getRegister<0x75> },
    { CameraReset, "visca_reset", false, setNothing<VISCA_set_reset>, nullptr },
    { AddressSet, "visca_set_address", false, setAddress, nullptr },
    { Shutter, "visca_shutter_value", true, setByte<VISCA_set_shutter_value>, getWord<VISCA_get_shutter_value> },
    { ZoomStop, nullptr, false, setNothing<VISCA_set_zoom_stop>, nullptr },
    { ZoomWide, "visca_zoom_wide_speed", false, setValue<VISCA_set_zoom_wide_speed>, nullptr },
    { ZoomTele, "visca_zoom_tele_speed", false, setValue<VISCA_set_zoom_tele_speed>, nullptr },
    { Power, "visca_power", true, setByte<VISCA_set_power>, getByte<VISCA_get_power> },
    { Stabilizer, "visca_cam_stabilizer", true, setByte<VISCA_set_cam_stabilizer>, getByte<VISCA_get_cam_stabilizer> },
    { NoiseReduction, "visca_nr", true, setByte<VISCA_set_noise_reduction>, getByte<VISCA_get_noise_reduction> },
    { NoiseReduction2d3d, "visca_nr_2d3d", true, setBytePair<VISCA_set_nr_2d3d>, getBytePair<VISCA_get_nr_2d3d> },
    { Backlight, "visca_backlight", true, setByte<VISCA_set_backlight_comp>, getByte<VISCA_get_backlight_comp> },
    { InfraredCut, "visca_icr", true, setByte<VISCA_set_icr>, getByte<VISCA_get_icr> },
    { Display, "visca_osd", true, setByte<VISCA_set_display>, getByte<VISCA_get_display> },
    { FlipV, "visca_flipv", true, setByte<VISCA_set_pictureflip>, getByte<VISCA_get_pictureflip> },
    { FlipH, "visca_fliph", true, setByte<VISCA_set_mirror>, getByte<VISCA_get_mirror> },
    { ColorBar, "visca_colorbar", true, setByte<VISCA_set_colorbar>, getByte<VISCA_get_colorbar> },
    { WhiteBalance, "visca_wb", true, setValue<VISCA_set_whitebal_mode>, getByte<VISCA_get_whitebal_mode> },
    { WhiteBalanceTrigger, "visca_wb_trigger", false, setNothing<VISCA_set_whitebal_one_push>, nullptr },
    { Gain, "visca_gain", true, setValue<VISCA_set_gain_value>, getWord<VISCA_get_gain_value> },
    // Memory reset shares the stem of memory set.
    { MemoryReset, "visca_mem_set", false, setByte<VISCA_memory_reset>, nullptr },
    { MemorySet, "visca_mem_set", false, setByte<VISCA_memory_set>, nullptr },
    { MemoryRecall, "visca_mem_recall", false, setByte<VISCA_memory_recall>, nullptr },
    { LensInitialize, nullptr, false, setNothing<VISCA_lens_initialize>, nullptr },
    { Mute, "visca_mute", true, setByte<VISCA_set_mute>, getByte<VISCA_get_mute> },
    { CameraId, nullptr, false, setWord<VISCA_set_camera_id>, getWord<VISCA_get_id> },
    { SpotFocusOn, "visca_spot_focus_on", true, setByte<VISCA_set_spot_focus_on>, getByte<VISCA_get_spot_focus_on> },
    { SpotFocusPosition, "visca_spot_focus_pos", true, setBytePair<VISCA_set_spot_focus_pos>,
        getBytePair<VISCA_get_spot_focus_pos> },
    { SpotExposureOn, "visca_spot_ae_on", true, setSpotExposure, getByte<VISCA_get_spot_ae_on> },
    { SpotExposurePosition, "visca_spot_ae_pos", true, setBytePair<VISCA_set_spot_ae_position>,
        getBytePair<VISCA_get_spot_ae_pos> },
    { RedGainReset, "visca_reset_wb_rgain", false, setNothing<VISCA_set_rgain_reset>, nullptr },
    { BlueGainReset, "visca_reset_wb_bgain", false, setNothing<VISCA_set_bgain_reset>, nullptr },
    { RedGain, "visca_wb_rgain", true, setValue<VISCA_set_rgain_value>, getWord<VISCA_get_rgain_value> },
    { BlueGain, "visca_wb_bgain", true, setValue<VISCA_set_bgain_value>, getWord<VISCA_get_bgain_value> },
    { Temperature, "visca_temperature", false, nullptr, getByte<VISCA_get_temperture> },
    { GammaMode, "visca_gamma_mode", true, setByte<VISCA_set_gamma_mode>, getByte<VISCA_get_gamma_mode> },
    { GammaPattern, "visca_gamma_pattern", true, setWord<VISCA_set_gamma_pattern>, getWord<VISCA_get_gamma_pattern> },
    { GammaOffset, "visca_gamma_offset", true, setGammaOffset, getGammaOffset },
    { Brightness, "visca_bright_value", true, setValue<VISCA_set_bright_value>, getWord<VISCA_get_bright_value> },
    { UserRegister0, "visca_user_reg_0", false, setUserRegister<0>, getUserRegister<0> },
    { UserRegister1, "visca_user_reg_1", false, setUserRegister<1>, getUserRegister<1> },
    { UserRegister2, "visca_user_reg_2", false, setUserRegister<2>, getUserRegister<2> },
    { ExposureCompOn, "visca_exp_comp_on", true, setByte<VISCA_set_exp_comp_power>, getByte<VISCA_get_exp_comp_power> },
    { ExposureCompValue, "visca_exp_comp_value", true, setValue<VISCA_set_exp_comp_value>,
        getWord<VISCA_get_exp_comp_value> },
};
// clang-format on

// Row i holds code i: the value cache and the codes the panes pass rely on it.
constexpr bool rowsInCodeOrder()
{
    for (int i = 0; i < int(std::size(MESSAGES)); ++i) {
        if (MESSAGES[i].msg != i)
            return false;
    }
    return std::size(MESSAGES) == size_t(Count);
}
static_assert(rowsInCodeOrder(), "one row per camera message, in code order");

const Message* messageOf(eViscaMsg msg)
{
    return msg >= 0 && msg < Count ? &MESSAGES[msg] : nullptr;
}

} // namespace

int DeviceInterface::dispatchSet(eViscaMsg msg, int val1, int val2)
{
    if (msg == ViscaMsg::SerialOpen)
        return viscaSerialOpen() ? 0 : 255;
    if (msg == ViscaMsg::SerialClose) {
        viscaSerialClose();
        return 0;
    }
    const Message* message = messageOf(msg);
    if (!message || !message->set) {
        std::printf("** viscaSet - msg not handled error - msg=%d val1=%d val2=%d\n", msg, val1, val2);
        std::fflush(stdout);
        return 0;
    }
    return int(message->set(&m_serial, &m_camera, val1, val2));
}

int DeviceInterface::dispatchGet(eViscaMsg msg, int& val1, int& val2)
{
    const Message* message = messageOf(msg);
    if (!message || !message->get)
        return 0; // nothing is sent and the values stay
    return message->get(&m_serial, &m_camera, val1, val2) == VISCA_SUCCESS ? 0 : 255;
}

QString DeviceInterface::viscaPresetName(eViscaMsg msg)
{
    const Message* message = messageOf(msg);
    if (!message || !message->stem) {
        std::printf("viscaPresetName msg not handled=%d\n", msg);
        std::fflush(stdout);
        return QString();
    }
    return QString::fromLatin1(message->stem);
}

bool DeviceInterface::viscaIsPreset(eViscaMsg msg)
{
    const Message* message = messageOf(msg);
    return message && message->global;
}
