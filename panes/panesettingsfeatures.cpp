// The Features sub-pane of the settings pane: noise reduction, white balance
// with the manual gains, colour bars and the switch column. Every action is
// written to the camera at once and synchronously.

#include "panes/panesettings.h"

#include "device/deviceinterface.h"
#include "panes/panesettingsui.h"
#include "panes/paneui.h"
#include "panes/segmentslider.h"
#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"

#include <algorithm>
#include <cmath>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

using settingsui::Choice;

namespace {

// Noise reduction: message 20 holds a level 0..5, or this value for 2D/3D.
constexpr int kNr2d3d = 127;
constexpr int kNrMaxLevel = 5;

// White balance modes with a meaning for the other controls (message 28).
constexpr int kWbOnePush = 3;
constexpr int kWbManual = 5;

const Choice kNrTypes[] = { { "Std", 0 }, { "2D/3D", 1 } };
const Choice kColorBars[] = { { "Off", 0 }, { "8 Bar 100%", 1 }, { "7 Bar 100%", 2 }, { "Gray Scale", 3 } };

// A white balance mode's button: the stem's off, on and press pictures (off also while disabled).
const paneui::ImageButtonLook kWbButtonLook = { "", "%1_off",
    "background-repeat: no-repeat;border:0;margin:0;padding:0;",
    { { ":!checked", "%1_off" }, { ":checked", "%1_on" }, { ":pressed", "%1_press" }, { ":disabled", "%1_off" } } };

// A cell of the white balance grid for a button of width x height.
QRect wbCell(int column, int row, int width, int height)
{
    const int top = row == 0 ? 30 : 54;
    return QRect(103 + 38 * column - width / 2, top + (16 - height) / 2, width, height);
}

// The red and blue gain rows: caption, slider, spin box and reset button.
struct GainRow
{
    const char* caption;
    int y; // caption and reset button top
    const char* name;
    const char* sliderTip;
    const char* spinTip;
    const char* resetTip;
    SegmentSlider* PaneSettings::*slider;
    QuvDoubleSpinBox* PaneSettings::*spin;
    QPushButton* PaneSettings::*reset;
    const char* sliderSlot;
    const char* spinSlot;
    const char* resetSlot;
};
constexpr int kGainDefault = 127;

// The switch column, top to bottom.
struct SwitchRow
{
    const char* caption;
    const char* name;
    const char* toolTip;
    QPushButton* PaneSettings::*member;
    const char* slot;
};
} // namespace

// The white balance buttons in member order, each on its cell of the grid.
struct PaneSettings::WbButton
{
    int value;
    const char* stem;
    const char* toolTip;
    QPushButton* PaneSettings::*member;
    int column;
    int row;
    int width;
    int height;
};

const PaneSettings::WbButton PaneSettings::s_wbButtons[] = {
    { 0, "wb_awb", "Auto White Balance\nSingle environment auto", &PaneSettings::m_wbAutoButton, 0, 0, 28, 11 },
    { 2, "wb_daylight", "Daylight White Balance", &PaneSettings::m_wbDaylightButton, 1, 0, 16, 16 },
    { 1, "wb_indoor", "Indoor White Balance", &PaneSettings::m_wbIndoorButton, 2, 0, 16, 14 },
    { 3, "wb_custom", "One push white balance", &PaneSettings::m_wbOnePushButton, 3, 0, 16, 14 },
    { 4, "wb_shade", "Auto Trace White Balance\nDynamic Multi-Environment Auto", &PaneSettings::m_wbAutoTraceButton, 0,
        1, 22, 15 },
    { 7, "wb_sodium", "Sodium White Balance", &PaneSettings::m_wbSodiumButton, 1, 1, 15, 14 },
    { 5, "wb_m", "Full Manual\nEnables R-Gain and B-Gain controls", &PaneSettings::m_wbManualButton, 2, 1, 13, 13 },
};

void PaneSettings::uiSetupFeaturesPane(QWidget* parent)
{
    using namespace settingsui;
    static const GainRow kGainRows[] = {
        { "R-Gain", 83, "rGain", "Red Gain\n(M)anual must be enabled to use this control",
            "Type in red gain value [0, 255]\n(M)anual must be enabled to use this control",
            "Reset R-Gain\n(M)anual must be enabled to use this control", &PaneSettings::m_rGainSlider,
            &PaneSettings::m_rGainSpin, &PaneSettings::m_rGainReset, SLOT(slot_setRGainValue(int)),
            SLOT(slot_spinR(double)), SLOT(slot_resetRGain()) },
        { "B-Gain", 124, "bGain", "Blue Gain\n(M)anual must be enabled to use this control",
            "Type in blue gain value [0, 255]\n(M)anual must be enabled to use this control",
            "Reset B-Gain\n(M)anual must be enabled to use this control", &PaneSettings::m_bGainSlider,
            &PaneSettings::m_bGainSpin, &PaneSettings::m_bGainReset, SLOT(slot_setBGainValue(int)),
            SLOT(slot_spinB(double)), SLOT(slot_resetBGain()) },
    };
    static const SwitchRow kSwitchRows[] = {
        { "Back Light", "backLight", "Enables backlight mode", &PaneSettings::m_backLightSwitch,
            SLOT(slot_togBackLight(bool)) },
        { "IR Cut Filter", "irCutFilter", "Increases brightness but reduces color", &PaneSettings::m_irCutFilterSwitch,
            SLOT(slot_togIrCutFilter(bool)) },
        { "On Screen Display", "osd", "Turns on text info in output display", &PaneSettings::m_osdSwitch,
            SLOT(slot_togOsd(bool)) },
        { "V Flip Image", "flipV", "Vertically flips image", &PaneSettings::m_flipVSwitch, SLOT(slot_togFlipV(bool)) },
        { "H Flip Image", "flipH", "Horizontally flips image", &PaneSettings::m_flipHSwitch,
            SLOT(slot_togFlipH(bool)) },
        { "Video Mute", "mute", "Blanks video output to blue", &PaneSettings::m_muteSwitch, SLOT(slot_togMute(bool)) },
        // Hidden: the low delay mode is chosen on the Output sub-pane.
        { "Low Delay Mode", "lowDelay", "Disables processing that cause video frame delay",
            &PaneSettings::m_lowDelaySwitch, SLOT(slot_togLowDelay(bool)) },
    };

    // Noise reduction
    auto* nrBox = new QGroupBox(parent);
    nrBox->setGeometry(17, -1, 241, 107);
    caption(nrBox, "Noise Reduction", QRect(15, 33, 120, 16), kGreyCaptionSheet, Qt::AlignRight | Qt::AlignVCenter);
    m_nrTypeCombo
        = combo(nrBox, "nrType", kNrTypes, QRect(140, 30, 70, 16), "Noise reduction type\nStandard or Advanced 2D/3D");
    m_nrLevelSlider = new SegmentSlider(Qt::Horizontal, nrBox);
    m_nrLevelSlider->setObjectName(QStringLiteral("nrLevel"));
    m_nrLevelSlider->setSliderType(SegSliderMini);
    m_nrLevelSlider->setValue(0);
    m_nrLevelSlider->setGeometry(30, 63, 178, 23);
    m_nrLevelSlider->setToolTip(QStringLiteral("Noise reduction amount\nSelect zero value to disable"));
    for (int i = 0; i <= kNrMaxLevel; ++i)
        caption(nrBox, QByteArray::number(i), QRect(33 + 33 * i, 84, 7, 16));

    // White balance
    auto* wbBox = new QGroupBox(parent);
    wbBox->setGeometry(17, 100, 241, 169);
    auto* wbGroup = new QButtonGroup(wbBox);
    wbGroup->setExclusive(true);
    QLabel* wbIcon = imageLabel(wbBox, "wb_icon", QRect(10, 30, 52, 37));
    wbIcon->setToolTip(QStringLiteral("White balance controls"));
    for (const PaneSettings::WbButton& wb : s_wbButtons) {
        auto* button = new QPushButton(wbBox);
        button->setObjectName(QLatin1String(wb.stem));
        button->setFlat(true);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setStyleSheet(paneui::imageButtonSheet(kWbButtonLook, QLatin1String(wb.stem)));
        button->setGeometry(wbCell(wb.column, wb.row, wb.width, wb.height));
        button->setToolTip(QString::fromLatin1(wb.toolTip));
        wbGroup->addButton(button);
        this->*wb.member = button;
        paneui::connectOrWarn(button, SIGNAL(clicked()), this, SLOT(slot_selectWb()));
    }
    m_onePushSetButton
        = pictureButton(wbBox, "onePushSet", "wb_set", false, wbCell(3, 1, 27, 15), "One push white balance set");
    paneui::connectOrWarn(m_onePushSetButton, SIGNAL(clicked()), this, SLOT(slot_clickOnePushSet()));

    for (const GainRow& gain : kGainRows) {
        caption(wbBox, gain.caption, QRect(10, gain.y, 50, 18), kCaptionSheet);
        const QByteArray name(gain.name);
        this->*gain.slider
            = miniSlider(wbBox, name + "Slider", 0, 255, kGainDefault, QRect(10, gain.y + 14, 164, 23), gain.sliderTip);
        this->*gain.spin
            = spinBox(wbBox, name + "Spin", 0, 255, kGainDefault, QRect(180, gain.y + 13, 51, 24), gain.spinTip);
        // The reset's picture is drawn in its top-left corner, clear of the slider it overlaps.
        this->*gain.reset
            = pictureButton(wbBox, name + "Reset", "wb_reset", true, QRect(64, gain.y, 51, 24), gain.resetTip);
    }
    for (const GainRow& gain : kGainRows) {
        paneui::connectOrWarn(this->*gain.slider, SIGNAL(valueChanged(int)), this, gain.sliderSlot);
        paneui::connectOrWarn(this->*gain.spin, SIGNAL(valueChanged(double)), this, gain.spinSlot);
        paneui::connectOrWarn(this->*gain.reset, SIGNAL(clicked()), this, gain.resetSlot);
    }

    // Colour bars
    auto* barBox = new QGroupBox(parent);
    barBox->setGeometry(17, 263, 241, 55);
    caption(barBox, "Color Bars", QRect(17, 26, 120, 18), kCaptionSheet);
    m_colorBarCombo = combo(barBox, "colorBar", kColorBars, QRect(132, 25, 100, 16), "Displays diagnostic color bars");

    // The switch column
    int y = 28;
    for (const SwitchRow& row : kSwitchRows) {
        QLabel* label = caption(parent, row.caption, QRect(288, y, 120, 18), kCaptionSheet);
        QPushButton* button = switchButton(parent, row.name, QRect(413, y, 45, 18), row.toolTip);
        this->*row.member = button;
        if (button == m_lowDelaySwitch) {
            label->hide();
            button->hide();
        }
        y += 41;
    }

    paneui::connectOrWarn(m_nrTypeCombo, SIGNAL(activated(int)), this, SLOT(slot_selectNrType(int)));
    paneui::connectOrWarn(m_nrLevelSlider, SIGNAL(valueChanged(int)), this, SLOT(slot_selectNrValue(int)));
    for (const SwitchRow& row : kSwitchRows)
        paneui::connectOrWarn(this->*row.member, SIGNAL(toggled(bool)), this, row.slot);
    paneui::connectOrWarn(m_colorBarCombo, SIGNAL(activated(int)), this, SLOT(slot_selectColorBar(int)));
}

// ---------------------------------------------------------------------------
// Noise reduction

PaneSettings::NrState PaneSettings::nrFromCamera(int nr, int level2d, int level3d)
{
    if (nr != kNr2d3d) {
        const int level = std::clamp(nr, 0, kNrMaxLevel);
        return { 0, level, level != nr };
    }
    if (level2d > kNrMaxLevel || level3d > kNrMaxLevel || level2d != level3d) {
        const int level = std::max(std::clamp(level2d, 0, kNrMaxLevel), std::clamp(level3d, 0, kNrMaxLevel));
        return { 1, level, true };
    }
    return { 1, level2d, false };
}

void PaneSettings::syncNr(bool useCache)
{
    DeviceInterface* camera = device();
    int nr = 0;
    int level2d = 0;
    int level3d = 0;
    camera->viscaGet(ViscaMsg::NoiseReduction, nr, useCache);
    camera->viscaGet(ViscaMsg::NoiseReduction2d3d, level2d, level3d, useCache);
    const NrState state = nrFromCamera(nr, level2d, level3d);
    // Values out of range are corrected on the camera, so that it and the slider agree.
    if (state.writeBack && state.row == 0)
        camera->viscaSet(ViscaMsg::NoiseReduction, state.level, -1);
    else if (state.writeBack)
        camera->viscaSet(ViscaMsg::NoiseReduction2d3d, state.level, state.level);
    const QSignalBlocker typeBlocker(m_nrTypeCombo);
    const QSignalBlocker levelBlocker(m_nrLevelSlider);
    m_nrTypeCombo->setCurrentIndex(state.row);
    m_nrLevelSlider->setValue(state.level);
}

void PaneSettings::slot_selectNrType(int val)
{
    const int level = m_nrLevelSlider->value();
    if (val == 0) {
        device()->viscaSet(ViscaMsg::NoiseReduction, level, -1);
    } else {
        device()->viscaSet(ViscaMsg::NoiseReduction, kNr2d3d, -1);
        device()->viscaSet(ViscaMsg::NoiseReduction2d3d, level, level);
    }
}

void PaneSettings::slot_selectNrValue(int val)
{
    if (m_nrTypeCombo->currentIndex() != 0)
        device()->viscaSet(ViscaMsg::NoiseReduction2d3d, val, val);
    else
        device()->viscaSet(ViscaMsg::NoiseReduction, val, -1);
}

// ---------------------------------------------------------------------------
// Switches and colour bars

void PaneSettings::setSwitch(eViscaMsg msg, bool on)
{
    device()->viscaSet(msg, on ? VISCA_ON : VISCA_OFF, -1);
}

void PaneSettings::syncSwitch(QPushButton* button, eViscaMsg msg, bool useCache)
{
    int value = VISCA_OFF;
    device()->viscaGet(msg, value, useCache);
    const QSignalBlocker blocker(button);
    button->setChecked(value == VISCA_ON);
}

void PaneSettings::syncVFlip(bool useCache)
{
    Q_UNUSED(useCache)
    const QSignalBlocker blocker(m_flipVSwitch);
    m_flipVSwitch->setChecked(isVFlip());
}

void PaneSettings::slot_togBackLight(bool val)
{
    setSwitch(ViscaMsg::Backlight, val);
}

void PaneSettings::slot_togIrCutFilter(bool val)
{
    setSwitch(ViscaMsg::InfraredCut, val);
}

void PaneSettings::slot_togOsd(bool val)
{
    setSwitch(ViscaMsg::Display, val);
}

void PaneSettings::slot_togFlipV(bool val)
{
    device()->viscaSetVFlip(val);
    // The spot windows mirror with the picture.
    syncSpotFocusPos(true);
    syncSpotAePos(true);
}

void PaneSettings::slot_togFlipH(bool val)
{
    setSwitch(ViscaMsg::FlipH, val);
}

void PaneSettings::slot_togMute(bool val)
{
    setSwitch(ViscaMsg::Mute, val);
}

void PaneSettings::slot_togLowDelay(bool val)
{
    Q_UNUSED(val)
}

void PaneSettings::slot_selectColorBar(int val)
{
    device()->viscaSet(ViscaMsg::ColorBar, val, -1);
}

// ---------------------------------------------------------------------------
// White balance

void PaneSettings::slot_selectWb()
{
    // Only a click on one of the seven buttons has a mode; a direct call has no sender.
    const QObject* button = sender();
    const auto found = std::find_if(std::begin(s_wbButtons), std::end(s_wbButtons),
        [this, button](const PaneSettings::WbButton& wb) { return button && this->*wb.member == button; });
    if (found == std::end(s_wbButtons))
        return;
    device()->viscaSet(ViscaMsg::WhiteBalance, found->value, -1);
    syncWbControls(false);
}

void PaneSettings::syncWbControls(bool useCache)
{
    int mode = 0;
    device()->viscaGet(ViscaMsg::WhiteBalance, mode, useCache);
    for (const PaneSettings::WbButton& wb : s_wbButtons) {
        if (wb.value == mode)
            (this->*wb.member)->setChecked(true);
    }
    m_onePushSetButton->setEnabled(mode == kWbOnePush);
    setGainsEnabled(mode == kWbManual);
}

void PaneSettings::setGainsEnabled(bool on)
{
    for (QWidget* control : { static_cast<QWidget*>(m_rGainSlider), static_cast<QWidget*>(m_bGainSlider),
             static_cast<QWidget*>(m_rGainSpin), static_cast<QWidget*>(m_bGainSpin),
             static_cast<QWidget*>(m_rGainReset), static_cast<QWidget*>(m_bGainReset) })
        control->setEnabled(on);
}

void PaneSettings::slot_clickOnePushSet()
{
    device()->viscaSet(ViscaMsg::WhiteBalanceTrigger, -1, -1);
}

void PaneSettings::showValue(SegmentSlider* slider, QuvDoubleSpinBox* spin, int value)
{
    {
        const QSignalBlocker blocker(slider);
        slider->setValue(value);
    }
    spin->setValueNoSignal(value);
}

void PaneSettings::syncValue(eViscaMsg msg, int fallback, bool useCache, SegmentSlider* slider, QuvDoubleSpinBox* spin)
{
    int value = fallback;
    device()->viscaGet(msg, value, useCache);
    showValue(slider, spin, value);
}

void PaneSettings::sendFromSlider(eViscaMsg msg, int value, QuvDoubleSpinBox* spin, bool queued)
{
    if (queued)
        device()->viscaPush(msg, value, -1);
    else
        device()->viscaSet(msg, value, -1);
    spin->setValueNoSignal(value);
}

void PaneSettings::sendFromSpin(eViscaMsg msg, double value, SegmentSlider* slider, bool queued)
{
    // Typed values are rounded to the nearest, halves away from zero.
    const int rounded = int(std::lround(value));
    if (queued)
        device()->viscaPush(msg, rounded, -1);
    else
        device()->viscaSet(msg, rounded, -1);
    const QSignalBlocker blocker(slider);
    slider->setValue(rounded);
}

void PaneSettings::slot_setRGainValue(int val)
{
    sendFromSlider(ViscaMsg::RedGain, val, m_rGainSpin, false);
}

void PaneSettings::slot_setBGainValue(int val)
{
    sendFromSlider(ViscaMsg::BlueGain, val, m_bGainSpin, false);
}

void PaneSettings::slot_spinR(double val)
{
    sendFromSpin(ViscaMsg::RedGain, val, m_rGainSlider, false);
}

void PaneSettings::slot_spinB(double val)
{
    sendFromSpin(ViscaMsg::BlueGain, val, m_bGainSlider, false);
}

void PaneSettings::slot_resetRGain()
{
    device()->viscaSet(ViscaMsg::RedGainReset, -1, -1);
    syncRGain(false);
}

void PaneSettings::slot_resetBGain()
{
    device()->viscaSet(ViscaMsg::BlueGainReset, -1, -1);
    syncBGain(false);
}

void PaneSettings::syncRGain(bool useCache)
{
    syncValue(ViscaMsg::RedGain, kGainDefault, useCache, m_rGainSlider, m_rGainSpin);
}

void PaneSettings::syncBGain(bool useCache)
{
    syncValue(ViscaMsg::BlueGain, kGainDefault, useCache, m_bGainSlider, m_bGainSpin);
}
