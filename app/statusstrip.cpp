#include "app/statusstrip.h"

#include "device/deviceinterface.h"
#include "panes/panecamera.h"
#include "panes/segmentslider.h"

#include <QLabel>

namespace statusstrip {

namespace {

struct FormatRow
{
    int format;
    const char* text;
    const char* eptzText; // while ePTZ is on
};
const FormatRow FORMATS[] = {
    { 1, "1080i29.97", "1080i29.97" },
    { 4, "1080i25", "1080i25" },
    { 6, "1080p29.97", "1080p29.97" },
    { 8, "1080p25", "1080p25" },
    { 9, "720p59.94", "720p59.94" },
    { 12, "720p50", "720p50" },
    { 19, "1080p59.94", "1080p59.94" },
    { 20, "1080p50", "1080p50" },
    { 27, "NTSC", "NTSC" },
    { 28, "PAL", "PAL" },
    { 29, "UHDp29.97", "1080p59.94" },
    { 30, "UHDp25", "1080p50" },
};

// The exposure mode in which the first value is the brightness, not the iris.
constexpr int EXPOSURE_BRIGHT = 13;

// The cached value of message, or fallback when there is none.
int cached(const DeviceInterface& device, eViscaMsg message, int fallback)
{
    int value = fallback;
    device.viscaGetAsync(message, value);
    return value;
}

void setText(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

} // namespace

QString warningText(WarningType type)
{
    return type == WarningFocusDuringAutoZoom ? QStringLiteral("Focus cannot be changed by user while Auto-zoom is active")
                                              : QString();
}

QString formatText(int format, bool eptzOn)
{
    for (const FormatRow& row : FORMATS) {
        if (row.format == format)
            return QLatin1String(eptzOn ? row.eptzText : row.text);
    }
    return QStringLiteral("-----");
}

QString colorSpaceText(int colorSpace)
{
    switch (colorSpace) {
    case 0:
        return QStringLiteral("YUV");
    case 1:
        return QStringLiteral("RGB");
    default:
        return QStringLiteral("---");
    }
}

QString eptzText(int eptz)
{
    switch (eptz) {
    case VISCA_ON:
        return QStringLiteral("EPTZ On");
    case VISCA_OFF:
        return QStringLiteral("EPTZ Off");
    default:
        return QString();
    }
}

QString zoomText(int zoom, int zoomMode)
{
    const SegSliderType scale
        = zoomMode == 2 ? SegSliderDigitalZoom : (zoomMode == 4 ? SegSliderSuperZoom : SegSliderOpticalZoom);
    return SegmentSlider::valueString(zoom, scale);
}

QString focusText(int focus)
{
    return SegmentSlider::valueString(PaneCamera::convFocusViscaToUi(focus), SegSliderFocus) + QStringLiteral("mm");
}

QString shutterText(int shutter)
{
    return PaneCamera::convShutterViscaToString(shutter);
}

QString apertGainText(int exposureMode, int iris, int brightness, int gain)
{
    const QString first = exposureMode == EXPOSURE_BRIGHT
        ? SegmentSlider::valueString(PaneCamera::convBrightViscaToUi(brightness), SegSliderIrisGain)
        : SegmentSlider::valueString(PaneCamera::convApertViscaToUi(iris), SegSliderIris);
    return QStringLiteral("%1/%2").arg(first, SegmentSlider::valueString(PaneCamera::convGainViscaToUi(gain), SegSliderGain));
}

void refresh(
    QLabel* const labels[windowlayout::StatusFieldCount], const DeviceInterface& device, bool joystickAttached)
{
    using namespace windowlayout;
    const int eptz = cached(device, ViscaMsg::EptOnOff, VISCA_OFF);
    setText(labels[StatusEptz], eptzText(eptz));
    setText(labels[StatusJoystick], joystickAttached ? QStringLiteral("Joystick On") : QStringLiteral("Joystick Off"));
    setText(labels[StatusFormat], formatText(cached(device, ViscaMsg::VideoFormat, 0), eptz == VISCA_ON));
    setText(labels[StatusColorSpace], colorSpaceText(cached(device, ViscaMsg::ColorSpace, 2)));
    setText(labels[StatusZoom], zoomText(cached(device, ViscaMsg::ZoomValue, 0), cached(device, ViscaMsg::DigitalZoom, 3)));
    setText(labels[StatusFocus], focusText(cached(device, ViscaMsg::FocusValue, 0)));
    setText(labels[StatusShutter], shutterText(cached(device, ViscaMsg::Shutter, 0)));
    const int gain = cached(device, ViscaMsg::Gain, 0);
    const int mode = cached(device, ViscaMsg::ExposureMode, 3);
    setText(labels[StatusApertGain],
        apertGainText(mode, cached(device, ViscaMsg::Iris, 0), cached(device, ViscaMsg::Brightness, 0), gain));
}

} // namespace statusstrip
