#pragma once

// The main window as the tests drive it: its members in reach, the panes'
// clock stepped by hand, and the ports a rescan finds given by the test.

#include "app/appstyle.h"
#include "app/mainwindow.h"
#include "app/scanprogressdialog.h"
#include "camsim.h"
#include "device/deviceset.h"
#include "panes/paneclock.h"
#include "steppedclock.h"
#include "quvapp/quvapplication.h"

#include <functional>
#include <memory>
#include <vector>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace apptest {

// The application object with the program's own attributes and style sheet.
class AppApplication : public QuvApplication
{
public:
    AppApplication(int& argc, char** argv)
        : QuvApplication((applicationAttributes(), argc), argv, QuvStyleLookSlate)
    {
        setStyleSheet(applicationStyleSheet(getStyleSheet()));
    }
};


class TestWindow : public MainWindow
{
public:
    // What the next rescans find, and what runs while a scan lists them.
    QList<SerialPortDesc> ports;
    std::function<void()> onScan;
    int scans = 0;

    // Moves the clock on and runs one tick.
    void tick(int step_ms)
    {
        quvtest::clock_ms += uint64_t(step_ms);
        slot_updateTimer();
    }
    // The status strip's texts from left to right.
    QString strip() const
    {
        QStringList texts;
        for (QLabel* label : { m_formatLabel, m_colorSpaceLabel, m_eptzLabel, m_joystickLabel, m_apertGainLabel,
                 m_shutterLabel, m_focusLabel, m_zoomLabel })
            texts.append(label->text());
        return texts.join(QLatin1Char('|'));
    }
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

// Camera simulators reporting the given camera IDs, and the window that finds them.
struct Rig
{
    explicit Rig(const QVector<int>& ids)
    {
        for (int id : ids) {
            sims.push_back(std::make_unique<quvtest::CamSim>());
            sims.back()->setWord(quvtest::hexBytes("04 22"), uint16_t(id));
            window.ports.append(SerialPortDesc::forDevicePath(sims.back()->devicePath()));
        }
    }
    quvtest::CamSim& sim(int i) { return *sims.at(size_t(i)); }
    // The first scan, when the countdown armed at start runs out.
    bool start()
    {
        window.tick(500);
        return window.scans == 1 && window.settle();
    }

    std::vector<std::unique_ptr<quvtest::CamSim>> sims;
    TestWindow window;
};

} // namespace apptest
