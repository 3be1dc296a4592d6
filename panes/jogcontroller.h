#pragma once

#include "device/viscamessage.h"
#include "panes/paneclock.h"

#include <QPixmap>
#include <QPoint>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

// The auto-zoom jog: a centre icon with eight arrows on each side. Pressing or
// dragging over the left arrows asks for zooming toward wide, over the right
// ones toward tele, at a speed 0..7 that grows with the distance from the
// centre; the centre stops. A click shorter than 250 ms latches the choice, a
// longer press acts only while held. Every change is reported as
// jogStateChanged(speed, state); the owner also sets value and state so that
// the lit arrows follow the running zoom. Knows nothing of cameras.
class JogController : public QWidget
{
    Q_OBJECT

public:
    explicit JogController(QWidget* parent = nullptr);
    ~JogController() override;

    // Clamped to 0..7; a change is emitted and repainted.
    void setValue(int v);
    int value() const { return m_value; }
    // A change is emitted and repainted.
    void setZoomingState(eAutoZoomState s);
    eAutoZoomState zoomingState() const { return m_zoomingState; }

    // The speed and state that a press at p asks for.
    int valueAtPoint(const QPoint& p, eAutoZoomState& s) const;
    // Left edges of the i-th left (wide) and right (tele) arrow; arrow 0 is
    // the nearest to the centre, arrows are 13 pixels apart.
    int xPosForZoomOutValue(int i) const;
    int xPosForZoomInValue(int i) const;

signals:
    void jogStateChanged(int val, int zoomState);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Stores and reports (v, s) when it differs from the current pair.
    void changeTo(int v, eAutoZoomState s);

    int m_value = 0;
    eAutoZoomState m_zoomingState = AutoZoom::Stopped;
    bool m_pressed = false;
    PaneStopwatch m_pressTimer;
    QPoint m_pressPosition;
    QPixmap m_iconOff;
    QPixmap m_iconOn;
    QPixmap m_leftOff;
    QPixmap m_leftOn;
    QPixmap m_rightOff;
    QPixmap m_rightOn;
};
