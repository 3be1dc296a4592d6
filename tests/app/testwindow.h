#pragma once

// The main window as the tests drive it: its members in reach, the panes'
// clock stepped by hand, and the ports a rescan finds given by the test.

#include "app/appstyle.h"
#include "app/mainwindow.h"
#include "app/scanprogressdialog.h"
#include "device/deviceset.h"
#include "panes/paneclock.h"
#include "quvapp/quvapplication.h"

#include <functional>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace apptest {

// The application object with the program's own style sheet.
class AppApplication : public QuvApplication
{
public:
    AppApplication(int& argc, char** argv)
        : QuvApplication(argc, argv, QuvStyleLookSlate)
    {
        setStyleSheet(applicationStyleSheet(getStyleSheet()));
    }
};

inline uint64_t s_now_ms = 1000000;
inline uint64_t testClock()
{
    return s_now_ms;
}

class TestWindow : public MainWindow
{
public:
    using MainWindow::m_apertGainLabel;
    using MainWindow::m_cameraButtons;
    using MainWindow::m_colorSpaceLabel;
    using MainWindow::m_deviceSet;
    using MainWindow::m_eptzLabel;
    using MainWindow::m_factoryDefaultPending;
    using MainWindow::m_focusLabel;
    using MainWindow::m_formatLabel;
    using MainWindow::m_heroLabel;
    using MainWindow::m_joystickLabel;
    using MainWindow::m_openFailBox;
    using MainWindow::m_paneButtons;
    using MainWindow::m_paneFrame;
    using MainWindow::m_panes;
    using MainWindow::m_paneType;
    using MainWindow::m_powerButton;
    using MainWindow::m_presetButtons;
    using MainWindow::m_presetType;
    using MainWindow::m_presetTypeLabel;
    using MainWindow::m_shutterLabel;
    using MainWindow::m_statusDialog;
    using MainWindow::m_waitingLabel;
    using MainWindow::m_warningLabel;
    using MainWindow::m_zoomLabel;

    // What the next rescans find, and what runs while a scan lists them.
    QList<SerialPortDesc> ports;
    std::function<void()> onScan;
    int scans = 0;

    // Runs a rescan now and waits until the set has placed every camera.
    bool scan()
    {
        rescan(true);
        return settle();
    }
    bool settle()
    {
        return QTest::qWaitFor([this] { return m_deviceSet->processingCount() == 0 && !m_statusDialog; }, 30000);
    }

protected:
    QList<SerialPortDesc> serialPorts() override
    {
        ++scans;
        if (onScan)
            onScan();
        return ports;
    }
};

} // namespace apptest
