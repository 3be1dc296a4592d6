#pragma once

// The X server the application benchmarks run on, and what they need of it
// from outside the programs they measure:
// - Xserver starts an Xvfb of its own on a free display and stops it again;
// - XWatch is a plain client of that server that sees every top-level window
//   being mapped (it selects SubstructureNotify on the root window, so the
//   program under test is left as it is and every program is timed the same
//   way) and types keys through the XTEST extension, as a keyboard would;
// - Child starts a program with extra environment and stops it again.

#include <chrono>
#include <cstdint>
#include <sys/types.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct xcb_connection_t;

namespace benchx {

using Clock = std::chrono::steady_clock;

class Xserver
{
public:
    // Starts Xvfb on a display number it chooses itself; see isRunning.
    Xserver();
    ~Xserver();
    Xserver(const Xserver&) = delete;
    Xserver& operator=(const Xserver&) = delete;

    bool isRunning() const { return m_pid > 0; }
    // Why the server is not running ("Xvfb is not installed", ...).
    QString error() const { return m_error; }
    // ":N", for DISPLAY.
    QByteArray display() const { return m_display; }

private:
    pid_t m_pid = -1;
    QByteArray m_display;
    QString m_error;
};

class XWatch
{
public:
    explicit XWatch(const QByteArray& display);
    ~XWatch();
    XWatch(const XWatch&) = delete;
    XWatch& operator=(const XWatch&) = delete;

    bool isConnected() const { return m_connection != nullptr; }
    // Forgets the events received so far.
    void drain();
    // Waits up to timeout_ms for a top-level window (a child of the root that
    // is not override-redirect, so no menu or tooltip) to be mapped; at gets
    // the time this client read the event.
    bool waitForMap(int timeout_ms, Clock::time_point* at, uint32_t* window = nullptr);
    // The keycode that types keysym without modifiers; 0 when there is none.
    uint8_t keycode(uint32_t keysym);
    // Presses or releases a key through XTEST and sends the request at once;
    // the time the request was handed to the server.
    Clock::time_point fakeKey(uint8_t keycode, bool press);
    // Gives window the keyboard focus and waits until the server has done it.
    void focus(uint32_t window);
    // Waits until the server has handled every request sent so far.
    void sync();

private:
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_root = 0;
};

// Points this process, and the programs it starts, at the server's display on
// the xcb platform; without a server, at the offscreen platform.
void useDisplayOf(const Xserver& server);

class Child
{
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts program with arguments and the environment of this process plus
    // environment ("NAME=value"). Standard output goes to a pipe that
    // readLine reads when captureOutput, else with standard error to /dev/null.
    bool start(const QString& program, const QStringList& arguments, const QList<QByteArray>& environment,
        bool captureOutput = false);
    pid_t pid() const { return m_pid; }
    // Waits up to timeout_ms for a line of standard output equal to line.
    bool waitForLine(const QByteArray& line, int timeout_ms);
    // Kills the program and waits for it.
    void stop();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    QByteArray m_pending;
};

// Resident and proportional set size of a process in MiB, from
// /proc/<pid>/smaps_rollup; false when it cannot be read.
bool memoryMegabytes(pid_t pid, double* rss, double* pss);

} // namespace benchx
