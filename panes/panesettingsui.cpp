#include "panes/panesettingsui.h"

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

const char* const kSwitchSheet = "QPushButton{background:none;border:0;margin:0;padding:0;border-image:none;}";

// "custom" stands for the picture stem.
const char* const kPictureButtonSheet
    = "QPushButton{background-color: transparent;background-image: url(:/media/custom_off.png);background-repeat: "
      "none;border: none;margin: 0;padding: 0;}QPushButton:pressed{background-image: "
      "url(:/media/custom_press.png);}QPushButton:!pressed{background-image: "
      "url(:/media/custom_off.png);}QPushButton:disabled{background-image: url(:/media/custom_disabled.png);}";

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

QIcon switchIcon()
{
    // Built per switch: a pixmap kept in a static would outlive the application.
    QIcon icon;
    const QPixmap off(QStringLiteral(":/media/switch_big_off.png"));
    const QPixmap on(QStringLiteral(":/media/switch_big_on.png"));
    for (QIcon::Mode mode : { QIcon::Normal, QIcon::Active, QIcon::Selected }) {
        icon.addPixmap(off, mode, QIcon::Off);
        icon.addPixmap(on, mode, QIcon::On);
    }
    return icon;
}

QPushButton* switchButton(QWidget* parent, const char* name, const QRect& geometry, const char* toolTip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(switchIcon());
    button->setIconSize(QSize(45, 18));
    button->setCheckable(true);
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setStyleSheet(QLatin1String(kSwitchSheet));
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
    button->setStyleSheet(
        QString::fromLatin1(kPictureButtonSheet).replace(QLatin1String("custom"), QLatin1String(stem)));
    button->setGeometry(geometry);
    button->setToolTip(QString::fromLatin1(toolTip));
    return button;
}

} // namespace settingsui
