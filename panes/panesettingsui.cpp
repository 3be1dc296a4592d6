#include "panes/panesettingsui.h"

#include "panes/paneui.h"
#include "panes/segmentslider.h"
#include "quvapp/quvcombobox.h"
#include "quvapp/quvdoublespinbox.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QtDebug>

namespace settingsui {

const char* const kGreyCaptionSheet = "color: rgb(146,146,146); font: 13px;";
const char* const kCaptionSheet = "font: 13px;";

namespace {

// A picture button: the stem's off, press and disabled pictures.
const paneui::ImageButtonLook kPictureButtonLook = { "background-color: transparent;", "%1_off",
    "background-repeat: none;border: none;margin: 0;padding: 0;",
    { { ":pressed", "%1_press" }, { ":!pressed", "%1_off" }, { ":disabled", "%1_disabled" }, { nullptr, nullptr } } };

} // namespace

QLabel* caption(QWidget* parent, const char* text, const QRect& geometry, const char* sheet, Qt::Alignment alignment)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    if (sheet)
        label->setStyleSheet(QString::fromLatin1(sheet));
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    return label;
}

QLabel* imageLabel(QWidget* parent, const char* image, const QRect& geometry)
{
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(QStringLiteral(":/media/%1.png").arg(QLatin1String(image))));
    label->setGeometry(geometry);
    return label;
}

QuvComboBox* combo(
    QWidget* parent, const char* name, const Choice* choices, int count, const QRect& geometry, const char* toolTip)
{
    auto* box = new QuvComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (int i = 0; i < count; ++i)
        box->addItem(QString::fromLatin1(choices[i].label), QVariant(choices[i].value));
    box->setGeometry(geometry);
    if (toolTip)
        box->setToolTip(QString::fromLatin1(toolTip));
    return box;
}

SegmentSlider* miniSlider(
    QWidget* parent, const char* name, int minimum, int maximum, int value, const QRect& geometry, const char* toolTip)
{
    auto* slider = new SegmentSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(name));
    slider->setSliderType(SegSliderMini);
    slider->setRange(minimum, maximum);
    slider->setValue(value);
    slider->setGeometry(geometry);
    slider->setToolTip(QString::fromLatin1(toolTip));
    return slider;
}

QuvDoubleSpinBox* spinBox(
    QWidget* parent, const char* name, int minimum, int maximum, int value, const QRect& geometry, const char* toolTip)
{
    auto* spin = new QuvDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(minimum, maximum);
    spin->setDecimals(0);
    spin->setSingleStep(1.0);
    spin->setValue(value);
    spin->setGeometry(geometry);
    spin->setToolTip(QString::fromLatin1(toolTip));
    return spin;
}

QPushButton* switchButton(QWidget* parent, const char* name, const QRect& geometry, const char* toolTip)
{
    QPushButton* button = paneui::switchButton(parent, QStringLiteral(":/media/switch_big_off.png"),
        QStringLiteral(":/media/switch_big_on.png"), QSize(45, 18));
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

QPushButton* pictureButton(
    QWidget* parent, const char* name, const char* stem, bool checkable, const QRect& geometry, const char* toolTip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFlat(true);
    button->setCheckable(checkable);
    button->setAutoDefault(false);
    button->setStyleSheet(paneui::imageButtonSheet(kPictureButtonLook, QLatin1String(stem)));
    button->setGeometry(geometry);
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

} // namespace settingsui
