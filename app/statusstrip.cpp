#include "app/statusstrip.h"

#include "device/deviceinterface.h"
#include "device/viscavalues.h"
#include "panes/panebase.h"
#include "panes/segmentslider.h"

#include <QLabel>

namespace statusstrip {

namespace {

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
    return type == WarningFocusDuringAutoZoom
        ? QStringLiteral("Focus cannot be changed by user while Auto-zoom is active")
        : QString();
}

QString formatText(int format, bool eptzOn)
{
    const VideoFormatRow* row = videoFormatRow(format);
    if (row && eptzOn && row->eptzCode != 0)
        row = videoFormatRow(row->eptzCode);
    return row ? QLatin1String(row->statusText) : QStringLiteral("-----");
}

QString colorSpaceText(int colorSpace)
{
    for (int i = 0; i < COLOR_SPACE_COUNT; ++i) {
        if (COLOR_SPACES[i].code == colorSpace)
            return QLatin1String(COLOR_SPACES[i].text);
    }
    return QStringLiteral("---");
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
    return SegmentSlider::valueString(zoom, PaneBase::zoomSliderType(zoomMode));
}

QString focusText(int focus)
{
    return SegmentSlider::valueString(ViscaScale::focusFlip(focus), SegSliderFocus) + QStringLiteral("mm");
}

QString shutterText(int shutter)
{
    return QLatin1String(ViscaScale::shutterText(shutter));
}

QString apertGainText(int exposureMode, int iris, int brightness, int gain)
{
    const QString first = exposureMode == ExposureMode::Bright
        ? SegmentSlider::valueString(ViscaScale::brightToStep(brightness), SegSliderIrisGain)
        : SegmentSlider::valueString(ViscaScale::irisToStep(iris), SegSliderIris);
    return QStringLiteral("%1/%2").arg(first, SegmentSlider::valueString(ViscaScale::gainToStep(gain), SegSliderGain));
}

void refresh(QLabel* const labels[windowlayout::StatusFieldCount], const DeviceInterface& device, bool joystickAttached)
{
    using namespace windowlayout;
    const int eptz = cached(device, ViscaMsg::EptOnOff, VISCA_OFF);
    setText(labels[StatusEptz], eptzText(eptz));
    setText(labels[StatusJoystick], joystickAttached ? QStringLiteral("Joystick On") : QStringLiteral("Joystick Off"));
    setText(labels[StatusFormat], formatText(cached(device, ViscaMsg::VideoFormat, 0), eptz == VISCA_ON));
    setText(labels[StatusColorSpace], colorSpaceText(cached(device, ViscaMsg::ColorSpace, 2)));
    setText(labels[StatusZoom],
        zoomText(cached(device, ViscaMsg::ZoomValue, 0), cached(device, ViscaMsg::DigitalZoom, ZoomMode::Optical)));
    setText(labels[StatusFocus], focusText(cached(device, ViscaMsg::FocusValue, 0)));
    setText(labels[StatusShutter], shutterText(cached(device, ViscaMsg::Shutter, 0)));
    const int gain = cached(device, ViscaMsg::Gain, 0);
    const int mode = cached(device, ViscaMsg::ExposureMode, ExposureMode::Manual);
    setText(labels[StatusApertGain],
        apertGainText(mode, cached(device, ViscaMsg::Iris, 0), cached(device, ViscaMsg::Brightness, 0), gain));
}

} // namespace statusstrip
