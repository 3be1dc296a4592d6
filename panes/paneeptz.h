#pragma once

#include "panes/panebase.h"

#include <cstdint>

#include <QList>

class NavButton;
class QPushButton;
class QRect;
class QuvDoubleSpinBox;
class ScreenProxy;

// The ePTZ pane: with ePTZ on, the camera sends an HD window (1920 x 1080) cut
// from its UHD picture (3840 x 2160), and this pane moves that window. The
// user drags it in a picture of the UHD frame, nudges it with eight arrows or
// centres it, types its centre offset, or steers it with the joystick. A
// position is kept three ways:
//   left/top  the window's top-left corner in frame units (0..1920, 0..1080),
//             as the picture holds it;
//   X/Y       the window centre's offset from the picture centre in frame
//             units, X to the right (-960..960), Y upwards (-540..540), as the
//             spin boxes show it;
//   pan/tilt  the two 16-bit VISCA values of the ePTZ position, mirrored for a
//             camera whose picture is flipped vertically.
// The position is the camera's; the controls are views of it. Moves are queued
// to the camera (a newer one replaces one still waiting). GUI thread only.
class PaneEptz : public PaneBase
{
    Q_OBJECT

public:
    PaneEptz(DeviceSet* devices, QWidget* parent);
    ~PaneEptz() override;

    // Whether the current camera's picture is flipped vertically.
    bool isVFlip();
    // Reads on/off and the position and shows them in every control.
    void syncOnOff(bool useCache);
    // Reads the position into the picture and the spin boxes.
    void syncEptzValue(bool useCache);

    static void eptLeftTopToXY(int left, int top, int& x, int& y);
    static void eptXYToLeftTop(int x, int y, int& left, int& top);
    // X/Y (held to -960..960 and -540..540) to VISCA pan/tilt and back; one
    // pan step is 6 frame units, one tilt step 4.5. The member forms mirror
    // for the current camera's flip.
    void eptXYToVisca(int x, int y, int& pan, int& tilt);
    void eptViscaToXY(int pan, int tilt, int& x, int& y);
    static void eptXYToVisca(int x, int y, bool flipped, int& pan, int& tilt);
    static void eptViscaToXY(int pan, int tilt, bool flipped, int& x, int& y);

    ScreenProxy* picture() const { return m_picture; }
    QPushButton* onOffSwitch() const { return m_onOff; }
    // top, right, left, bottom, center, lefttop, righttop, leftbottom, rightbottom
    const QList<NavButton*>& navButtons() const { return m_navButtons; }
    QuvDoubleSpinBox* spinX() const { return m_spinX; }
    QuvDoubleSpinBox* spinY() const { return m_spinY; }

public slots:
    void uiSetup() override;
    void uiSync(bool useCache) override;
    // 1 (ePTZ) re-reads from the camera; other kinds are the base's.
    void uiResync(ResyncType type) override;
    // The zoom group's tick, only while the pane is shown.
    void uiTimerUpdate() override;

    // The switch toggled: ePTZ needs a UHD output format to go on.
    void slot_onOff(bool on);
    // The window dragged in the picture (only its top-left corner counts).
    void slot_eptPosition(const QRect& r);
    // One of the nine buttons clicked (the sender).
    void slot_nav();
    void slot_spinX(double x);
    void slot_spinY(double y);
    // A joystick step of the centre offset, in frame units.
    void slot_deltaXY(double dx, double dy);

private:
    struct NavRow;
    static const NavRow s_navRows[9];

    // Queues X/Y to the camera and shows it.
    void sendPosition(int x, int y);
    // Shows X/Y in the picture and the spin boxes, without signals.
    void showPosition(int x, int y);

    ScreenProxy* m_picture = nullptr;
    QPushButton* m_onOff = nullptr;
    NavButton* m_left = nullptr;
    NavButton* m_top = nullptr;
    NavButton* m_right = nullptr;
    NavButton* m_bottom = nullptr;
    NavButton* m_center = nullptr;
    NavButton* m_lefttop = nullptr;
    NavButton* m_righttop = nullptr;
    NavButton* m_leftbottom = nullptr;
    NavButton* m_rightbottom = nullptr;
    QList<NavButton*> m_navButtons;
    QuvDoubleSpinBox* m_spinX = nullptr;
    QuvDoubleSpinBox* m_spinY = nullptr;
    // Until this clock reading the tick shows the cached position: a re-read
    // asked for right after a queued move may have been answered before the
    // move reached the camera. 0 for none.
    uint64_t m_positionRefreshDeadline_ms = 0;
};
