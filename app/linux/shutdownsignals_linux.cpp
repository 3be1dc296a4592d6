// The shutdown signals on POSIX: sigaction handlers that write the signal's
// number into one end of a socket pair, and a QSocketNotifier on the other
// end on the thread that built the object.

#include "app/shutdownsignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDebug>
#include <QSocketNotifier>

namespace {

constexpr int SIGNAL_COUNT = 3;
const int SIGNALS[SIGNAL_COUNT] = { SIGHUP, SIGINT, SIGTERM };

// The socket the handlers write to; -1 while no object is installed. Read by
// the handlers on any thread, so lock-free.
std::atomic<int> s_writeFd { -1 };
static_assert(std::atomic<int>::is_always_lock_free);
// The signal the last object caught, for endAsCaught(); GUI thread.
int s_ended = 0;

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // Never blocks; when the socket is full the byte is dropped, and the
    // signals already waiting start the shutdown all the same.
    const ssize_t written = send(s_writeFd.load(), &number, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    static_cast<void>(written);
    errno = savedErrno;
}

} // namespace

class ShutdownSignalsImpl
{
public:
    ~ShutdownSignalsImpl()
    {
        for (int fd : m_fds) {
            if (fd >= 0)
                close(fd);
        }
    }

    // Reads everything the handlers wrote; the first number read becomes the
    // caught signal. true when that happened in this call.
    bool drain()
    {
        bool first = false;
        unsigned char numbers[64];
        for (;;) {
            const ssize_t n = recv(m_fds[0], numbers, sizeof numbers, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return first;
            if (m_caught == 0) {
                m_caught = numbers[0];
                first = true;
            }
        }
    }

    int m_fds[2] = { -1, -1 };
    struct sigaction m_previous[SIGNAL_COUNT] = {};
    bool m_handled[SIGNAL_COUNT] = {};
    bool m_installed = false;
    int m_caught = 0;
    QSocketNotifier* m_notifier = nullptr;
};

ShutdownSignals::ShutdownSignals(QObject* parent)
    : QObject(parent)
    , m_impl(new ShutdownSignalsImpl)
{
    if (s_writeFd.load() >= 0) {
        qDebug() << "ShutdownSignals: another object holds the signals";
        return;
    }
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_impl->m_fds) != 0) {
        qDebug() << "ShutdownSignals: no socket pair:" << strerror(errno);
        return;
    }
    s_writeFd.store(m_impl->m_fds[1]);
    for (int i = 0; i < SIGNAL_COUNT; ++i) {
        struct sigaction current = {};
        sigaction(SIGNALS[i], nullptr, &current);
        // A signal its starter chose to ignore (nohup, a background job) stays ignored.
        if (current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        m_impl->m_handled[i] = sigaction(SIGNALS[i], &action, &m_impl->m_previous[i]) == 0;
    }
    m_impl->m_installed = true;
    m_impl->m_notifier = new QSocketNotifier(m_impl->m_fds[0], QSocketNotifier::Read, this);
    m_impl->m_notifier->setEnabled(false);
    connect(m_impl->m_notifier, &QSocketNotifier::activated, this, [this] {
        if (m_impl->drain())
            emit sig_caught(m_impl->m_caught);
    });
}

ShutdownSignals::~ShutdownSignals()
{
    if (m_impl->m_installed) {
        for (int i = 0; i < SIGNAL_COUNT; ++i) {
            if (m_impl->m_handled[i])
                sigaction(SIGNALS[i], &m_impl->m_previous[i], nullptr);
        }
        s_writeFd.store(-1);
        m_impl->drain();
        s_ended = m_impl->m_caught;
    }
    delete m_impl->m_notifier;
}

bool ShutdownSignals::isInstalled() const
{
    return m_impl->m_installed;
}

void ShutdownSignals::listen()
{
    if (m_impl->m_notifier)
        m_impl->m_notifier->setEnabled(true);
}

int ShutdownSignals::caught() const
{
    return m_impl->m_caught;
}

void ShutdownSignals::endAsCaught()
{
    const int signalNumber = s_ended;
    if (signalNumber == 0)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signalNumber);
    // Not reached while the signal's default action ends the process; the
    // status a shell would have shown for it.
    std::_Exit(128 + signalNumber);
}
