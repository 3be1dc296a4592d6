// The Spot sub-pane of the settings pane: spot focus and spot exposure (a
// switch and a picture each) and the gamma detail group.
//
// The camera keeps each spot position on a 16 x 16 grid (x 15 at the left
// edge, y 15 at the top); the picture shows it as the top-left corner of a
// 960 x 675 window in the 3840 x 2160 frame, mirrored when the camera's
// picture is V-flipped.

#include "panes/panesettings.h"

#include "device/deviceinterface.h"
#include "panes/panesettingsui.h"
#include "panes/paneui.h"
#include "panes/screenproxy.h"
#include "panes/segmentslider.h"
#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"
#include "quvapp/quvmenu.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>

using settingsui::Choice;

namespace {

// The picture: the UHD frame and the spot window in it, in frame units.
constexpr int kFrameWidth = 3840;
constexpr int kFrameHeight = 2160;
constexpr int kSpotWidth = 960;
constexpr int kSpotHeight = 675;
constexpr int kMaxLeft = kFrameWidth - kSpotWidth; // 2880
constexpr int kMaxTop = kFrameHeight - kSpotHeight; // 1485
constexpr int kGridMax = 15;
// The grid position a failed read leaves: (7, 7).
constexpr int kGridFallback = 7;
// "Move to Center" places the window's corner here.
constexpr int kCenterLeft = 1440;
constexpr int kCenterTop = 742;
constexpr int kMenuCenter = 256;

// Gamma: mode 2 uses the pattern; the reset values.
constexpr int kGammaPatternMode = 2;
constexpr int kGammaPatternDefault = 256;
constexpr int kGammaOffsetDefault = 0;
constexpr int kGammaPatternFallback = 1;

const Choice kGammaModes[] = { { "Standard", 0 }, { "Straight", 1 }, { "512 Pattern", 2 } };

const char* const kPatternTip = "Gamma detail pattern setting [1 to 512]\n512 Pattern mode must be enabled to use this";
const char* const kOffsetTip = "Gamma detail offset setting [-64 to 64]";

// One spot group: heading, switch and picture.
struct SpotGroup
{
    const char* heading;
    int headingX;
    const char* name;
    int switchX;
    const char* switchTip;
    int pictureX;
    const char* pictureTip;
    QPushButton* PaneSettings::*button;
    ScreenProxyIcon* PaneSettings::*picture;
    const char* toggleSlot;
    const char* positionSlot;
};

// One gamma row: caption, slider, spin box and reset button.
struct GammaRow
{
    const char* caption;
    int y; // slider and spin box top within the group
    const char* name;
    int minimum;
    int maximum;
    const char* toolTip;
    const char* resetTip;
    SegmentSlider* PaneSettings::*slider;
    QuvDoubleSpinBox* PaneSettings::*spin;
    QPushButton* PaneSettings::*reset;
    const char* sliderSlot;
    const char* spinSlot;
    const char* resetSlot;
};

} // namespace

void PaneSettings::uiSetupSpotPane(QWidget* page)
{
    using namespace settingsui;
    static const SpotGroup groups[] = {
        { "spot_focus_icon", 51, "spotFocus", 179, "Enables spot focus control", 3,
            "Adjust location of spot focus control.", &PaneSettings::m_spotFocusSwitch,
            &PaneSettings::m_spotFocusPicture, SLOT(slot_togSpotFocus(bool)),
            SLOT(slot_setFocusPosition(const QRect&)) },
        { "spot_ae_icon", 315, "spotAe", 417, "Enables spot exposure control", 241,
            "Adjust location of spot exposure control.", &PaneSettings::m_spotAeSwitch, &PaneSettings::m_spotAePicture,
            SLOT(slot_togSpotAE(bool)), SLOT(slot_setAePosition(const QRect&)) },
    };
    for (const SpotGroup& group : groups)
        imageLabel(page, group.heading, QRect(group.headingX, 20, 224, 31));
    for (const SpotGroup& group : groups)
        this->*group.button = switchButton(page, group.name, QRect(group.switchX, 26, 45, 18), group.switchTip);
    for (const SpotGroup& group : groups) {
        auto* picture = new ScreenProxyIcon(page, QRect(group.pictureX, 54, 224, 126));
        picture->setObjectName(QLatin1String(group.name) + QLatin1String("Picture"));
        paneui::setupWindowPicture(
            picture, QSize(kFrameWidth, kFrameHeight), QRect(kCenterLeft, kCenterTop, kSpotWidth, kSpotHeight));
        picture->setContextMenuPolicy(Qt::CustomContextMenu);
        picture->setToolTip(QString::fromLatin1(group.pictureTip));
        this->*group.picture = picture;
    }

    auto* gammaBox = new QGroupBox(page);
    gammaBox->setGeometry(3, 210, 461, 107);
    imageLabel(page, "spot_gamma_detail", QRect(201, 197, 152, 22));
    m_gammaModeCombo = combo(page, "gammaMode", kGammaModes, QRect(361, 198, 100, 16),
        "Gamma mode options:\nUsed to optimize gain in dark environments\n");
    {
        const QSignalBlocker blocker(m_gammaModeCombo);
        m_gammaModeCombo->setCurrentIndex(0);
    }

    static const GammaRow rows[] = {
        { "Offset", 32, "gammaOffset", -64, 64, kOffsetTip, "Reset Gamma Offset to default value",
            &PaneSettings::m_gammaOffsetSlider, &PaneSettings::m_gammaOffsetSpin, &PaneSettings::m_gammaOffsetReset,
            SLOT(slot_setGammaOffset(int)), SLOT(slot_spinGammaOffset(double)), SLOT(slot_resetOGamma()) },
        { "Pattern", 67, "gammaPattern", 1, 512, kPatternTip,
            "Reset Gamma Pattern to default value\n512 Pattern mode must be enabled to use this",
            &PaneSettings::m_gammaPatternSlider, &PaneSettings::m_gammaPatternSpin, &PaneSettings::m_gammaPatternReset,
            SLOT(slot_setGammaPattern(int)), SLOT(slot_spinGammaPattern(double)), SLOT(slot_resetPGamma()) },
    };
    for (const GammaRow& row : rows) {
        const QByteArray name(row.name);
        const int initial = std::max(row.minimum, 0);
        this->*row.slider = miniSlider(
            gammaBox, name + "Slider", row.minimum, row.maximum, initial, QRect(75, row.y, 264, 23), row.toolTip);
        this->*row.spin = spinBox(
            gammaBox, name + "Spin", row.minimum, row.maximum, initial, QRect(349, row.y, 71, 24), row.toolTip);
    }
    for (const GammaRow& row : rows) {
        // Only the top-left corner of the picture shows: the group's edge cuts the button.
        this->*row.reset = pictureButton(
            gammaBox, QByteArray(row.name) + "Reset", "wb_reset", true, QRect(428, row.y + 3, 51, 24), row.resetTip);
    }
    for (const GammaRow& row : rows)
        caption(gammaBox, row.caption, QRect(-5, row.y + 2, 70, 18), kCaptionSheet, Qt::AlignRight | Qt::AlignVCenter);

    for (const SpotGroup& group : groups) {
        paneui::connectOrWarn(this->*group.button, SIGNAL(toggled(bool)), this, group.toggleSlot);
        paneui::connectOrWarn(this->*group.picture, SIGNAL(RoiChanged(const QRect&)), this, group.positionSlot);
    }
    paneui::connectOrWarn(m_gammaModeCombo, SIGNAL(activated(int)), this, SLOT(slot_selectGammaMode(int)));
    for (const GammaRow& row : rows) {
        paneui::connectOrWarn(this->*row.slider, SIGNAL(valueChanged(int)), this, row.sliderSlot);
        paneui::connectOrWarn(this->*row.spin, SIGNAL(valueChanged(double)), this, row.spinSlot);
        paneui::connectOrWarn(this->*row.reset, SIGNAL(clicked()), this, row.resetSlot);
    }
    for (const SpotGroup& group : groups) {
        paneui::connectOrWarn(this->*group.picture, SIGNAL(customContextMenuRequested(const QPoint&)), this,
            SLOT(slot_spotContextMenu(const QPoint&)));
    }
}

// ---------------------------------------------------------------------------
// Spot mapping

void PaneSettings::spotViscaToTopLeft(int x, int y, bool flipped, int& left, int& top)
{
    left = int(std::trunc(double(kMaxLeft) * (kGridMax - x) / double(kGridMax) + 0.5));
    top = int(std::trunc(double(kMaxTop) * (kGridMax - y) / double(kGridMax) + 0.5));
    if (flipped) {
        left = kMaxLeft - left;
        top = kMaxTop - top;
    }
}

void PaneSettings::spotTopLeftToVisca(int left, int top, bool flipped, int& x, int& y)
{
    if (flipped) {
        left = kMaxLeft - left;
        top = kMaxTop - top;
    }
    x = int(std::trunc(kGridMax * (1.0 - left / double(kMaxLeft)) + 0.5));
    y = int(std::trunc(kGridMax * (1.0 - top / double(kMaxTop)) + 0.5));
    // A window dragged past the frame's edge still names a cell of the grid.
    x = std::clamp(x, 0, kGridMax);
    y = std::clamp(y, 0, kGridMax);
}

void PaneSettings::spotViscaToTopLeft(int x, int y, int& left, int& top)
{
    spotViscaToTopLeft(x, y, isVFlip(), left, top);
}

void PaneSettings::spotTopLeftToVisca(int left, int top, int& x, int& y)
{
    spotTopLeftToVisca(left, top, isVFlip(), x, y);
}

// ---------------------------------------------------------------------------
// Spot re-reads and actions

void PaneSettings::syncSpotOnOff(bool useCache, eViscaMsg msg, ScreenProxyIcon* picture, QPushButton* button)
{
    int state = VISCA_OFF;
    device()->viscaGet(msg, state, useCache);
    const bool on = state == VISCA_ON;
    {
        const QSignalBlocker blocker(button);
        button->setChecked(on);
    }
    // Both pictures show the spot focus marker.
    picture->setPixmap(QPixmap(
        on ? QStringLiteral(":/media/spot_focus_icon_on.png") : QStringLiteral(":/media/spot_focus_icon_off.png")));
    paneui::showWindowPicture(picture, on, false);
}

void PaneSettings::syncSpotPos(bool useCache, eViscaMsg msg, ScreenProxyIcon* picture)
{
    int x = kGridFallback;
    int y = kGridFallback;
    device()->viscaGet(msg, x, y, useCache);
    int left = 0;
    int top = 0;
    spotViscaToTopLeft(std::clamp(x, 0, kGridMax), std::clamp(y, 0, kGridMax), left, top);
    picture->SetRoiX(left);
    picture->SetRoiY(top);
}

void PaneSettings::syncSpotFocusOnOff(bool useCache)
{
    syncSpotOnOff(useCache, ViscaMsg::SpotFocusOn, m_spotFocusPicture, m_spotFocusSwitch);
    syncSpotFocusPos(useCache);
    m_spotFocusPicture->update();
}

void PaneSettings::syncSpotAeOnOff(bool useCache)
{
    syncSpotOnOff(useCache, ViscaMsg::SpotExposureOn, m_spotAePicture, m_spotAeSwitch);
    syncSpotAePos(useCache);
    m_spotAePicture->update();
}

void PaneSettings::syncSpotFocusPos(bool useCache)
{
    syncSpotPos(useCache, ViscaMsg::SpotFocusPosition, m_spotFocusPicture);
}

void PaneSettings::syncSpotAePos(bool useCache)
{
    syncSpotPos(useCache, ViscaMsg::SpotExposurePosition, m_spotAePicture);
}

void PaneSettings::slot_togSpotFocus(bool on)
{
    setSwitch(ViscaMsg::SpotFocusOn, on);
    syncSpotFocusOnOff(true);
}

void PaneSettings::slot_togSpotAE(bool on)
{
    setSwitch(ViscaMsg::SpotExposureOn, on);
    syncSpotAeOnOff(true);
}

void PaneSettings::sendSpotPosition(eViscaMsg msg, const QRect& r)
{
    int x = kGridFallback;
    int y = kGridFallback;
    spotTopLeftToVisca(r.x(), r.y(), x, y);
    device()->viscaSet(msg, x, y);
}

void PaneSettings::slot_setFocusPosition(const QRect& r)
{
    sendSpotPosition(ViscaMsg::SpotFocusPosition, r);
}

void PaneSettings::slot_setAePosition(const QRect& r)
{
    sendSpotPosition(ViscaMsg::SpotExposurePosition, r);
}

void PaneSettings::slot_spotContextMenu(const QPoint& p)
{
    // Only a picture whose spot function is on has a menu; a direct call has no sender.
    QPointer<ScreenProxyIcon> picture = dynamic_cast<ScreenProxyIcon*>(sender());
    if (!picture || !picture->GetEditable())
        return;
    QuvMenu menu;
    menu.addAction(QStringLiteral("Move to Center"), QVariant(kMenuCenter));
    QAction* chosen = paneui::execMenu(menu, picture, p);
    if (!picture)
        return;
    if (chosen && chosen->data().toInt() == kMenuCenter)
        picture->SetWithSignalRoiXY(kCenterLeft, kCenterTop);
    // The right-button press that opened the menu started a drag whose release went to the menu.
    picture->CancelDrag();
}

// ---------------------------------------------------------------------------
// Gamma

void PaneSettings::setPatternEnabled(bool on)
{
    m_gammaPatternSlider->setEnabled(on);
    m_gammaPatternSpin->setEnabled(on);
    m_gammaPatternReset->setEnabled(on);
}

void PaneSettings::syncGammaMode(bool useCache)
{
    int mode = 0;
    device()->viscaGet(ViscaMsg::GammaMode, mode, useCache);
    m_gammaModeCombo->setMatchingItemCurrentIndex(mode);
    setPatternEnabled(mode == kGammaPatternMode);
}

void PaneSettings::syncGammaOffset(bool useCache)
{
    syncValue(ViscaMsg::GammaOffset, kGammaOffsetDefault, useCache, m_gammaOffsetSlider, m_gammaOffsetSpin);
}

void PaneSettings::syncGammaPattern(bool useCache)
{
    syncValue(ViscaMsg::GammaPattern, kGammaPatternFallback, useCache, m_gammaPatternSlider, m_gammaPatternSpin);
}

void PaneSettings::slot_selectGammaMode(int val)
{
    const QVariant data = m_gammaModeCombo->itemData(val);
    if (!data.isValid())
        return;
    const int mode = data.toInt();
    device()->viscaPush(ViscaMsg::GammaMode, mode, -1);
    setPatternEnabled(mode == kGammaPatternMode);
}

void PaneSettings::slot_setGammaPattern(int val)
{
    sendFromSlider(ViscaMsg::GammaPattern, val, m_gammaPatternSpin, true);
}

void PaneSettings::slot_setGammaOffset(int val)
{
    sendFromSlider(ViscaMsg::GammaOffset, val, m_gammaOffsetSpin, true);
}

void PaneSettings::slot_spinGammaPattern(double val)
{
    sendFromSpin(ViscaMsg::GammaPattern, val, m_gammaPatternSlider, true);
}

void PaneSettings::slot_spinGammaOffset(double val)
{
    sendFromSpin(ViscaMsg::GammaOffset, val, m_gammaOffsetSlider, true);
}

void PaneSettings::resetGamma(eViscaMsg msg, int value)
{
    DeviceInterface* camera = device();
    // A dragged value still waiting in the queue would be written after the reset and undo it.
    camera->viscaDropPush(msg);
    camera->viscaSet(msg, value, -1);
}

void PaneSettings::slot_resetPGamma()
{
    resetGamma(ViscaMsg::GammaPattern, kGammaPatternDefault);
    syncGammaPattern(false);
}

void PaneSettings::slot_resetOGamma()
{
    resetGamma(ViscaMsg::GammaOffset, kGammaOffsetDefault);
    syncGammaOffset(false);
}
