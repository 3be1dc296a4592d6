// A display on Linux: an X server named by DISPLAY (or Qt's -display
// argument) or a Wayland compositor named by WAYLAND_DISPLAY, unless the Qt
// platform was chosen by QT_QPA_PLATFORM or the -platform argument
// (offscreen, vnc, ...). A display that is named but does not answer (a
// stale DISPLAY in an ssh session or a service, a compositor that has gone)
// is as good as none: Qt would abort on it.

#include "app/displaycheck.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include <xcb/xcb.h>

namespace {

const char* variable(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// The value of Qt's "-name value" argument, also written with two dashes.
const char* argument(int argc, char** argv, const char* name)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const char* given = argv[i];
        if (given[0] == '-' && given[1] == '-')
            ++given;
        if (given[0] == '-' && std::strcmp(given + 1, name) == 0)
            return argv[i + 1];
    }
    return nullptr;
}

// Connects to the compositor's socket and leaves again: an absolute path, or
// a name in the session's runtime folder.
bool compositorAnswers(const char* display)
{
    std::string path = display;
    if (path.front() != '/') {
        const char* runtime = variable("XDG_RUNTIME_DIR");
        if (!runtime)
            return false;
        path = std::string(runtime) + '/' + path;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0)
        return false;
    const bool answers = ::connect(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(socketFd);
    return answers;
}

} // namespace

// The connection to the X server the check made: the same, with the same
// authorisation, that Qt's X platform makes first.
struct DisplayCheck::Connection
{
    explicit Connection(const char* display)
        : x(xcb_connect(display, nullptr))
    {
    }
    ~Connection() { xcb_disconnect(x); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* const x;
};

DisplayCheck::DisplayCheck(int argc, char** argv)
{
    if (variable("QT_QPA_PLATFORM") || argument(argc, argv, "platform"))
        return;
    const char* xDisplay = argument(argc, argv, "display");
    const char* xSource = "-display";
    if (!xDisplay) {
        xDisplay = variable("DISPLAY");
        xSource = "DISPLAY";
    }
    const char* waylandDisplay = variable("WAYLAND_DISPLAY");

    // Any display that answers will do: which one Qt takes is Qt's choice.
    std::vector<std::string> silent;
    if (xDisplay) {
        m_connection = std::make_unique<Connection>(xDisplay);
        if (xcb_connection_has_error(m_connection->x) == 0)
            return; // held until Qt has connected too (see release)
        m_connection.reset();
        silent.push_back(std::string("the X display \"") + xDisplay + "\" (" + xSource + ")");
    }
    if (waylandDisplay) {
        if (compositorAnswers(waylandDisplay))
            return;
        silent.push_back(std::string("the Wayland display \"") + waylandDisplay + "\" (WAYLAND_DISPLAY)");
    }

    std::string cause;
    if (silent.empty())
        cause = "neither DISPLAY nor WAYLAND_DISPLAY is set";
    else if (silent.size() == 1)
        cause = silent.front() + " does not answer";
    else
        cause = silent.front() + " and " + silent.back() + " do not answer";
    const std::string program = argc > 0 && argv[0] && *argv[0] ? argv[0] : "quv-taqo-control";
    m_message = program + ": the window needs a display, and " + cause
        + "; start it in a desktop session, or without one on a virtual X server: xvfb-run -a " + program;
}

DisplayCheck::~DisplayCheck() = default;

void DisplayCheck::release()
{
    m_connection.reset();
}
