#pragma once

#include <memory>
#include <string>

// Whether the program has somewhere to show its window, asked before the
// application object is built: when Qt cannot open the platform it chooses
// (an X display that is missing, does not answer or refuses the connection, a
// Wayland compositor that has gone, a platform plugin that is not installed),
// that object aborts the program (and dumps core) with a message that does
// not name the cause.
//
// The check follows Qt's own choice: the platforms the environment, the
// QT_QPA_PLATFORM variable and the -platform argument name, tried in Qt's
// order, each as Qt would open it. It may wait as long as connecting to the
// display does, and up to 2 s more for an X server that is there but refuses
// the connection (one that resets itself as its last client leaves does so
// for a moment).
class DisplayCheck
{
public:
    // argv[0] names the program in the messages.
    DisplayCheck(int argc, char** argv);
    // As release().
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // Empty when the platform Qt chooses can be opened, or is Qt's alone to
    // open (offscreen, vnc, ...); otherwise one line for the user, without a
    // line end, naming what failed and how to run the program without a
    // desktop.
    const std::string& message() const { return m_message; }

    // Call right before the application object is built (with an empty
    // message()), on the thread that builds it. Until release(), Qt's
    // messages are held back; a fatal one (Qt could not open its platform
    // after all, for a cause the check could not foresee) ends the program at
    // once: one line like message() on the standard error, naming what Qt
    // said failed, and exit status 1 instead of an abort.
    void watchStart();

    // Lets go of the display the check connected to, and passes the messages
    // held back since watchStart() on to the handler that was in place, in
    // their order. Call it once the application object has made its own
    // connection: an X server whose last client leaves resets itself, and for
    // a moment refuses the next one. When Qt started its platform but found
    // no screen on it (linuxfb without a frame buffer), on which the first
    // window would abort the program, it ends the program as watchStart()
    // describes instead. Later calls do nothing.
    void release();

private:
    struct Connection;

    // The one line for a failure: the program, the cause, the way out.
    static std::string sentence(const std::string& program, const std::string& cause);
    void endWatch();

    std::unique_ptr<Connection> m_connection;
    std::string m_program;
    std::string m_message;
    bool m_watching = false;
};
