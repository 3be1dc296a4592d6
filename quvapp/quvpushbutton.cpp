#include "quvapp/quvpushbutton.h"

QuvPushButton::QuvPushButton(QWidget* parent)
    : QPushButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

QuvPushButton::QuvPushButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setFocusPolicy(Qt::NoFocus);
}

QuvPushButton::QuvPushButton(const QIcon& icon, const QString& text, QWidget* parent)
    : QPushButton(icon, text, parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void QuvPushButton::setCloaked(bool cloaked)
{
    m_cloaked = cloaked;
}

bool QuvPushButton::hitButton(const QPoint& pos) const
{
    return rect().contains(pos);
}
