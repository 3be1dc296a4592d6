#pragma once

#include <memory>
#include <string>

// Whether the program has somewhere to show its window, asked before the
// application object is built: without a display, or with one that is named
// but does not answer, that object aborts the program (and dumps core) with a
// message that does not name the cause. The check may wait as long as
// connecting to the display does.
class DisplayCheck
{
public:
    // argv[0] names the program in the message.
    DisplayCheck(int argc, char** argv);
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // Empty when a display answers, or when a platform was chosen explicitly
    // (which is then Qt's to open); otherwise one line for the user, without
    // a line end, saying which display is missing or silent and how to run
    // the program without a desktop.
    const std::string& message() const { return m_message; }

    // Lets go of the display the check connected to. Call it once the
    // application object has made its own connection: an X server whose last
    // client leaves resets itself, and for a moment refuses the next one.
    void release();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    std::string m_message;
};
