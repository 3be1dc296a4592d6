#pragma once

// Widget code that the panes and the main window share: checked string-form
// connections, context menus, the style sheets of buttons drawn by pictures,
// the two-state switch, and the look of a picture in which the user moves a
// window over the UHD frame.

#include <QIcon>
#include <QString>

class QAction;
class QColor;
class QObject;
class QPoint;
class QPushButton;
class QRect;
class QSize;
class QWidget;
class QuvMenu;
class ScreenProxy;

namespace paneui {

// String-form connect, as the program makes its connections; a failure is
// reported as "<receiver's class>: cannot connect <signal> to <method>" as
// well as by Qt, and returned.
bool connectOrWarn(const QObject* sender, const char* signal, const QObject* receiver, const char* method,
    Qt::ConnectionType type = Qt::AutoConnection);

// Runs menu at pt of anchor, moved 10 px up and to the left so that the
// pointer rests on the first item; the chosen action or null.
QAction* execMenu(QuvMenu& menu, const QWidget* anchor, const QPoint& pt);

// A button drawn by pictures ":/media/<name>.png", each name a pattern in
// which %1 stands for the button's stem. Its sheet is
// "QPushButton{<lead>background-image: url(<picture>);<tail>}" followed by
// "QPushButton<selector>{background-image: url(<picture>);}" for each state.
struct ImageButtonLook
{
    struct State
    {
        const char* selector; // ":checked", ":!pressed", ...; null after the last state
        const char* picture;
    };
    const char* lead;
    const char* picture;
    const char* tail;
    State states[4];
};
// The sheet of look for stem; suffix goes after each picture's name (a size variant such as "_sm").
QString imageButtonSheet(const ImageButtonLook& look, const QString& stem, const QString& suffix = QString());

// The grey of the captions under the camera pane's and the zoom group's sliders.
extern const char* const CAPTION_SHEET;

// The sheet of a switch drawn by its icon alone.
extern const char* const SWITCH_SHEET;
// The icon of a two-state switch: the off and on pictures, whether the
// button is hovered or selected.
QIcon switchIcon(const QString& offPicture, const QString& onPicture);
// A checkable button that shows that icon at iconSize, with SWITCH_SHEET;
// flat and never the default button when flat.
QPushButton* switchButton(
    QWidget* parent, const QString& offPicture, const QString& onPicture, const QSize& iconSize, bool flat = true);

// A picture of a frame of frameSize (frame units) with a window in it at
// window, which the user moves (never resizes): blue on grey, no texts, editable.
void setupWindowPicture(ScreenProxy* picture, const QSize& frameSize, const QRect& window);
// On: the frame grey and the window editable; off: the frame darker and the
// window inert, and with windowFollows the window grey as well.
void showWindowPicture(ScreenProxy* picture, bool on, bool windowFollows);

} // namespace paneui
