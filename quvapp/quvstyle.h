#pragma once

#include <QColor>
#include <QCommonStyle>
#include <QString>

// The looks a QuvStyle can take. 1, "slate", is the only one with drawing rules
// and a style sheet; any other value keeps the plain QCommonStyle drawing.
using QuvStyleLook = int;
constexpr QuvStyleLook QuvStyleLookSlate = 1;

// The application's style: QCommonStyle with a few rules of its own (no focus
// rectangles, no etched disabled text, combo boxes open as pop-up lists, the
// slate check mark) and the producer of the slate style sheet, whose colours
// are written as quvslate_ keys and resolved here against the colour table.
class QuvStyle : public QCommonStyle
{
public:
    QuvStyle();
    explicit QuvStyle(QuvStyleLook look);

    void polish(QWidget* widget) override;
    void polish(QPalette& palette) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    int pixelMetric(
        PixelMetric metric, const QStyleOption* option = nullptr, const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
        QStyleHintReturn* returnData = nullptr) const override;

    QuvStyleLook look() const { return m_look; }

    // The style sheet of this style's look, with every colour key replaced by
    // its gamma-corrected colour; empty for a look without a sheet, or when the
    // compiled-in sheet cannot be read. Built anew on each call.
    QString getStyleSheet();

    // The colour as the display should show it: lightened by 15 % on a display
    // whose target gamma is below 2.0, unchanged otherwise (and where the
    // platform keeps no target gamma, as on Linux).
    static QColor correctGamma(QColor color);

    // The corrected table colour of a full key ("quvslate_yellowTextColor")
    // when look is "slate"; an invalid colour for another look or an unknown key.
    static QColor colorWithName(QString look, QString key);

    // The look name in a style sheet's header ("NAME=slate" on its second
    // line gives "slate"); empty for a text of fewer than three lines.
    static QString getQuvLookName(QString sheetText);

private:
    QuvStyleLook m_look;
};
