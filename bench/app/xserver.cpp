#include "xserver.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QFile>
#include <QStandardPaths>

extern char** environ;

namespace benchx {

namespace {

constexpr int kServerStartMs = 10000;

// Milliseconds left until deadline, at least 0.
int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

} // namespace

Xserver::Xserver()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed (Debian package xvfb)");
        return;
    }
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        m_error = QStringLiteral("no pipe: %1").arg(strerror(errno));
        return;
    }
    const QByteArray program = xvfb.toLocal8Bit();
    const QByteArray fd = QByteArray::number(ready[1]);
    const pid_t pid = fork();
    if (pid == 0) {
        fcntl(ready[1], F_SETFD, 0); // the server writes its display number here once it takes clients
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl(program.constData(), "Xvfb", "-displayfd", fd.constData(), "-screen", "0", "1280x1024x24", "-nolisten",
            "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    if (pid < 0) {
        close(ready[0]);
        m_error = QStringLiteral("cannot fork: %1").arg(strerror(errno));
        return;
    }
    m_pid = pid;
    QByteArray number;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kServerStartMs);
    while (!number.endsWith('\n') && Clock::now() < deadline) {
        pollfd in = { ready[0], POLLIN, 0 };
        if (poll(&in, 1, msLeft(deadline)) <= 0)
            break;
        char c;
        if (read(ready[0], &c, 1) != 1)
            break;
        number.append(c);
    }
    close(ready[0]);
    if (!number.endsWith('\n')) {
        m_error = QStringLiteral("Xvfb did not start");
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return;
    }
    m_display = ':' + number.trimmed();
}

Xserver::~Xserver()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

XWatch::XWatch(const QByteArray& display)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.constData(), &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    m_connection = connection;
    m_root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    sync();
}

XWatch::~XWatch()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

void XWatch::drain()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
        free(event);
}

bool XWatch::waitForMap(int timeout_ms, Clock::time_point* at, uint32_t* window)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
            const Clock::time_point seen = Clock::now();
            bool topLevel = false;
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                topLevel = map->event == m_root && !map->override_redirect;
                if (topLevel && window)
                    *window = map->window;
            }
            free(event);
            if (topLevel) {
                *at = seen;
                return true;
            }
        }
        if (xcb_connection_has_error(m_connection) || Clock::now() >= deadline)
            return false;
        pollfd in = { xcb_get_file_descriptor(m_connection), POLLIN, 0 };
        poll(&in, 1, msLeft(deadline));
    }
}

uint8_t XWatch::keycode(uint32_t keysym)
{
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply
        = xcb_get_keyboard_mapping_reply(m_connection, xcb_get_keyboard_mapping(m_connection, first, count), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    uint8_t found = 0;
    for (int code = 0; code < count && !found; ++code) {
        if (perCode > 0 && keysyms[code * perCode] == keysym)
            found = uint8_t(first + code);
    }
    free(reply);
    return found;
}

Clock::time_point XWatch::fakeKey(uint8_t keycode, bool press)
{
    xcb_test_fake_input(
        m_connection, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    const Clock::time_point sent = Clock::now();
    xcb_flush(m_connection);
    return sent;
}

void XWatch::focus(uint32_t window)
{
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

void XWatch::sync()
{
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

Child::~Child()
{
    stop();
}

bool Child::start(
    const QString& program, const QStringList& arguments, const QList<QByteArray>& environment, bool captureOutput)
{
    stop();
    // Everything the child needs is built before the fork.
    const QByteArray path = program.toLocal8Bit();
    std::vector<QByteArray> argumentBytes { path };
    for (const QString& argument : arguments)
        argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentBytes;
    for (char** entry = environ; *entry; ++entry) {
        const QByteArray current(*entry);
        const QByteArray name = current.left(current.indexOf('=') + 1);
        const bool replaced = std::any_of(environment.begin(), environment.end(),
            [&name](const QByteArray& extra) { return extra.startsWith(name); });
        if (!replaced)
            environmentBytes.push_back(current);
    }
    for (const QByteArray& extra : environment)
        environmentBytes.push_back(extra);
    std::vector<char*> envp;
    for (QByteArray& entry : environmentBytes)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    int output[2] = { -1, -1 };
    if (captureOutput && pipe2(output, O_CLOEXEC) != 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(captureOutput ? output[1] : null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (captureOutput) {
        close(output[1]);
        if (pid < 0)
            close(output[0]);
        else
            m_output = output[0];
    }
    m_pid = pid;
    return pid > 0;
}

bool Child::waitForLine(const QByteArray& line, int timeout_ms)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (m_output >= 0) {
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray got = m_pending.left(end).trimmed();
            m_pending.remove(0, end + 1);
            if (got == line)
                return true;
        }
        pollfd in = { m_output, POLLIN, 0 };
        if (Clock::now() >= deadline || poll(&in, 1, msLeft(deadline)) <= 0)
            return false;
        char buffer[512];
        const ssize_t n = read(m_output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_pending.append(buffer, int(n));
    }
    return false;
}

void Child::stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (m_output >= 0) {
        close(m_output);
        m_output = -1;
    }
    m_pending.clear();
}

bool memoryMegabytes(pid_t pid, double* rss, double* pss)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    int found = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // "Rss:     41236 kB"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields.at(0) == "Rss:") {
            *rss = fields.at(1).toDouble() / 1024;
            ++found;
        } else if (fields.at(0) == "Pss:") {
            *pss = fields.at(1).toDouble() / 1024;
            ++found;
        }
    }
    return found == 2;
}

void useDisplayOf(const Xserver& server)
{
    if (server.isRunning()) {
        qputenv("DISPLAY", server.display());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

} // namespace benchx
