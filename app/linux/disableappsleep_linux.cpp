// The sleep guard over D-Bus: logind's "idle" inhibitor on the system bus,
// held as the descriptor logind hands out (closing it ends the inhibition at
// once); else the PowerManagement inhibitor of the user's session, ended by
// its cookie; else nothing.
//
// The inhibitor is asked for on a helper thread, so that the window does not
// wait for the buses: connecting to them and logind's answer (which asks
// polkit first) take milliseconds of the start-up, while the machine's idle
// timer counts in minutes. Ending it waits for a request still under way
// (at most its time-out), then lets the inhibitor go at once.

#include "app/disableappsleep.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QDebug>

#include <pthread.h>
#include <thread>

namespace {

const char* const APPLICATION = "QUV Taqo Control";
const char* const REASON = "Batch processing files";
// A service that does not answer must not hold up the start of the program.
constexpr int CALL_TIMEOUT_MS = 1000;

QDBusMessage inhibitCall(const char* service, const char* path, const char* interface, const char* method)
{
    return QDBusMessage::createMethodCall(
        QLatin1String(service), QLatin1String(path), QLatin1String(interface), QLatin1String(method));
}

} // namespace

class DisableAppSleepImpl
{
public:
    DisableAppSleepImpl(const QString& systemBusAddress, const QString& sessionBusAddress)
        : m_systemBusAddress(systemBusAddress)
        , m_sessionBusAddress(sessionBusAddress)
    { }
    virtual ~DisableAppSleepImpl()
    {
        Disable(false);
        for (const QString& name : { m_systemBusName, m_sessionBusName }) {
            if (!name.isEmpty())
                QDBusConnection::disconnectFromBus(name);
        }
    }

    DisableAppSleepImpl(const DisableAppSleepImpl&) = delete;
    DisableAppSleepImpl& operator=(const DisableAppSleepImpl&) = delete;

    // true: begin keeping the machine awake unless already doing so; false: end it.
    void Disable(bool disable)
    {
        if (disable && !m_active) {
            m_active = true;
            m_request = std::thread([this] {
                pthread_setname_np(pthread_self(), "sleepguard");
                if (!inhibitLogind() && !inhibitPowerManagement())
                    qDebug() << "DisableAppSleep: no sleep inhibitor answers on D-Bus; idle sleep stays allowed";
            });
        } else if (!disable) {
            m_active = false;
            // What the request took is this thread's to let go once it is over.
            if (m_request.joinable())
                m_request.join();
            // Dropping the last copy of logind's descriptor closes it.
            m_inhibitor = QDBusUnixFileDescriptor();
            if (m_hasCookie) {
                m_hasCookie = false;
                QDBusMessage call = inhibitCall("org.freedesktop.PowerManagement",
                    "/org/freedesktop/PowerManagement/Inhibit", "org.freedesktop.PowerManagement.Inhibit", "UnInhibit");
                call << m_cookie;
                sessionBus().call(call, QDBus::Block, CALL_TIMEOUT_MS);
            }
        }
    }

private:
    // The bus at address, or the standard one when address is empty; name
    // receives the private connection's name.
    static QDBusConnection bus(
        const QString& address, QDBusConnection::BusType standard, const char* prefix, QString& name)
    {
        if (address.isEmpty())
            return standard == QDBusConnection::SystemBus ? QDBusConnection::systemBus()
                                                          : QDBusConnection::sessionBus();
        if (name.isEmpty())
            name = QLatin1String(prefix) + QString::number(quintptr(&name), 16);
        return QDBusConnection::connectToBus(address, name);
    }
    QDBusConnection systemBus()
    {
        return bus(m_systemBusAddress, QDBusConnection::SystemBus, "quv-sleep-system-", m_systemBusName);
    }
    QDBusConnection sessionBus()
    {
        return bus(m_sessionBusAddress, QDBusConnection::SessionBus, "quv-sleep-session-", m_sessionBusName);
    }

    bool inhibitLogind()
    {
        QDBusConnection system = systemBus();
        if (!system.isConnected())
            return false;
        QDBusMessage call = inhibitCall(
            "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit");
        call << QStringLiteral("idle") << QLatin1String(APPLICATION) << QLatin1String(REASON)
             << QStringLiteral("block");
        const QDBusReply<QDBusUnixFileDescriptor> reply = system.call(call, QDBus::Block, CALL_TIMEOUT_MS);
        if (!reply.isValid() || !reply.value().isValid())
            return false;
        m_inhibitor = reply.value();
        return true;
    }

    bool inhibitPowerManagement()
    {
        QDBusConnection session = sessionBus();
        if (!session.isConnected())
            return false;
        QDBusMessage call = inhibitCall("org.freedesktop.PowerManagement", "/org/freedesktop/PowerManagement/Inhibit",
            "org.freedesktop.PowerManagement.Inhibit", "Inhibit");
        call << QLatin1String(APPLICATION) << QLatin1String(REASON);
        const QDBusReply<uint> reply = session.call(call, QDBus::Block, CALL_TIMEOUT_MS);
        if (!reply.isValid())
            return false;
        m_cookie = reply.value();
        m_hasCookie = true;
        return true;
    }

    bool m_active = false;
    // Asks for the inhibitor; the members below are its until it is joined.
    std::thread m_request;
    QString m_systemBusAddress;
    QString m_sessionBusAddress;
    QString m_systemBusName;
    QString m_sessionBusName;
    QDBusUnixFileDescriptor m_inhibitor;
    uint m_cookie = 0;
    bool m_hasCookie = false;
};

DisableAppSleep::DisableAppSleep()
    : DisableAppSleep(QString(), QString())
{ }

DisableAppSleep::DisableAppSleep(const QString& systemBusAddress, const QString& sessionBusAddress)
    : m_impl(new DisableAppSleepImpl(systemBusAddress, sessionBusAddress))
{
    m_impl->Disable(true);
}

DisableAppSleep::~DisableAppSleep()
{
    m_impl->Disable(false);
}
