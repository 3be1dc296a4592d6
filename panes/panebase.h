#pragma once

#include "device/viscamessage.h"
#include "panes/panetypes.h"

#include <cstdint>
#include <functional>

#include <QWidget>

class DeviceInterface;
class DeviceSet;
class JogController;
class QLabel;
class QPoint;
class QPushButton;
class SegmentSlider;
enum SegSliderType : int;

// The base of the control panes. The main window drives every pane through
// the virtual operations below (build, re-read, resync, tick, preferences,
// controller commands); a pane asks the main window for a resync or a warning
// through the two signals. Every action goes to the camera selected at that
// moment (DeviceSet::get(), never null).
//
// A pane may carry the zoom group: a zoom slider between a wide and a tele
// button, captions and the auto-zoom jog, with the auto-zoom logic (start,
// reverse, stop; speeds from the jog and the joystick), the zoom-mode menu and
// the re-reading of the zoom position while the lens moves. Variant 1 is the
// large group (with the jog), variant 2 the small one; 0 means none. GUI
// thread only; the pane talks to the cameras through DeviceInterface alone.
class PaneBase : public QWidget
{
    Q_OBJECT

public:
    PaneBase(DeviceSet* deviceSet, QWidget* parent);
    ~PaneBase() override;

    // Builds the zoom group at (x, y) of parent (once, from uiSetup).
    void uiSetupZoomGroup(int x, int y, QWidget* parent, int variant);
    // Slider kind and captions for a digital-zoom mode (2 digital, 4 super,
    // any other optical); the range changes without sending a position.
    void syncDZoomMode(int mode);
    // The slider kind, and so the scale, of a digital-zoom mode as above.
    static SegSliderType zoomSliderType(int mode);
    // Reads the zoom position into the slider without signals; returns the
    // value read (8192 when the read fails).
    int syncZoomValue(bool useCache);
    // Sends a digital-zoom mode and shows its range at once.
    void zoomTypeSet(int mode);
    // Stops a running auto-zoom and unchecks its button.
    void autoZoomStop();
    // Keyboard toggles: start, stop or reverse auto-zoom in one direction.
    void zoomToggleTele();
    void zoomToggleWide();

    int zoomGroupVariant() const { return m_variant; }
    SegmentSlider* zoomSlider() const { return m_zoomSlider; }
    QPushButton* zoomWideButton() const { return m_wideButton; }
    QPushButton* zoomTeleButton() const { return m_teleButton; }
    QLabel* zoomDigitalLabel() const { return m_digitalLabel; }
    QLabel* zoomRampIcon() const { return m_rampIcon; }
    QLabel* zoomTeleLabel() const { return m_teleLabel; }
    JogController* zoomJog() const { return m_jog; }
    // The clock reading until which the tick re-reads the zoom position; 0 for none.
    uint64_t zoomRereadDeadline_ms() const { return m_zoomRereadDeadline_ms; }
    // The bell a pane rings for input it refuses: the system bell unless replaced.
    void setBeep(std::function<void()> beep);

public slots:
    // Contents margins 0 and a translucent background.
    virtual void uiSetup();
    // Re-reads the zoom group (when the pane has one).
    virtual void uiSync(bool useCache);
    // 0: uiSync(false); other kinds are for the panes.
    virtual void uiResync(ResyncType type);
    // The 100 ms tick: follows the zoom position while it changes.
    virtual void uiTimerUpdate();
    virtual void preferenceRead();
    virtual void preferenceWrite();
    // Keyboard and controller commands; none for the base.
    virtual void buttonClick(int op);

signals:
    void sig_resync(ResyncType refreshType);
    void sig_postWarning(WarningType refreshType);

public slots:
    // The slider moved: stops auto-zoom and queues the position.
    void slot_zoomValue(int val);
    // Sends a digital-zoom mode and re-reads the position.
    void slot_dZoomMode(int bVal);
    // Changes the camera's stored zoom speed, and a running zoom's speed.
    void slot_zoomSpeed(int val);
    // The zoom buttons: start, reverse or stop.
    void slot_zoomStartTele();
    void slot_zoomStartWide();
    // The joystick's zoom axis, val in -1..1 (negative toward wide).
    void slot_zoomVector(double val, bool on);
    // Speed and direction (0 stop, 1 wide, 2 tele) from the jog, the joystick
    // and the main window's zoom commands.
    void slot_zoomState(int val, int zoomState);
    // The zoom-mode menu at pt of the requesting widget.
    void slot_zoomContextMenu(const QPoint& pt);

protected:
    DeviceSet* deviceSet() const { return m_deviceSet; }
    // The selected camera (the placeholder for an empty slot).
    DeviceInterface* device() const;
    // Sets a button's checked state without raising its signals.
    static void setCheckedQuietly(QPushButton* button, bool checked);
    void beep() const { m_beep(); }

private:
    bool hasZoomGroup() const { return m_zoomSlider != nullptr; }
    // A zoom button's click: start toward direction, stop it, or reverse the other way.
    void zoomStart(eAutoZoomState direction);
    void setJogValueQuietly(int value);

    DeviceSet* m_deviceSet;
    int m_variant = 0;
    SegmentSlider* m_zoomSlider = nullptr;
    QPushButton* m_wideButton = nullptr;
    QPushButton* m_teleButton = nullptr;
    QLabel* m_digitalLabel = nullptr;
    QLabel* m_rampIcon = nullptr;
    QLabel* m_teleLabel = nullptr;
    JogController* m_jog = nullptr;
    uint64_t m_zoomRereadDeadline_ms = 0;
    std::function<void()> m_beep;
};
