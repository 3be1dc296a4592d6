#pragma once

#include "device/viscavalues.h"
#include "panes/panebase.h"

#include <cstdint>

#include <QString>

class QButtonGroup;
class QContextMenuEvent;
class QPushButton;
class QuvComboBox;
class SegmentSlider;

// The camera pane: exposure (automatic, or one of four manual modes with
// aperture, shutter speed and gain), focus (automatic, momentary automatic or
// manual) and, below them, the large zoom group of the base.
//
// User actions become camera messages (4 iris, 5 exposure mode, 6 focus
// position, 7 focus mode, 14 shutter, 30 gain, 49 bright level) on the camera
// selected at that moment. The camera picks some values by itself (the
// shutter in iris priority, the aperture in shutter priority, all three in
// automatic, the focus in automatic focus), so after such an action the
// 100 ms tick re-reads them for a while. Read-backs set the controls with
// their signals blocked, so that they send nothing. GUI thread only.
class PaneCamera : public PaneBase
{
    Q_OBJECT

public:
    PaneCamera(DeviceSet* deviceSet, QWidget* parent);
    ~PaneCamera() override;

    // Shows an exposure mode: the checked mode button, which controls are
    // enabled, the aperture slider's kind, and fresh shutter and aperture
    // values from the camera. A mode other than 0, 3, 10, 11 and 13 is
    // replaced by manual (3), on the camera too. A mode other than 0 is
    // remembered as the one that switching automatic exposure off returns to.
    void syncApertManualPriority(int aeMode);
    // Each reads one camera value into its control, from the cache when
    // useCache and the cache holds it.
    void syncFocusValue(bool useCache);
    void syncGainValue(bool useCache);
    void syncShutterValue(bool useCache);
    void syncApertureValue(bool useCache);

    // Camera values and slider positions. Out-of-range input is clamped.
    static int convApertUiToVisca(int ui);
    static int convApertViscaToUi(int v);
    static int convBrightUiToVisca(int ui);
    static int convBrightViscaToUi(int v);
    static int convGainUiToVisca(int ui);
    static int convGainViscaToUi(int v);
    // The focus slider runs opposite to the camera value: one mapping both ways.
    static int convFocusUiToVisca(int ui);
    static int convFocusViscaToUi(int v);
    // "1/1" .. "1/10000"; outside 0..21 the nearest end.
    static QString convShutterViscaToString(int v);

    SegmentSlider* apertureSlider() const { return m_apertureSlider; }
    QPushButton* autoExposureToggle() const { return m_autoExposureToggle; }
    QuvComboBox* shutterCombo() const { return m_shutterCombo; }
    QPushButton* irisPriorityButton() const { return m_irisPriorityButton; }
    QPushButton* shutterPriorityButton() const { return m_shutterPriorityButton; }
    QPushButton* manualButton() const { return m_manualButton; }
    QPushButton* brightButton() const { return m_brightButton; }
    SegmentSlider* gainSlider() const { return m_gainSlider; }
    SegmentSlider* focusSlider() const { return m_focusSlider; }
    QPushButton* autoFocusToggle() const { return m_autoFocusToggle; }
    int savedAeMode() const { return m_savedAeMode; }
    // Clock readings until which the tick re-reads exposure and focus; 0 for none.
    uint64_t aeRereadDeadline_ms() const { return m_aeRereadDeadline_ms; }
    uint64_t focusRereadDeadline_ms() const { return m_focusRereadDeadline_ms; }

public slots:
    // Builds the controls and the zoom group and connects them; once, right after construction.
    void uiSetup() override;
    // The zoom group, then exposure mode, focus mode and every value.
    void uiSync(bool useCache) override;
    // 7: the focus from the cache (undoes a refused focus change).
    void uiResync(ResyncType type) override;
    // Follows the values the camera picks by itself while a window is open.
    void uiTimerUpdate() override;
    // The saved exposure mode ("prefs/saved_aeMode").
    void preferenceRead() override;
    void preferenceWrite() override;
    // 300 toggles automatic exposure; 306 one step darker, 307 one step brighter.
    void buttonClick(int op) override;

    void slot_apertReleased();
    void slot_apertValue(int val);
    // The joystick's aperture axis, z in -1..1: the further, the more often it steps.
    void slot_apertVector(double z, bool on);
    void slot_apertAuto(bool val);
    // A mode button: manual, iris priority, shutter priority or bright.
    void slot_apertPriority();
    // The shutter combo's row val.
    void slot_apertShutterSpeed(int val);
    void slot_gainValue(int val);
    void slot_gainVector(double z, bool on);
    void slot_focusValue(int val);
    // Momentary automatic focus: on while held, unless it was on already.
    void slot_focusAutoPush(bool down);
    void slot_focusAuto(bool val);
    void slot_focusVector(double val, bool on);

protected:
    // Passes the right click on, to the main window's menu.
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    void connectControls();
    // One exposure step of the keyboard or the controller.
    void stepExposure(bool brighter);
    // The exposure mode from the cache; preset when it cannot be read.
    int cachedAeMode(int preset) const;
    void openAeWindow();
    bool cameraZooming() const;

    SegmentSlider* m_apertureSlider = nullptr;
    QPushButton* m_autoExposureToggle = nullptr;
    QuvComboBox* m_shutterCombo = nullptr;
    QPushButton* m_irisPriorityButton = nullptr;
    QPushButton* m_shutterPriorityButton = nullptr;
    QPushButton* m_manualButton = nullptr;
    QPushButton* m_brightButton = nullptr;
    SegmentSlider* m_gainSlider = nullptr;
    SegmentSlider* m_focusSlider = nullptr;
    QPushButton* m_autoFocusToggle = nullptr;
    int m_savedAeMode = ExposureMode::Manual;
    uint64_t m_aeRereadDeadline_ms = 0;
    uint64_t m_focusRereadDeadline_ms = 0;
    QButtonGroup* m_modeGroup = nullptr;
};
