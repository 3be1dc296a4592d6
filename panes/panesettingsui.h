#pragma once

// Building blocks shared by the sub-panes of the settings pane (not part of
// the library's interface).

#include <QIcon>
#include <QRect>
#include <QString>

class QLabel;
class QObject;
class QPushButton;
class QWidget;
class QuvComboBox;
class QuvDoubleSpinBox;
class SegmentSlider;

namespace settingsui {

// One row of a combo box: the text shown and the value sent to the camera.
struct Choice
{
    const char* label;
    int value;
};

// Grey 13 px caption of the Output sub-pane and of the spot and gamma labels.
extern const char* const kGreyCaptionSheet;
// A caption of the Features sub-pane.
extern const char* const kCaptionSheet;

QLabel* caption(QWidget* parent, const char* text, const QRect& geometry, const char* sheet = nullptr,
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A label showing ":/media/<image>.png" unscaled.
QLabel* imageLabel(QWidget* parent, const char* image, const QRect& geometry);

// A combo box filled with count choices, each value as item data.
QuvComboBox* combo(
    QWidget* parent, const char* name, const Choice* choices, int count, const QRect& geometry, const char* toolTip);
template<int N>
QuvComboBox* combo(
    QWidget* parent, const char* name, const Choice (&choices)[N], const QRect& geometry, const char* toolTip)
{
    return combo(parent, name, choices, N, geometry, toolTip);
}

// A mini segment slider with its own range.
SegmentSlider* miniSlider(
    QWidget* parent, const char* name, int minimum, int maximum, int value, const QRect& geometry, const char* toolTip);
// A whole-number spin box.
QuvDoubleSpinBox* spinBox(
    QWidget* parent, const char* name, int minimum, int maximum, int value, const QRect& geometry, const char* toolTip);

// The two-state slide switch (off and on pictures for every icon mode).
QPushButton* switchButton(QWidget* parent, const char* name, const QRect& geometry, const char* toolTip);
// A flat picture button drawn by its style sheet: the one-push set button
// ("wb_set") and the reset buttons ("wb_reset").
QPushButton* pictureButton(
    QWidget* parent, const char* name, const char* stem, bool checkable, const QRect& geometry, const char* toolTip);

} // namespace settingsui
