// Keyboard, controller actions and menus of the main window: the keys taken
// application-wide, the window's own keys, the step-wise zoom, the handlers of
// the controller's operations and axes, and the two context requests.

#include "app/mainwindow.h"

#include "app/controlmap.h"
#include "device/deviceinterface.h"
#include "device/deviceset.h"
#include "panes/panebase.h"
#include "panes/panecamera.h"
#include "panes/paneeptz.h"
#include "panes/paneui.h"
#include "quvapp/quvmenu.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include <QDebug>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace {

// Keys recalling presets 1 to 16: the number row, then the shifted 1 to 6 of a US keyboard.
const int PRESET_KEYS[]
    = { Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5, Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0,
          Qt::Key_Exclam, Qt::Key_At, Qt::Key_NumberSign, Qt::Key_Dollar, Qt::Key_Percent, Qt::Key_AsciiCircum };

// Keys stepping the zoom.
struct ZoomKey
{
    int key;
    TaqoOp op;
};
const ZoomKey ZOOM_KEYS[] = {
    { Qt::Key_J, TaqoOpZoomWide },
    { Qt::Key_K, TaqoOpZoomStop },
    { Qt::Key_L, TaqoOpZoomTele },
};

constexpr int ZOOM_SPEED_MAX = 7;

// The joystick's response curve: a dead band to 0.1, a flat step to 0.3,
// then steeper to full deflection. The outputs are the frame units by which
// PaneEptz::slot_deltaXY moves the ePTZ window: multiples of one VISCA pan
// step (6 units) for X and of one tilt step (4.5 units) for Y.
constexpr int CURVE_POINTS = 8;
const double CURVE_INPUT[CURVE_POINTS] = { 0, 0.1, 0.1, 0.3, 0.4, 0.6, 0.8, 1.0 };
const double CURVE_X[CURVE_POINTS] = { 0, 0, 6, 6, 12, 24, 96, 384 };
const double CURVE_Y[CURVE_POINTS] = { 0, 0, 4.5, 4.5, 9, 18, 72, 288 };

// The main menu; a row without text is a separator.
enum MainMenuItem : int
{
    MenuRescan = 0,
    MenuDeepRescan = 1,
    MenuRefresh = 2,
    MenuLensInitialize = 3,
    MenuSetDefault = 4,
    MenuRecallDefault = 5,
    MenuFactoryDefault = 8,
    MenuAbout = 9,
};
struct MenuRow
{
    const char* text;
    MainMenuItem item;
};
const MenuRow MAIN_MENU[] = {
    { "Rescan for TaqoCams", MenuRescan },
    { "Use Deep Rescan", MenuDeepRescan },
    { nullptr, MenuRescan },
    { "Refresh UI Controls", MenuRefresh },
    { "Lens Initialize", MenuLensInitialize },
    { nullptr, MenuRescan },
    { "Set Default", MenuSetDefault },
    { "Recall Default", MenuRecallDefault },
    { nullptr, MenuRescan },
    { "QUV Factory Default", MenuFactoryDefault },
    { nullptr, MenuRescan },
    { "About...", MenuAbout },
};

// The camera memory that holds the user's default state.
constexpr int DEFAULT_MEMORY = 127;
// The lens takes about this long to initialise before the panes re-read it.
constexpr int LENS_INITIALIZE_MS = 3000;

double curveValue(double v, const double (&output)[CURVE_POINTS])
{
    const double magnitude = std::min(std::fabs(v), 1.0);
    for (int i = 1; i < CURVE_POINTS; ++i) {
        if (CURVE_INPUT[i] >= magnitude) {
            const double step = (magnitude - CURVE_INPUT[i - 1]) / (CURVE_INPUT[i] - CURVE_INPUT[i - 1]);
            return std::copysign(output[i - 1] + step * (output[i] - output[i - 1]), v);
        }
    }
    return 0; // not a number
}

// Whether a key event sent to watched is meant for window: sent to its
// platform window or to a widget inside it. A dialog, message box, file
// dialog or menu is a window of its own, whose text fields need Space and
// the arrows as typed.
bool keyForWindow(QObject* watched, const QWidget* window)
{
    if (watched->isWidgetType())
        return static_cast<QWidget*>(watched)->window() == window;
    return watched == window->windowHandle();
}

} // namespace

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) || !keyForWindow(watched, this))
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool press = event->type() == QEvent::KeyPress;
    PaneCamera* camera = paneCamera();
    switch (key->key()) {
    case Qt::Key_Space:
        if (!key->isAutoRepeat() && camera)
            camera->slot_focusAutoPush(press);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (press && !key->isAutoRepeat())
            cmdZoom(key->key() == Qt::Key_Left ? TaqoOpZoomWide : TaqoOpZoomTele);
        return press || QDialog::eventFilter(watched, event);
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (press && camera)
            camera->buttonClick(key->key() == Qt::Key_Up ? TaqoOpExposureUp : TaqoOpExposureDown);
        return press || QDialog::eventFilter(watched, event);
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const int* preset = std::find(std::begin(PRESET_KEYS), std::end(PRESET_KEYS), key);
    const auto zoom = std::find_if(
        std::begin(ZOOM_KEYS), std::end(ZOOM_KEYS), [key](const ZoomKey& row) { return row.key == key; });
    // The settings pane has no zoom group: its toggles do nothing.
    PaneBase* pane = m_panes.value(m_paneType, nullptr);
    if (preset != std::end(PRESET_KEYS))
        presetIndexRecall(int(preset - std::begin(PRESET_KEYS)));
    else if (zoom != std::end(ZOOM_KEYS))
        cmdZoom(zoom->op);
    else if (key == Qt::Key_Equal || key == Qt::Key_Plus) {
        if (pane)
            pane->zoomToggleTele();
    } else if (key == Qt::Key_Minus || key == Qt::Key_hyphen) {
        if (pane)
            pane->zoomToggleWide();
    } else if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        QDialog::keyPressEvent(event); // its Esc would close the window, a live show's controller
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    QDialog::keyReleaseEvent(event);
}

void MainWindow::cmdZoom(TaqoOp taqoOp)
{
    PaneBase* pane = paneZoom();
    if (!pane)
        return;
    DeviceInterface* device = m_deviceSet->get();
    const eAutoZoomState state = device->zoomingState();
    int speed = device->zoomSpeed();
    if (state == AutoZoom::ZoomingTele)
        device->viscaGet(ViscaMsg::ZoomTele, speed, true);
    else if (state == AutoZoom::ZoomingWide)
        device->viscaGet(ViscaMsg::ZoomWide, speed, true);
    else
        speed = 0;

    // Toward the running direction speeds up; the other way slows down, then stops.
    eAutoZoomState newState = state;
    int newSpeed = speed;
    if (taqoOp == TaqoOpZoomStop) {
        newState = AutoZoom::Stopped;
        newSpeed = 0;
    } else if (taqoOp == TaqoOpZoomTele || taqoOp == TaqoOpZoomWide) {
        const eAutoZoomState toward = taqoOp == TaqoOpZoomTele ? AutoZoom::ZoomingTele : AutoZoom::ZoomingWide;
        if (state == AutoZoom::Stopped) {
            newState = toward;
            newSpeed = 0;
        } else if (state == toward) {
            newSpeed = speed + 1;
        } else if (speed == 0) {
            newState = AutoZoom::Stopped;
        } else {
            newSpeed = speed - 1;
        }
    } else {
        qDebug() << "cmdZoom - unsupported op" << taqoOp;
    }
    pane->slot_zoomState(std::clamp(newSpeed, 0, ZOOM_SPEED_MAX), newState);
}

void MainWindow::slot_controlButtonPush(int taqoOp, bool down)
{
    switch (taqoOp) {
    case TaqoOpHeld:
        m_held400 = down;
        break;
    case TaqoOpHeldAperture:
        m_held401 = down;
        break;
    case TaqoOpHeldFocus:
        m_held403 = down;
        break;
    case TaqoOpHeldPresetRecall:
        m_held404 = down;
        break;
    case TaqoOpHeldPresetSet:
        m_held405 = down;
        break;
    case TaqoOpFocusAutoPush:
        if (PaneCamera* camera = paneCamera())
            camera->slot_focusAutoPush(down);
        break;
    default:
        break;
    }
}

void MainWindow::slot_controlButtonClick(int taqoOp)
{
    PaneCamera* camera = paneCamera();
    if (taqoOp >= TaqoOpPreset1 && taqoOp <= TaqoOpPreset16) {
        if (m_held405)
            presetIndexSet(taqoOp - TaqoOpPreset1);
        else
            presetIndexRecall(taqoOp - TaqoOpPreset1);
    } else if (taqoOp >= TaqoOpCamera1 && taqoOp <= TaqoOpCamera8) {
        QPushButton* button = m_cameraButtons[taqoOp - TaqoOpCamera1];
        if (m_held404)
            presetIndexRecall(taqoOp - TaqoOpCamera1);
        else if (button->isEnabled())
            button->setChecked(true);
    } else if (taqoOp == TaqoOpZoomTele || taqoOp == TaqoOpZoomWide || taqoOp == TaqoOpZoomStop) {
        cmdZoom(taqoOp);
    } else if (taqoOp == TaqoOpWindowToggle) {
        if (isMinimized())
            showMaximized();
        else
            showMinimized();
    } else if ((taqoOp == TaqoOpAutoExposure || taqoOp == TaqoOpExposureDown || taqoOp == TaqoOpExposureUp) && camera) {
        camera->buttonClick(taqoOp);
    }
}

void MainWindow::slot_joystickXY(double x, double y, bool on, bool)
{
    if (auto* eptz = qobject_cast<PaneEptz*>(paneEptz()); on && eptz)
        eptz->slot_deltaXY(curveValue(x, CURVE_X), curveValue(y, CURVE_Y));
}

void MainWindow::slot_joystickZ(double z, bool on, bool)
{
    PaneCamera* camera = paneCamera();
    if (m_held401 && camera)
        camera->slot_apertVector(z, on);
    else if (m_held403 && camera)
        camera->slot_focusVector(z, on);
    else if (PaneBase* pane = paneZoom())
        pane->slot_zoomVector(z, on);
}

void MainWindow::slot_joystickS(double s, bool on, bool)
{
    if (PaneCamera* camera = paneCamera())
        camera->slot_focusVector(s, on);
}

void MainWindow::slot_contextMainWindow(const QPoint& pt)
{
    QuvMenu menu;
    for (const MenuRow& row : MAIN_MENU) {
        if (row.text)
            menu.addAction(QLatin1String(row.text), QVariant(int(row.item)));
        else
            menu.addSeparator();
    }
    const bool deepScan = DeviceInterface::deepScanEnabled();
    menu.setMatchingItemChecked(QVariant(int(MenuDeepRescan)), deepScan, false);
    QAction* chosen = paneui::execMenu(menu, this, pt);
    if (!chosen)
        return;
    // Taken after the menu: a rescan while it was open may have replaced the camera.
    DeviceInterface* device = m_deviceSet->get();
    switch (chosen->data().toInt()) {
    case MenuDeepRescan:
        DeviceInterface::setDeepScanEnabled(!deepScan);
        break;
    case MenuRefresh:
        slot_uiSyncTimer();
        break;
    case MenuLensInitialize:
        device->viscaPush(ViscaMsg::LensInitialize, 0, -1);
        QTimer::singleShot(LENS_INITIALIZE_MS, this, SLOT(slot_uiSyncTimer()));
        break;
    case MenuSetDefault:
        device->viscaPush(ViscaMsg::MemorySet, DEFAULT_MEMORY, -1);
        break;
    case MenuRecallDefault:
        presetCamRecall(DEFAULT_MEMORY);
        break;
    case MenuFactoryDefault:
        m_factoryDefaultPending = true;
        device->viscaSet(ViscaMsg::MemoryReset, DEFAULT_MEMORY, -1);
        presetCamRecall(DEFAULT_MEMORY);
        break;
    case MenuAbout:
        dialogPost(3);
        break;
    default:
        break;
    }
}

void MainWindow::slot_contextCamera(const QPoint& pt)
{
    qDebug() << "slot_contextCamera" << pt;
}
