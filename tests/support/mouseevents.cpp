#include "mouseevents.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace quvtest {

void mouse(
    QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
        type == QEvent::MouseMove ? Qt::NoButton : button, held, modifiers);
    QApplication::sendEvent(widget, &event);
}

} // namespace quvtest
