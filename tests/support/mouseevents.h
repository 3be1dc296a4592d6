#pragma once

// Mouse input for widget tests: events sent straight to a widget, as the
// window system delivers them, so that no window has to be on a screen.

#include <QEvent>
#include <QPoint>

class QWidget;

namespace quvtest {

// Sends widget a mouse event of type (press, release or move) at pos, in
// widget coordinates; its global position is pos mapped to global. A press or
// release is of button, which is held after the press and not after the
// release. A move names no button and holds button (Qt::NoButton: the
// pointer only hovers).
void mouse(QWidget* widget, QEvent::Type type, const QPoint& pos, Qt::MouseButton button = Qt::LeftButton,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace quvtest
