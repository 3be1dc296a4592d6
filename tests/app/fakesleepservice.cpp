// A stand-in for the sleep inhibitors on a private message bus: logind's
// Inhibit (answering with a pipe's write end, and reporting when the caller
// closes its copy) or the session's PowerManagement Inhibit and UnInhibit.
//
//     fakesleepservice <bus address> logind|pm
//
// Prints "ready" once registered, then one line per call and "released"
// when an inhibitor descriptor is closed.

#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QSocketNotifier>
#include <QStringList>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

class Logind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
    {
        say(QStringLiteral("Inhibit ") + QStringList { what, who, why, mode }.join(QLatin1Char('|')));
        int ends[2];
        if (pipe(ends) != 0)
            return QDBusUnixFileDescriptor();
        const QDBusUnixFileDescriptor inhibitor(ends[1]);
        close(ends[1]);
        auto* watch = new QSocketNotifier(ends[0], QSocketNotifier::Read, this);
        connect(watch, &QSocketNotifier::activated, this, [watch, ends] {
            char byte;
            if (read(ends[0], &byte, 1) <= 0) {
                watch->setEnabled(false);
                say(QStringLiteral("released"));
            }
        });
        return inhibitor;
    }
};

class PowerManagement : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PowerManagement.Inhibit")

public slots:
    uint Inhibit(const QString& application, const QString& reason)
    {
        say(QStringLiteral("Inhibit %1|%2").arg(application, reason));
        return 42;
    }
    void UnInhibit(uint cookie) { say(QStringLiteral("UnInhibit %1").arg(cookie)); }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLocal8Bit(argv[1]), QStringLiteral("fake"));
    Logind logind;
    PowerManagement power;
    const bool asLogind = qstrcmp(argv[2], "logind") == 0;
    const bool registered = asLogind
        ? bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind, QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.login1"))
        : bus.registerObject(
              QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"), &power, QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.PowerManagement"));
    if (!registered)
        return 1;
    say(QStringLiteral("ready"));
    return application.exec();
}

#include "fakesleepservice.moc"
