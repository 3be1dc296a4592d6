#include "panes/paneui.h"

#include "panes/screenproxy.h"
#include "quvapp/quvmenu.h"

#include <QColor>
#include <QMetaObject>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QtDebug>

namespace paneui {

namespace {

const QColor WINDOW_FILL(67, 149, 194);
const QColor FRAME_ON(54, 54, 54);
const QColor FRAME_OFF(39, 39, 39);
const QColor NO_TEXT(0, 0, 0, 0);

// How far up and left of the click a context menu opens (pixels).
const QPoint MENU_OFFSET(10, 10);

QString pictureUrl(const char* pattern, const QString& stem, const QString& suffix)
{
    return QStringLiteral("url(:/media/%1%2.png)").arg(QString::fromLatin1(pattern).arg(stem), suffix);
}

} // namespace

const char* const CAPTION_SHEET = "color: rgb(146,146,146)";
const char* const SWITCH_SHEET = "QPushButton{background:none;border:0;margin:0;padding:0;border-image:none;}";

bool connectOrWarn(
    const QObject* sender, const char* signal, const QObject* receiver, const char* method, Qt::ConnectionType type)
{
    const bool connected = QObject::connect(sender, signal, receiver, method, type);
    if (!connected)
        qWarning(
            "%s: cannot connect %s to %s", receiver ? receiver->metaObject()->className() : "(none)", signal, method);
    return connected;
}

QAction* execMenu(QuvMenu& menu, const QWidget* anchor, const QPoint& pt)
{
    return menu.exec2(anchor->mapToGlobal(pt) - MENU_OFFSET);
}

QString imageButtonSheet(const ImageButtonLook& look, const QString& stem, const QString& suffix)
{
    QString sheet
        = QStringLiteral("QPushButton{%1background-image: %2;%3}")
              .arg(QLatin1String(look.lead), pictureUrl(look.picture, stem, suffix), QLatin1String(look.tail));
    for (const ImageButtonLook::State& state : look.states) {
        if (!state.selector)
            break;
        sheet += QStringLiteral("QPushButton%1{background-image: %2;}")
                     .arg(QLatin1String(state.selector), pictureUrl(state.picture, stem, suffix));
    }
    return sheet;
}

QIcon switchIcon(const QString& offPicture, const QString& onPicture)
{
    // Built per switch: a pixmap kept in a static would outlive the application.
    QIcon icon;
    const QPixmap off(offPicture);
    const QPixmap on(onPicture);
    for (QIcon::Mode mode : { QIcon::Normal, QIcon::Active, QIcon::Selected }) {
        icon.addPixmap(off, mode, QIcon::Off);
        icon.addPixmap(on, mode, QIcon::On);
    }
    return icon;
}

QPushButton* switchButton(
    QWidget* parent, const QString& offPicture, const QString& onPicture, const QSize& iconSize, bool flat)
{
    auto* button = new QPushButton(parent);
    button->setIcon(switchIcon(offPicture, onPicture));
    button->setIconSize(iconSize);
    button->setCheckable(true);
    if (flat) {
        button->setFlat(true);
        button->setAutoDefault(false);
    }
    button->setStyleSheet(QLatin1String(SWITCH_SHEET));
    return button;
}

void setupWindowPicture(ScreenProxy* picture, const QSize& frameSize, const QRect& window)
{
    picture->SetScreenSize(frameSize.width(), frameSize.height());
    picture->SetRoiGeometry(window.x(), window.y(), window.width(), window.height());
    picture->SetContrain(RoiConstrainMoveOnly, 0, 0);
    picture->SetRoiFillColor(WINDOW_FILL);
    picture->SetRoiTextColor(NO_TEXT);
    picture->SetScreenTextColor(NO_TEXT);
    picture->SetScreenFillColor(FRAME_ON);
    picture->SetEditable(true);
}

void showWindowPicture(ScreenProxy* picture, bool on, bool windowFollows)
{
    if (windowFollows)
        picture->SetRoiFillColor(on ? WINDOW_FILL : FRAME_ON);
    picture->SetScreenFillColor(on ? FRAME_ON : FRAME_OFF);
    picture->SetEditable(on);
}

} // namespace paneui
