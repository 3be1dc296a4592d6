#include "quvapp/quvstyle.h"

#include <atomic>

#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QStyleOption>

#include "quvapp/quvplatform.h"
#include "quvapp/quvresources.h"
#include "quvapp/quvstyletesting.h"

namespace {

struct SlateColor
{
    const char* key;
    int red;
    int green;
    int blue;
};

// The slate colours. The sheet is resolved by plain text replacement in this
// order, so a key must come before every shorter key that is its prefix
// ("...TextColorRealBright" and "...TextColorBright" before "...TextColor").
constexpr SlateColor kSlateColors[] = {
    { "quvslate_defaultTextColorRealBright", 216, 216, 216 },
    { "quvslate_defaultTextColorBright", 183, 183, 183 },
    { "quvslate_defaultTextColor", 156, 156, 156 },
    { "quvslate_disabledTextColor", 87, 87, 87 },
    { "quvslate_yellowTextColor", 221, 186, 7 },
    { "quvslate_warningTextColor", 152, 29, 29 },
    { "quvslate_brightestTextColor", 255, 255, 255 },
    { "quvslate_defaultSelectionTextColor", 255, 255, 255 },
    { "quvslate_defaultSelectionBackgroundColor", 96, 96, 96 },
    { "quvslate_alternateSelectionTextColor", 101, 73, 13 },
    { "quvslate_alternateSelectionBackgroundColor", 164, 122, 33 },
    { "quvslate_lineEditColor", 206, 206, 206 },
    { "quvslate_lineEditDisabledColor", 98, 98, 98 },
    { "quvslate_comboBoxColor", 206, 206, 206 },
    { "quvslate_comboBoxDisabledColor", 98, 98, 98 },
    { "quvslate_scrollBarHandleBackground", 55, 55, 55 },
    { "quvslate_scrollBarHandleBorder", 63, 63, 63 },
    { "quvslate_scrollBarLineBackground", 30, 35, 40 },
    { "quvslate_scrollBarHandleGradientStop1_0", 48, 54, 58 },
    { "quvslate_scrollBarHandleLeftRightBorder", 64, 72, 77 },
    { "quvslate_scrollBarHandleBottomBorder", 59, 66, 71 },
    { "quvslate_disabledBackgroundGradientStop0", 44, 50, 54 },
    { "quvslate_disabledBackgroundGradientStop1_0", 45, 51, 55 },
};

const char* const kSlateSheetPath = ":/quvapp/styles/slate.css";
const char* const kSlateCheckmarkPath = ":/quvapp/media/slate/checkmark.png";

// Below this target gamma (a display calibrated for 1.8) the keyed colours are
// lightened; at 2.2, or with no calibration, they stand as in the table.
constexpr float kLightenBelowGamma = 2.0f;
constexpr float kDefaultGamma = 2.2f;
constexpr int kLightenFactorPercent = 115;

// The display's target gamma, read at the first correction and kept for the
// run; 0 means not read yet (a stored 0 is read again on the next call).
std::atomic<float> s_gamma { 0.0f };

// Test seam: when set, stands in for the platform's answer.
std::atomic<bool> s_gammaOverridden { false };
std::optional<float> s_gammaOverride;

std::optional<float> targetGamma()
{
    if (s_gammaOverridden.load())
        return s_gammaOverride;
    return quvplatform::displayTargetGamma();
}

} // namespace

namespace quvstyletesting {

void setDisplayTargetGamma(std::optional<float> gamma)
{
    s_gammaOverride = gamma;
    s_gammaOverridden.store(true);
    s_gamma.store(0.0f);
}

void resetDisplayTargetGamma()
{
    s_gammaOverridden.store(false);
    s_gammaOverride.reset();
    s_gamma.store(0.0f);
}

} // namespace quvstyletesting

QuvStyle::QuvStyle()
    : QuvStyle(QuvStyleLookSlate)
{ }

QuvStyle::QuvStyle(QuvStyleLook look)
    : m_look(look)
{
    quvapp::initResources();
}

void QuvStyle::polish(QWidget* widget)
{
    QCommonStyle::polish(widget);
    if (m_look != QuvStyleLookSlate)
        return;
    if (QMdiArea* area = qobject_cast<QMdiArea*>(widget))
        area->setBackground(QBrush(correctGamma(QColor(50, 57, 60))));
}

void QuvStyle::polish(QPalette& palette)
{
    QCommonStyle::polish(palette);
}

void QuvStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    switch (element) {
    case PE_FrameFocusRect:
        // No focus rectangles anywhere: the widgets take no keyboard focus.
        return;
    case PE_IndicatorMenuCheckMark:
        if (m_look == QuvStyleLookSlate && option && painter) {
            // Unscaled, so the mark stays crisp; its box is the 20 px left margin of an item.
            painter->drawPixmap(option->rect.left() + 5, option->rect.top() + 2, QPixmap(kSlateCheckmarkPath));
            return;
        }
        break;
    default:
        break;
    }
    QCommonStyle::drawPrimitive(element, option, painter, widget);
}

void QuvStyle::drawControl(
    ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    QCommonStyle::drawControl(element, option, painter, widget);
}

void QuvStyle::drawComplexControl(
    ComplexControl control, const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    QCommonStyle::drawComplexControl(control, option, painter, widget);
}

int QuvStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    return QCommonStyle::pixelMetric(metric, option, widget);
}

int QuvStyle::styleHint(
    StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_EtchDisabledText:
        return 0;
    case SH_ComboBox_Popup:
        return 1;
    default:
        return QCommonStyle::styleHint(hint, option, widget, returnData);
    }
}

QString QuvStyle::getStyleSheet()
{
    QString sheet;
    if (m_look != QuvStyleLookSlate)
        return sheet;

    QFile file(QString::fromLatin1(kSlateSheetPath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return sheet;
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    sheet = QString::fromUtf8(bytes);

    for (const SlateColor& row : kSlateColors) {
        const QColor color = correctGamma(QColor(row.red, row.green, row.blue));
        const QString value = color.alpha() == 255
            ? QStringLiteral("rgb(%1,%2,%3)").arg(color.red()).arg(color.green()).arg(color.blue())
            : QStringLiteral("rgba(%1,%2,%3,%4)")
                  .arg(color.red())
                  .arg(color.green())
                  .arg(color.blue())
                  .arg(color.alpha());
        sheet.replace(QLatin1String(row.key), value, Qt::CaseSensitive);
    }
    return sheet;
}

QColor QuvStyle::correctGamma(QColor color)
{
    float gamma = s_gamma.load();
    if (gamma == 0.0f) {
        gamma = targetGamma().value_or(kDefaultGamma);
        s_gamma.store(gamma);
    }
    if (gamma < kLightenBelowGamma)
        return color.lighter(kLightenFactorPercent);
    return color;
}

QColor QuvStyle::colorWithName(QString look, QString key)
{
    if (look != QCoreApplication::translate("QCommonStyle", "slate"))
        return QColor();
    for (const SlateColor& row : kSlateColors) {
        if (key == QLatin1String(row.key))
            return correctGamma(QColor(row.red, row.green, row.blue));
    }
    return QColor();
}

QString QuvStyle::getQuvLookName(QString sheetText)
{
    const QStringList lines = sheetText.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    if (lines.size() < 3)
        return QString();
    return QString(lines.at(1)).remove(QStringLiteral("NAME="), Qt::CaseSensitive);
}
