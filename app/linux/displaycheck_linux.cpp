// The display on Linux, as Qt 5.15 (Debian's build) chooses it: a list of
// platforms, each tried in turn until one starts. By default "xcb", the X
// server named by Qt's -display argument or DISPLAY; in a Wayland session
// (XDG_SESSION_TYPE=wayland, GNOME's too, as Debian patches Qt) "wayland;xcb",
// the compositor named by WAYLAND_DISPLAY first; QT_QPA_PLATFORM replaces the
// list, the -platform argument replaces both. A platform Qt has no plugin for
// is passed over. A display that is named but does not answer (a stale
// DISPLAY in an ssh session, a service or a Wayland session, a compositor that
// has gone) is as good as none: Qt would abort on it. Any other platform
// (offscreen, vnc, ...) is Qt's alone to open once its plugin is there.

#include "app/displaycheck.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <string>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLibrary>
#include <QPluginLoader>
#include <QString>
#include <QStringList>

#include "quvbase/system/quvtime.h"

namespace {

// How long an X server that is there but refuses the connection is tried
// again, and how often: one that resets itself (its last client has just
// left) accepts the connection and closes it without a word, for a moment.
constexpr uint64_t xRefusedRetry_ms = 2000;
constexpr int xRefusedStep_ms = 50;

// The interface name in the metadata of every Qt 5 platform plugin
// (QPlatformIntegrationFactoryInterface_iid, in Qt's private headers).
const char* const platformPluginIid = "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3";

const char* variable(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// The value of Qt's "-name value" argument, also written with two dashes;
// the last one counts, as for Qt.
const char* argument(int argc, char** argv, const char* name)
{
    const char* value = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        const char* given = argv[i];
        if (given[0] == '-' && given[1] == '-')
            ++given;
        if (given[0] == '-' && std::strcmp(given + 1, name) == 0)
            value = argv[++i];
    }
    return value;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end = text.find(separator); end != std::string::npos; end = text.find(separator, start)) {
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Whether Qt finds a platform plugin of this name, where Qt looks: the
// folder of QT_QPA_PLATFORM_PLUGIN_PATH or -platformpluginpath, and the
// "platforms" folder of each of its plugin paths (QT_PLUGIN_PATH, its own,
// the program's folder). As Qt does, by the names in each plugin's metadata,
// which is read without loading the library.
bool pluginExists(const std::string& name, const QString& pluginPath)
{
    QStringList folders;
    if (!pluginPath.isEmpty())
        folders << pluginPath << pluginPath + QLatin1String("/platforms");
    for (const QString& path : QCoreApplication::libraryPaths())
        folders << path + QLatin1String("/platforms");
    folders << QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + QLatin1String("/platforms");

    const QString key = QString::fromStdString(name);
    for (const QString& folder : qAsConst(folders)) {
        const QDir dir(folder);
        for (const QString& file : dir.entryList(QDir::Files)) {
            if (!QLibrary::isLibrary(file))
                continue;
            // The loader reads no metadata from a relative path.
            const QJsonObject data = QPluginLoader(QFileInfo(dir, file).canonicalFilePath()).metaData();
            if (data.value(QLatin1String("IID")).toString() != QLatin1String(platformPluginIid))
                continue;
            const QJsonArray keys
                = data.value(QLatin1String("MetaData")).toObject().value(QLatin1String("Keys")).toArray();
            for (const QJsonValue& each : keys) {
                if (each.toString().compare(key, Qt::CaseInsensitive) == 0)
                    return true;
            }
        }
    }
    return false;
}

// Connects a stream socket to the address and leaves again.
bool accepts(int family, const sockaddr* address, socklen_t size)
{
    const int socketFd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0)
        return false;
    const bool accepted = ::connect(socketFd, address, size) == 0;
    ::close(socketFd);
    return accepted;
}

// A Unix socket by path; abstract ones (Linux only) begin with a NUL byte.
bool unixSocketAccepts(const std::string& path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return accepts(AF_UNIX, reinterpret_cast<const sockaddr*>(&address),
        socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] ? 1 : 0)));
}

bool tcpPortAccepts(std::string host, int port)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool accepted = false;
    for (const addrinfo* each = found; each && !accepted; each = each->ai_next)
        accepted = accepts(each->ai_family, each->ai_addr, each->ai_addrlen);
    ::freeaddrinfo(found);
    return accepted;
}

// Whether a server listens where libxcb looks for the X display: the Unix
// socket of its number (the abstract one, then the file), or, for a host,
// the TCP port 6000 + the number. No setup is sent.
bool xServerListens(const char* display)
{
    char* host = nullptr;
    int number = 0;
    int screen = 0;
    if (!xcb_parse_display(display, &host, &number, &screen))
        return false;
    const std::string hostName = host;
    std::free(host);
    if (!hostName.empty() && hostName != "unix")
        return tcpPortAccepts(hostName, 6000 + number);
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return unixSocketAccepts(std::string(1, '\0') + path) || unixSocketAccepts(path);
}

// Connects to the X display as Qt's X platform will: libxcb, with the same
// authorisation. A server that refuses the connection gives its reason, which
// libxcb writes straight to the standard error; it is caught here (no other
// thread exists yet) and handed back in refusal, as one line.
xcb_connection_t* connectQuietly(const char* display, std::string& refusal)
{
    std::fflush(stderr);
    const int capture = ::memfd_create("quv-display-check", MFD_CLOEXEC);
    const int saved = capture >= 0 ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
    if (saved >= 0)
        ::dup2(capture, STDERR_FILENO);
    xcb_connection_t* const connection = xcb_connect(display, nullptr);
    if (saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        // The server's reason is at most 255 bytes.
        char said[512];
        const ssize_t size = ::pread(capture, said, sizeof said, 0);
        std::string text(said, size_t(size > 0 ? size : 0));
        text = text.substr(0, text.find_first_of("\r\n"));
        for (char& c : text) {
            if (!std::isprint(static_cast<unsigned char>(c)))
                c = ' ';
        }
        const size_t last = text.find_last_not_of(' ');
        refusal = last == std::string::npos ? std::string() : text.substr(0, last + 1);
    }
    if (capture >= 0)
        ::close(capture);
    return connection;
}

// The connection to the X display, or null with the cause in words. A
// server that is there but refuses is tried again for a while; a display
// without a server is given up at once.
xcb_connection_t* connectX(const char* display, const char* source, std::string& cause)
{
    const std::string named = std::string("the X display \"") + display + "\" (" + source + ")";
    const uint64_t deadline_ms = QUVTime::GetSystemMilliseconds() + xRefusedRetry_ms;
    for (;;) {
        std::string refusal;
        xcb_connection_t* const connection = connectQuietly(display, refusal);
        if (xcb_connection_has_error(connection) == 0)
            return connection;
        xcb_disconnect(connection);
        if (refusal.empty() && !xServerListens(display)) {
            cause = named + " does not answer";
            return nullptr;
        }
        if (QUVTime::GetSystemMilliseconds() >= deadline_ms) {
            cause = named + " refuses the connection" + (refusal.empty() ? "" : " (" + refusal + ")");
            return nullptr;
        }
        QUVTime::Sleep(xRefusedStep_ms);
    }
}

// Connects to a Wayland compositor's socket and leaves again: an absolute
// path, or a name in the session's runtime folder (libwayland's rule).
bool compositorAnswers(const std::string& display)
{
    if (display.front() == '/')
        return unixSocketAccepts(display);
    const char* runtime = variable("XDG_RUNTIME_DIR");
    return runtime && unixSocketAccepts(std::string(runtime) + '/' + display);
}

std::string waylandNamed(const std::string& display, const char* source)
{
    return "the Wayland display \"" + display + "\" (" + source + ")";
}

} // namespace

// The connection to the X server the check made, held until Qt has its own.
struct DisplayCheck::Connection
{
    explicit Connection(xcb_connection_t* connection)
        : x(connection)
    { }
    ~Connection() { xcb_disconnect(x); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* const x;
};

DisplayCheck::DisplayCheck(int argc, char** argv)
    : m_program(argc > 0 && argv[0] && *argv[0] ? argv[0] : "quv-taqo-control")
{
    std::string platforms = "xcb";
    std::string chosenBy = "Qt's default";
    const char* session = variable("XDG_SESSION_TYPE");
    if (session && std::strcmp(session, "wayland") == 0) {
        platforms = "wayland;xcb";
        chosenBy = "XDG_SESSION_TYPE=wayland";
    }
    if (const char* named = variable("QT_QPA_PLATFORM")) {
        platforms = named;
        chosenBy = "QT_QPA_PLATFORM";
    }
    if (const char* named = argument(argc, argv, "platform")) {
        platforms = named;
        chosenBy = "-platform";
    }
    const char* pluginPath = argument(argc, argv, "platformpluginpath");
    if (!pluginPath)
        pluginPath = variable("QT_QPA_PLATFORM_PLUGIN_PATH");
    const QString pluginFolder = QString::fromLocal8Bit(pluginPath ? pluginPath : "");

    // What failed, in Qt's order.
    std::vector<std::string> failed;
    bool waylandTried = false;
    for (const std::string& entry : split(platforms, ';')) {
        // "name:arguments"; Qt takes the name in lower case.
        std::string name = entry.substr(0, entry.find(':'));
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        const bool wayland = name.compare(0, 7, "wayland") == 0;
        waylandTried = waylandTried || wayland;
        if (!pluginExists(name, pluginFolder)) {
            failed.push_back("Qt has no \"" + name + "\" platform plugin (" + chosenBy + ")");
            continue;
        }
        if (name == "xcb") {
            const char* display = argument(argc, argv, "display");
            const char* source = "-display";
            if (!display) {
                display = variable("DISPLAY");
                source = "DISPLAY";
            }
            if (!display) {
                failed.push_back("DISPLAY is not set");
                continue;
            }
            std::string cause;
            if (xcb_connection_t* const connection = connectX(display, source, cause)) {
                m_connection = std::make_unique<Connection>(connection);
                return; // held until Qt has connected too (see release)
            }
            failed.push_back(cause);
            continue;
        }
        if (wayland) {
            // A connection handed down by the compositor is Qt's to use.
            if (variable("WAYLAND_SOCKET"))
                return;
            const char* display = variable("WAYLAND_DISPLAY");
            const std::string compositor = display ? display : "wayland-0";
            if (compositorAnswers(compositor))
                return;
            failed.push_back(
                waylandNamed(compositor, display ? "WAYLAND_DISPLAY" : "the default") + " does not answer");
            continue;
        }
        return;
    }
    // A Wayland display Qt does not try here may be where the user expects
    // the window.
    if (const char* display = variable("WAYLAND_DISPLAY")) {
        if (!waylandTried) {
            failed.push_back(waylandNamed(display, "WAYLAND_DISPLAY")
                + (compositorAnswers(display) ? " answers, but Qt does not choose it" : " does not answer"));
        }
    }

    std::string cause;
    for (const std::string& each : failed)
        cause += (cause.empty() ? "" : ", and ") + each;
    m_message = sentence(m_program, cause);
}

DisplayCheck::~DisplayCheck()
{
    release();
}

void DisplayCheck::release()
{
    m_connection.reset();
    endWatch();
}
