#include "panes/segmentslider.h"

#include "media/mediaresources.h"

#include <cmath>

#include <QColor>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

// The five looks. The super zoom and iris ramps are the digital ramp with
// "zoomdig" replaced (see rampSheet).
const char* const kPlainSheet
    = "QSlider {background: transparent;}"
      "QSlider::groove:horizontal {border-image: url(:/media/slider_horiz_on_25.png);background: "
      "transparent;background-repeat: no-repeat;height:17px;}"
      "QSlider::sub-page:horizontal {border-image: url(:/media/slider_horiz_on_25.png);}"
      "QSlider::sub-page:horizontal:disabled {border-image: url(:/media/slider_horiz_disabled_25.png);}"
      "QSlider::add-page:horizontal {background-image: url(:/media/slider_horiz_off_25.png);background-position: top "
      "right;}"
      "QSlider::add-page:horizontal:disabled {background-image: "
      "url(:/media/slider_horiz_disabled_25.png);background-position: top right;}"
      "QSlider::handle:horizontal {background: transparent;border-image: "
      "url(:/media/fader_on_25.png);background-repeat: no-repeat;margin-top: -9px;margin-bottom: -9px;width:47;}"
      "QSlider::handle:horizontal:hover {border-image: url(:/media/fader_on_press_25.png);}"
      "QSlider::handle:horizontal:disabled {border-image: url(:/media/fader_disabled_25.png);}";

const char* const kDigitalRampSheet
    = "QSlider {background: transparent;}"
      "QSlider::groove:horizontal {background-image: url(:/media/slider_horiz_zoomdig_on_25.png);background-position: "
      "top left;background: transparent;background-repeat: no-repeat;height:17px;}"
      "QSlider::sub-page:horizontal {background-image: "
      "url(:/media/slider_horiz_zoomdig_on_25.png);background-position: top left;}"
      "QSlider::sub-page:horizontal:disabled {background-image: url(:/media/slider_horiz_disabled_25.png);}"
      "QSlider::add-page:horizontal {background-image: "
      "url(:/media/slider_horiz_zoomdig_off_25.png);background-position: top right;}"
      "QSlider::add-page:horizontal:disabled {background-image: "
      "url(:/media/slider_horiz_disabled_25.png);background-position: top right;}"
      "QSlider::handle:horizontal {background: transparent;border-image: "
      "url(:/media/fader_on_25.png);background-repeat: no-repeat;margin-top: -9px;margin-bottom: -9px;width:47;}"
      "QSlider::handle:horizontal:hover {border-image: url(:/media/fader_on_press_25.png);}"
      "QSlider::handle:horizontal:disabled {border-image: url(:/media/fader_disabled_25.png);}";

const char* const kMiniSheet
    = "QSlider {background: transparent;}"
      "QSlider::groove:horizontal {background-image: url(:/media/slider_mini_on.png);background-position: top "
      "left;background: transparent;background-repeat: no-repeat;height:13px;}"
      "QSlider::sub-page:horizontal {background-image: url(:/media/slider_mini_on.png);background-position: top left;}"
      "QSlider::sub-page:horizontal:disabled {background-image: url(:/media/slider_mini_disabled.png);}"
      "QSlider::add-page:horizontal {background-image: url(:/media/slider_mini_off.png);background-position: top "
      "right;}"
      "QSlider::add-page:horizontal:disabled {background-image: "
      "url(:/media/slider_mini_disabled.png);background-position: top right;}"
      "QSlider::handle:horizontal {background: transparent;border-image: "
      "url(:/media/fader_mini_on.png);background-repeat: no-repeat;margin-top: -3px;margin-bottom: -3px;width:12;}"
      "QSlider::handle:horizontal:hover {border-image: url(:/media/fader_mini_on_press.png);}"
      "QSlider::handle:horizontal:disabled {border-image: url(:/media/fader_mini_disabled.png);}";

QString rampSheet(const char* ramp)
{
    return QString::fromLatin1(kDigitalRampSheet).replace(QLatin1String("zoomdig"), QLatin1String(ramp));
}

QString sheetFor(SegSliderType type)
{
    switch (type) {
    case SegSliderSuperZoom:
        return rampSheet("zoomsuper");
    case SegSliderDigitalZoom:
        return QString::fromLatin1(kDigitalRampSheet);
    case SegSliderIrisGain:
        return rampSheet("apertdig");
    case SegSliderMini:
        return QString::fromLatin1(kMiniSheet);
    default:
        return QString::fromLatin1(kPlainSheet);
    }
}

// The upper end of each kind's range; the lower end is 0.
constexpr int kMaximum[] = { 16384, 22976, 31424, 13, 28, 11, 57344, 5 };
constexpr int kKindCount = int(sizeof kMaximum / sizeof kMaximum[0]);

bool isKind(int type)
{
    return type >= 0 && type < kKindCount;
}

// Position of the end of the optical range on the zoom scale.
constexpr int kOpticalEnd = 16384;
// The widest iris on the iris-and-gain scale; above it gain is added.
constexpr int kWidestIris = 13;

const QColor kCaptionColour(255, 255, 255);
const QColor kSuperZoomColour(255, 205, 1);
const QColor kDigitalColour(240, 151, 1);
const QColor kDisabledColour(19, 19, 19);

// One row of a zoom correction table: at position, the curve 2^(k * position)
// plus correction gives the target magnification.
struct ZoomCorrection
{
    int position;
    double correction;
    double target;
};

// Filled on the first calculateZoom of the program and constant afterwards;
// used on the GUI thread only.
ZoomCorrection ZoomDigtalTable[4]
    = { { 0, 0.0, 1.0 }, { 5656, 0.0, 2.0 }, { 16384, 0.0, 12.0 }, { 31424, 0.0, 144.0 } };
ZoomCorrection ZoomSuperTable[4] = { { 0, 0.0, 1.0 }, { 5656, 0.0, 2.0 }, { 16384, 0.0, 12.0 }, { 22976, 0.0, 20.0 } };
bool zoomTableInitialized = false;

// Exponent per zoom step of the super zoom curve, and of the optical and digital one.
constexpr double kSuperZoomRate = 0.0001758597;
constexpr double kDigitalZoomRate = 0.000218809;

void fillCorrections(ZoomCorrection (&table)[4], double rate)
{
    for (ZoomCorrection& row : table)
        row.correction = row.target - std::pow(2.0, rate * row.position);
}

const char* const kIrisCaptions[]
    = { "Close", "f14", "f11", "f9.6", "f8.0", "f6.8", "f5.6", "f4.8", "f4.0", "f3.4", "f2.8", "f2.4", "f2.0", "f1.8" };
const char* const kIrisGainCaptions[] = { "Close", "14/0", "11/0", "9.6/0", "8.0/0", "6.8/0", "5.6/0", "4.8/0", "4.0/0",
    "3.4/0", "2.8/0", "2.4/0", "2.0/0" };
const char* const kGainCaptions[]
    = { "0dB", "3dB", "6dB", "9dB", "12dB", "15dB", "18dB", "21dB", "24dB", "27dB", "30dB", "33dB" };

// Focus caption scale: 10 at position 0, 1500 at 57344 (1490 / 57344 per step).
constexpr double kFocusScale = 0.025983537946428572;

// The entry of a caption table for value, or null: values are compared as
// unsigned, so a negative value is outside every table.
template<size_t N> const char* captionAt(const char* const (&table)[N], int value)
{
    const unsigned index = unsigned(value);
    return index < N ? table[index] : nullptr;
}

} // namespace

SegmentSlider::SegmentSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent)
{
    media::initResources();
}

SegmentSlider::SegmentSlider(QWidget* parent)
    : QSlider(parent)
{
    media::initResources();
}

SegmentSlider::~SegmentSlider() = default;

void SegmentSlider::setSliderType(SegSliderType type)
{
    if (type == m_type)
        return;
    m_type = type;
    if (isKind(type))
        setRange(0, kMaximum[type]);
    setStyleSheet(sheetFor(type));
    update();
}

double SegmentSlider::calculateZoom(int value, SegSliderType type)
{
    if (!zoomTableInitialized) {
        fillCorrections(ZoomDigtalTable, kDigitalZoomRate);
        fillCorrections(ZoomSuperTable, kSuperZoomRate);
        zoomTableInitialized = true;
    }
    const bool super = type == SegSliderSuperZoom;
    const double rate = super ? kSuperZoomRate : kDigitalZoomRate;
    const ZoomCorrection* table = super ? ZoomSuperTable : ZoomDigtalTable;

    const double z = std::pow(2.0, rate * value);
    for (int i = 1; i < 4; ++i) {
        if (value <= table[i].position) {
            const double u = double(value - table[i - 1].position) / (table[i].position - table[i - 1].position);
            return table[i - 1].correction * (1.0 - u) + table[i].correction * u + z;
        }
    }
    // Above the last row the curve goes on uncorrected.
    return z;
}

QString SegmentSlider::valueString(int value, SegSliderType type)
{
    switch (type) {
    case SegSliderOpticalZoom:
    case SegSliderSuperZoom:
    case SegSliderDigitalZoom: {
        const double z = calculateZoom(value, type);
        // Rounded as a double: a position far outside the camera's range
        // gives a factor no int can hold.
        const QString factor = z < 100.0 ? QString::number(z, 'f', 1) : QString::number(std::trunc(z + 0.5), 'f', 0);
        return factor + QLatin1Char('x');
    }
    case SegSliderIris:
        if (const char* caption = captionAt(kIrisCaptions, value))
            return QString::fromLatin1(caption);
        return QStringLiteral("%1").arg(value);
    case SegSliderIrisGain:
        if (const char* caption = captionAt(kIrisGainCaptions, value))
            return QString::fromLatin1(caption);
        // The widest iris with the gain in dB: 3 dB per step beyond position 13.
        return QStringLiteral("1.8/%1").arg(3 * qint64(value) - 39);
    case SegSliderGain:
        if (const char* caption = captionAt(kGainCaptions, value))
            return QString::fromLatin1(caption);
        return QString::number(value);
    case SegSliderFocus:
        return QString::number(std::trunc(10.0 + value * kFocusScale + 0.5), 'f', 0);
    case SegSliderMini:
        return QString();
    default:
        return QString::number(value);
    }
}

void SegmentSlider::mousePressEvent(QMouseEvent* event)
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (!handle.contains(event->pos()) && event->button() == Qt::LeftButton && orientation() == Qt::Horizontal) {
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const int hw = handle.width();
        // The span of the handle's centre along the groove.
        const double a = groove.left() + hw / 2;
        const double b = groove.right() - hw / 2;
        // A groove no longer than the handle leaves nowhere to move to.
        if (b > a) {
            const double t = (event->pos().x() - a) / (b - a);
            double v = minimum() * (1.0 - t) + maximum() * t;
            v = qBound(double(minimum()), v, double(maximum()));
            // Rounded half up, negative ranges included.
            setValue(int(std::floor(v + 0.5)));
        }
    }
    // With the handle now under the pointer, the slider starts the drag.
    QSlider::mousePressEvent(event);
}

void SegmentSlider::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
}

void SegmentSlider::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);

    QColor colour = kCaptionColour;
    if (m_type == SegSliderSuperZoom && value() > kOpticalEnd)
        colour = kSuperZoomColour;
    else if (m_type == SegSliderDigitalZoom && value() > kOpticalEnd)
        colour = kDigitalColour;
    else if (m_type == SegSliderIrisGain && value() > kWidestIris)
        colour = kDigitalColour;
    if (!isEnabled())
        colour = kDisabledColour;

    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter painter(this);
    painter.setPen(colour);
    painter.drawText(handle, Qt::AlignHCenter | Qt::AlignVCenter, valueString(value(), m_type));
}
