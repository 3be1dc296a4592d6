#pragma once

// The controller poller. It lives on the control thread, where a 50 ms timer
// calls slot_controlPoll; it reads the joystick through SdlJoystick, turns
// button changes into click and push operations (TaqoOp) and the axes into
// values from -1 to 1, and sends them to the main window as queued signals.

#include <atomic>

#include <QList>
#include <QObject>
#include <QString>

#include "app/controlmap.h"
#include "quvbase/system/quvtime.h"

class SdlJoystick;

class ControlBase : public QObject
{
    Q_OBJECT

public:
    // Axis slots 0..3: X, Y, Z and S; further axes are ignored.
    static constexpr int AXIS_SLOTS = 4;

    // Creates the singleton on the calling thread, which must then hand the
    // object to the control thread with moveToThread. It starts without SDL
    // and without a joystick: the poll after the first slot_usbRescan starts
    // SDL and sets up the first joystick.
    static ControlBase* GetInstance();
    static void ReleaseInstance();
    ~ControlBase() override;

    // Whether a joystick was opened at the last set-up; safe from any thread.
    bool joystickAttached() const { return m_attached; }
    // Opens the first joystick and loads the layout its name chooses; before
    // SDL has started (see GetInstance), finds none.
    void joystickSetup();
    // Layout 1 for a name containing "VM" (case-sensitive), else 0.
    static MapType mapType(const QString& name);

    // One SDL event and the button changes it brings; false when not attached.
    bool buttonPoll();
    // Hands each button whose state changed since the last poll to
    // buttonChanged; false when nothing changed, no event came or no
    // joystick is attached.
    bool buttonProcess();
    // The repeat filter and the signal for one button change.
    void buttonChanged(unsigned button, bool down);
    // Maps raw (-32768..32767) outside +-deadZone onto -1..1 (active), and the
    // dead zone onto 0 (inactive); reverse negates the result.
    static double deadzoneNormalize(int raw, int deadZone, bool reverse, bool& active);
    // Normalises the axes and emits the three axis signals; true when an axis
    // entered or left its dead zone. Without an attached joystick it does
    // nothing and returns false.
    bool joystickUpdate();

public slots:
    void slot_controlPoll();
    // Re-creates the SDL layer at the next poll, which re-enumerates the
    // joysticks; the first request starts SDL.
    void slot_usbRescan();

signals:
    void sig_joystickXY(double x, double y, bool on, bool changed);
    void sig_joystickZ(double z, bool on, bool changed);
    void sig_joystickS(double s, bool on, bool changed);
    void sig_buttonClick(int taqoOp);
    void sig_buttonPush(int taqoOp, bool down);
    void sig_finished();

private:
    ControlBase();

    std::atomic<bool> m_attached { false };
    int m_axisCount = 0;
    int m_buttonCount = 0;
    QList<bool> m_lastButtons;
    SdlJoystick* m_joystick = nullptr;
    QString m_name;
    // Time since the last button change or set-up, for the repeat filter.
    QUVTimer m_buttonTimer { QUVTimerPrecisionMilliseconds };
    ControlMap m_map;
    double m_axisPrevious[AXIS_SLOTS] = {};
    double m_axisValue[AXIS_SLOTS] = {};
    bool m_axisPreviousActive[AXIS_SLOTS] = {};
    bool m_axisActive[AXIS_SLOTS] = {};
    std::atomic<bool> m_rescanPending { false };
};
