// Keyboard, controller actions and menus of the main window: empty until
// they are built; keys go to the dialog's own handling.

#include "app/mainwindow.h"

#include <QKeyEvent>

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    return QDialog::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    QDialog::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent* event)
{
    QDialog::keyReleaseEvent(event);
}

void MainWindow::cmdZoom(TaqoOp) { }
void MainWindow::slot_controlButtonClick(int) { }
void MainWindow::slot_controlButtonPush(int, bool) { }
void MainWindow::slot_joystickS(double, bool, bool) { }
void MainWindow::slot_joystickXY(double, double, bool, bool) { }
void MainWindow::slot_joystickZ(double, bool, bool) { }
void MainWindow::slot_contextCamera(const QPoint&) { }
void MainWindow::slot_contextMainWindow(const QPoint&) { }
