#include "quvapp/quvdoublespinbox.h"

#include <QWheelEvent>

QuvDoubleSpinBox::QuvDoubleSpinBox(QWidget* parent)
    : QDoubleSpinBox(parent)
{ }

void QuvDoubleSpinBox::setValueNoSignal(double value)
{
    const bool wasBlocked = blockSignals(true);
    setValue(value);
    blockSignals(wasBlocked);
}

void QuvDoubleSpinBox::wheelEvent(QWheelEvent* event)
{
    if (rect().contains(event->position().toPoint())) {
        QDoubleSpinBox::wheelEvent(event);
        return;
    }
    // Outside the widget: taken, so that it reaches neither this box nor its parent.
    event->accept();
}
