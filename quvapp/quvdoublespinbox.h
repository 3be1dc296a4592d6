#pragma once

#include <QDoubleSpinBox>

// The numeric field of the panes: takes the mouse wheel only while the pointer
// is over it, and can be set from a camera read-back without a signal.
class QuvDoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit QuvDoubleSpinBox(QWidget* parent = nullptr);

    // Sets the value without emitting valueChanged; the signal blocking in
    // force before the call is restored afterwards.
    void setValueNoSignal(double value);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
