// The portable half of the display check: the watch over the application
// object's start, which turns Qt's fatal "no Qt platform plugin could be
// initialized" (and any other fatal message meanwhile), or a platform without
// a screen, into the one line and exit status 1 that the check gives; and
// the wording of that line.

#include "app/displaycheck.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QChar>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

namespace {

// A Qt message held back while the application object is built; the context
// is copied, as its strings need not outlive the call.
struct HeldMessage
{
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

// The watch's state, shared with any thread Qt starts meanwhile.
struct Watch
{
    std::mutex mutex;
    bool active = false;
    QtMessageHandler previous = nullptr;
    std::string program;
    std::vector<HeldMessage> held;
};

Watch s_watch;

std::string lineFor(const std::string& program, const std::string& cause)
{
    return program + ": the window needs a display, and " + cause
        + "; start it in a desktop session, or without one on a virtual X server: xvfb-run -a " + program;
}

QByteArray copied(const char* text)
{
    return text ? QByteArray(text) : QByteArray();
}

const char* orNull(const QByteArray& text)
{
    return text.isNull() ? nullptr : text.constData();
}

void pass(const HeldMessage& message, QtMessageHandler handler)
{
    const QMessageLogContext context(
        orNull(message.file), message.line, orNull(message.function), orNull(message.category));
    handler(message.type, context, message.text);
}

// The first sentence of a Qt message, trimmed, without its full stop.
std::string firstSentence(const QString& text)
{
    QString sentence = text.section(QLatin1Char('\n'), 0, 0).section(QLatin1String(". "), 0, 0).trimmed();
    if (sentence.endsWith(QLatin1Char('.')))
        sentence.chop(1);
    return sentence.toStdString();
}

// Ends the program with the one line, naming what Qt warned of while it
// started (the platforms it tried) and then what made it give up. Debug
// output, which only a developer turns on (QT_DEBUG_PLUGINS,
// QT_LOGGING_RULES), is passed on before it.
[[noreturn]] void giveUp(const std::vector<HeldMessage>& held, QtMessageHandler previous, const std::string& program,
    const std::string& last)
{
    std::string said;
    for (const HeldMessage& message : held) {
        if (message.type == QtDebugMsg)
            pass(message, previous);
        else if (message.type == QtWarningMsg || message.type == QtCriticalMsg)
            said += firstSentence(message.text) + "; ";
    }
    std::fprintf(stderr, "%s\n", lineFor(program, "Qt could not open one (" + said + last + ")").c_str());
    std::fflush(stderr);
    // The application object may be half built: no destructor is safe to run.
    std::_Exit(1);
}

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    std::unique_lock<std::mutex> lock(s_watch.mutex);
    if (!s_watch.active) {
        // Reached after the watch ended, on another thread.
        const QtMessageHandler previous = s_watch.previous;
        lock.unlock();
        previous(type, context, text);
        return;
    }
    // Qt aborts once the handler returns from a fatal message.
    if (type == QtFatalMsg)
        giveUp(s_watch.held, s_watch.previous, s_watch.program, firstSentence(text));
    s_watch.held.push_back(
        { type, copied(context.file), context.line, copied(context.function), copied(context.category), text });
}

} // namespace

std::string DisplayCheck::sentence(const std::string& program, const std::string& cause)
{
    return lineFor(program, cause);
}

void DisplayCheck::watchStart()
{
    std::lock_guard<std::mutex> lock(s_watch.mutex);
    if (s_watch.active)
        return; // another check watches already
    s_watch.program = m_program;
    s_watch.held.clear();
    s_watch.active = true;
    s_watch.previous = qInstallMessageHandler(holdMessage);
    m_watching = true;
}

void DisplayCheck::endWatch()
{
    if (!m_watching)
        return;
    m_watching = false;
    std::vector<HeldMessage> held;
    QtMessageHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(s_watch.mutex);
        qInstallMessageHandler(s_watch.previous);
        s_watch.active = false;
        held.swap(s_watch.held);
        previous = s_watch.previous;
    }
    // Qt started its platform but found no screen on it (linuxfb without a
    // frame buffer): the first window would abort the program.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !QGuiApplication::primaryScreen())
        giveUp(held, previous, m_program, "no screen to show the window on");
    for (const HeldMessage& message : held)
        pass(message, previous);
}
