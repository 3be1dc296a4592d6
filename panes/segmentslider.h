#pragma once

#include <QSlider>
#include <QString>

class QMouseEvent;
class QPaintEvent;

// The kind of a SegmentSlider: its range, its look and the caption in its
// handle. Values outside 0..7 are allowed and mean "no kind" (plain look,
// range untouched, the value as caption).
enum SegSliderType : int
{
    SegSliderOpticalZoom = 0, // 0..16384, zoom factor
    SegSliderSuperZoom = 1, // 0..22976, zoom factor
    SegSliderDigitalZoom = 2, // 0..31424, zoom factor
    SegSliderIris = 3, // 0..13, f-stop
    SegSliderIrisGain = 4, // 0..28, f-stop over gain
    SegSliderGain = 5, // 0..11, gain in dB
    SegSliderFocus = 6, // 0..57344, focus scale 10..1500
    SegSliderMini = 7, // 0..5, no caption
};

// The horizontal slider of every camera value the panes set by dragging. The
// caption drawn in the handle speaks camera terms ("12.0x", "f2.8", "9dB");
// a left click off the handle moves the handle there and the drag goes on
// from there. Knows nothing of cameras; GUI thread only.
class SegmentSlider : public QSlider
{
    Q_OBJECT

public:
    explicit SegmentSlider(Qt::Orientation orientation, QWidget* parent = nullptr);
    explicit SegmentSlider(QWidget* parent = nullptr);
    ~SegmentSlider() override;

    // On a change of kind: range 0..maximum of the kind (kept for a value
    // outside 0..7), the kind's style sheet, a repaint. The same kind again
    // does nothing. A range change may move the value, which emits
    // valueChanged unless the caller blocks signals.
    void setSliderType(SegSliderType type);
    // -1 until the first setSliderType.
    SegSliderType sliderType() const { return m_type; }

    // The caption of value for a kind (also the status strip's texts).
    static QString valueString(int value, SegSliderType type);
    // The magnification of a zoom position: 2^(k * value) corrected so that
    // the curve passes through 1x, 2x, 12x and 144x (digital) or 20x (super).
    static double calculateZoom(int value, SegSliderType type);

signals:
    // Declared for callers that connect to it; nothing emits it.
    void rightClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    SegSliderType m_type = SegSliderType(-1);
};
