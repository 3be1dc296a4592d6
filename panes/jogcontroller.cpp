#include "panes/jogcontroller.h"

#include "media/mediaresources.h"

#include <cstdlib>

#include <QMouseEvent>
#include <QPainter>
#include <QtDebug>

namespace {

constexpr int kMaxSpeed = 7;
constexpr int kArrowCount = 8;
// Distance between the left edges of neighbouring arrows, in pixels.
constexpr int kArrowPitch = 13;
// Top of the arrows in the strip, in pixels.
constexpr int kArrowTop = 5;
// A press held this long or longer acts only while held (milliseconds).
constexpr uint32_t kHoldThreshold_ms = 250;

QPixmap loadImage(const char* path)
{
    const QString name = QString::fromLatin1(path);
    QPixmap image(name);
    if (image.isNull())
        qWarning() << "JogController: cannot load" << name;
    return image;
}

} // namespace

JogController::JogController(QWidget* parent)
    : QWidget(parent)
{
    media::initResources();
    m_iconOff = loadImage(":/media/zoom_arrow_icon_off.png");
    m_iconOn = loadImage(":/media/zoom_arrow_icon_on.png");
    m_leftOff = loadImage(":/media/zoom_arrow_left_off.png");
    m_leftOn = loadImage(":/media/zoom_arrow_left_on.png");
    m_rightOff = loadImage(":/media/zoom_arrow_right_off.png");
    m_rightOn = loadImage(":/media/zoom_arrow_right_on.png");
}

JogController::~JogController() = default;

void JogController::setValue(int v)
{
    v = qBound(0, v, kMaxSpeed);
    if (v == m_value)
        return;
    m_value = v;
    emit jogStateChanged(m_value, m_zoomingState);
    update();
}

void JogController::setZoomingState(eAutoZoomState s)
{
    if (s == m_zoomingState)
        return;
    m_zoomingState = s;
    emit jogStateChanged(m_value, m_zoomingState);
    update();
}

int JogController::xPosForZoomOutValue(int i) const
{
    return width() / 2 - m_leftOff.width() - kArrowPitch * (i + 1);
}

int JogController::xPosForZoomInValue(int i) const
{
    return width() / 2 - 2 + kArrowPitch * (i + 1);
}

int JogController::valueAtPoint(const QPoint& p, eAutoZoomState& s) const
{
    const int x = p.x();
    const int dx = x - width() / 2;
    if (std::abs(dx) < m_iconOff.width() / 2) {
        s = AutoZoom::Stopped;
        return 0;
    }
    if (dx < 0) {
        s = AutoZoom::ZoomingWide;
        for (int i = 0; i < kMaxSpeed; ++i) {
            if (x > xPosForZoomOutValue(i))
                return i;
        }
        return kMaxSpeed;
    }
    s = AutoZoom::ZoomingTele;
    const int aw = m_leftOff.width();
    for (int i = 0; i < kMaxSpeed; ++i) {
        if (x < xPosForZoomInValue(i) + aw)
            return i;
    }
    return kMaxSpeed;
}

void JogController::changeTo(int v, eAutoZoomState s)
{
    if (v == m_value && s == m_zoomingState)
        return;
    m_value = v;
    m_zoomingState = s;
    emit jogStateChanged(v, s);
    update();
}

void JogController::mousePressEvent(QMouseEvent* event)
{
    m_pressTimer.Start();
    m_pressPosition = event->pos();
    m_pressed = true;
    eAutoZoomState s = AutoZoom::Stopped;
    const int v = valueAtPoint(event->pos(), s);
    changeTo(v, s);
    QWidget::mousePressEvent(event);
}

void JogController::mouseMoveEvent(QMouseEvent* event)
{
    eAutoZoomState s = AutoZoom::Stopped;
    const int v = valueAtPoint(event->pos(), s);
    changeTo(v, s);
    QWidget::mouseMoveEvent(event);
}

void JogController::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    const uint32_t held_ms = m_pressTimer.ElapsedTime();
    if (held_ms >= kHoldThreshold_ms) {
        // A held press acts only while held: its release always stops.
        m_value = 0;
        m_zoomingState = AutoZoom::Stopped;
        emit jogStateChanged(0, 0);
        update();
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // A click latches what its release point asks for.
    eAutoZoomState s = AutoZoom::Stopped;
    const int v = valueAtPoint(event->pos(), s);
    changeTo(v, s);
}

void JogController::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const QPixmap& icon = m_zoomingState != AutoZoom::Stopped ? m_iconOn : m_iconOff;
    painter.drawPixmap((width() - icon.width()) / 2, 0, icon);
    for (int i = 0; i < kArrowCount; ++i) {
        const bool lit = m_zoomingState == AutoZoom::ZoomingTele && i <= m_value;
        painter.drawPixmap(xPosForZoomInValue(i), kArrowTop, lit ? m_rightOn : m_rightOff);
    }
    for (int i = 0; i < kArrowCount; ++i) {
        const bool lit = m_zoomingState == AutoZoom::ZoomingWide && i <= m_value;
        painter.drawPixmap(xPosForZoomOutValue(i), kArrowTop, lit ? m_leftOn : m_leftOff);
    }
}
