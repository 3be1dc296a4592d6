#pragma once

#include "panes/panebase.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRect;
class QuvComboBox;
class QuvDoubleSpinBox;
class QuvPushButton;
class ScreenProxyIcon;
class SegmentSlider;

// The settings pane: a list of four rows on the left selects which of four
// sub-panes fills the right side.
//
// - Features: noise reduction, white balance, colour bars and six switches;
//   every action is written at once and synchronously.
// - Spot: spot focus and spot exposure (a switch and a picture each, in which
//   the spot window is dragged over a 16 x 16 camera grid) and gamma detail.
// - Output: video format, colour space and low delay mode, held as pending
//   values until Apply writes them and asks the main window for a restart.
// - Info: port name, the camera's name (1 to 5 characters kept in the
//   camera's registers), its slot among the eight camera buttons and its
//   temperature.
//
// The controls carry object names (see the layout tables) by which tests and
// style sheets find them. GUI thread only; every action asks the camera set for
// the selected camera at that moment, and no camera pointer is kept across a
// message box or a menu, whose nested event loop may see the camera removed.
class PaneSettings : public PaneBase
{
    Q_OBJECT

public:
    PaneSettings(DeviceSet* deviceSet, QWidget* parent);
    ~PaneSettings() override;

    void uiSetupFeaturesPane(QWidget* parent);
    void uiSetupSpotPane(QWidget* page);
    void uiSetupOutputPane(QWidget* parent);
    void uiSetupInfoPane(QWidget* parent);

    // Enables Apply and shows the restart note while a pending value differs
    // from the camera's (cached) format, colour space or delay mode.
    void notifyRequiresReset();
    void syncInfo(bool useCache);
    // The V flip switch; the argument is not used.
    void syncVFlip(bool useCache);
    bool isVFlip();

    // Features re-reads.
    void syncWbControls(bool useCache);
    void syncNr(bool useCache);
    void syncRGain(bool useCache);
    void syncBGain(bool useCache);

    // Spot and gamma re-reads.
    void syncSpotFocusOnOff(bool useCache);
    void syncSpotAeOnOff(bool useCache);
    void syncSpotFocusPos(bool useCache);
    void syncSpotAePos(bool useCache);
    void syncGammaMode(bool useCache);
    void syncGammaOffset(bool useCache);
    void syncGammaPattern(bool useCache);

    // Camera spot grid (0..15 each way, 15 at the left and top) to the spot
    // window's top-left corner in frame units, mirrored for a V-flipped
    // picture, and back (limited to the grid).
    void spotViscaToTopLeft(int x, int y, int& left, int& top);
    void spotTopLeftToVisca(int left, int top, int& x, int& y);
    static void spotViscaToTopLeft(int x, int y, bool flipped, int& left, int& top);
    static void spotTopLeftToVisca(int left, int top, bool flipped, int& x, int& y);

    // Noise reduction as read from the camera (message 20 level, message 21
    // pair) to what the pane shows and writes back: the type row (0 standard,
    // 1 2D/3D), the level, and whether the camera must be corrected.
    struct NrState
    {
        int row;
        int level;
        bool writeBack;
    };
    static NrState nrFromCamera(int nr, int level2d, int level3d);

public slots:
    void uiSetup() override;
    void uiSync(bool useCache) override;
    void uiResync(ResyncType type) override;
    void uiTimerUpdate() override;
    void preferenceRead() override;
    void preferenceWrite() override;

    void slot_clickResetButton();
    void slot_selectVideoFormat(int val);
    void slot_selectColorSpace(int val);
    void slot_selectBaudRate(int val);
    void slot_selectDelayMode(int val);
    void slot_selectSettingsPane(int val);
    void slot_selectNrType(int val);
    void slot_selectNrValue(int val);
    void slot_clickOnePushSet();
    void slot_togBackLight(bool val);
    void slot_togIrCutFilter(bool val);
    void slot_togOsd(bool val);
    void slot_togFlipV(bool val);
    void slot_togFlipH(bool val);
    void slot_togMute(bool val);
    void slot_togLowDelay(bool val);
    void slot_selectColorBar(int val);
    void slot_selectWb();
    void slot_setRGainValue(int val);
    void slot_setBGainValue(int val);
    void slot_spinR(double val);
    void slot_spinB(double val);
    void slot_resetRGain();
    void slot_resetBGain();
    void slot_togSpotFocus(bool on);
    void slot_togSpotAE(bool on);
    void slot_setFocusPosition(const QRect& r);
    void slot_setAePosition(const QRect& r);
    void slot_spotContextMenu(const QPoint& p);
    void slot_selectGammaMode(int val);
    void slot_setGammaPattern(int val);
    void slot_setGammaOffset(int val);
    void slot_spinGammaPattern(double val);
    void slot_spinGammaOffset(double val);
    void slot_resetPGamma();
    void slot_resetOGamma();
    void slot_idValueChanged(int val);
    void slot_nameChanged();

private:
    // One switch of the Features column or of a spot group, by its message.
    void setSwitch(eViscaMsg msg, bool on);
    void syncSwitch(QPushButton* button, eViscaMsg msg, bool useCache);
    void syncSpotOnOff(bool useCache, eViscaMsg msg, ScreenProxyIcon* picture, QPushButton* button);
    void syncSpotPos(bool useCache, eViscaMsg msg, ScreenProxyIcon* picture);
    void sendSpotPosition(eViscaMsg msg, const QRect& r);
    // A gain or gamma value from a slider or a spin box (rounded), sent at once
    // or queued, and shown in the other control without a signal.
    void sendFromSlider(eViscaMsg msg, int value, QuvDoubleSpinBox* spin, bool queued);
    void sendFromSpin(eViscaMsg msg, double value, SegmentSlider* slider, bool queued);
    // Writes a gamma default after dropping a queued value of the same message.
    void resetGamma(eViscaMsg msg, int value);
    void showValue(SegmentSlider* slider, QuvDoubleSpinBox* spin, int value);
    void syncValue(eViscaMsg msg, int fallback, bool useCache, SegmentSlider* slider, QuvDoubleSpinBox* spin);
    void setPatternEnabled(bool on);
    void setGainsEnabled(bool on);

    // The white balance buttons: mode, picture stem, tool tip, member and cell.
    struct WbButton;
    static const WbButton s_wbButtons[7];

    int m_selectedRow = 0;
    QListWidget* m_paneList = nullptr;
    QWidget* m_featuresPane = nullptr;
    QWidget* m_spotPane = nullptr;
    QWidget* m_outputPane = nullptr;
    QWidget* m_infoPane = nullptr;

    // Output
    QuvComboBox* m_videoFormatCombo = nullptr;
    QuvComboBox* m_colorSpaceCombo = nullptr;
    QuvComboBox* m_baudRateCombo = nullptr;
    QuvComboBox* m_delayModeCombo = nullptr;
    QuvPushButton* m_applyButton = nullptr;
    QLabel* m_restartNote = nullptr;
    int m_pendingVideoFormat = 0;
    int m_pendingColorSpace = 0;
    int m_pendingBaudRate = 0;
    int m_pendingDelayMode = 0;

    // Spot and gamma
    ScreenProxyIcon* m_spotFocusPicture = nullptr;
    ScreenProxyIcon* m_spotAePicture = nullptr;
    QPushButton* m_spotFocusSwitch = nullptr;
    QPushButton* m_spotAeSwitch = nullptr;
    QuvComboBox* m_gammaModeCombo = nullptr;
    SegmentSlider* m_gammaPatternSlider = nullptr;
    SegmentSlider* m_gammaOffsetSlider = nullptr;
    QuvDoubleSpinBox* m_gammaPatternSpin = nullptr;
    QuvDoubleSpinBox* m_gammaOffsetSpin = nullptr;
    QPushButton* m_gammaPatternReset = nullptr;
    QPushButton* m_gammaOffsetReset = nullptr;

    // Features
    QuvComboBox* m_nrTypeCombo = nullptr;
    SegmentSlider* m_nrLevelSlider = nullptr;
    QPushButton* m_backLightSwitch = nullptr;
    QPushButton* m_irCutFilterSwitch = nullptr;
    QPushButton* m_osdSwitch = nullptr;
    QPushButton* m_flipVSwitch = nullptr;
    QPushButton* m_flipHSwitch = nullptr;
    QPushButton* m_muteSwitch = nullptr;
    QPushButton* m_lowDelaySwitch = nullptr;
    QuvComboBox* m_colorBarCombo = nullptr;
    QPushButton* m_wbAutoButton = nullptr;
    QPushButton* m_wbDaylightButton = nullptr;
    QPushButton* m_wbIndoorButton = nullptr;
    QPushButton* m_wbOnePushButton = nullptr;
    QPushButton* m_wbAutoTraceButton = nullptr;
    QPushButton* m_wbSodiumButton = nullptr;
    QPushButton* m_wbManualButton = nullptr;
    QPushButton* m_onePushSetButton = nullptr;
    SegmentSlider* m_rGainSlider = nullptr;
    SegmentSlider* m_bGainSlider = nullptr;
    QuvDoubleSpinBox* m_rGainSpin = nullptr;
    QuvDoubleSpinBox* m_bGainSpin = nullptr;
    QPushButton* m_rGainReset = nullptr;
    QPushButton* m_bGainReset = nullptr;

    // Info
    QLineEdit* m_nameEdit = nullptr;
    QLineEdit* m_portNameEdit = nullptr;
    QLineEdit* m_temperatureEdit = nullptr;
    QuvComboBox* m_slotCombo = nullptr;
};
