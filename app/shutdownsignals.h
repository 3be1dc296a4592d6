#pragma once

#include <memory>

#include <QObject>

class ShutdownSignalsImpl;

// Brings the signals by which a desktop ends a program (SIGTERM at logout or
// from kill, SIGINT from Ctrl-C, SIGHUP when its terminal goes away) into the
// event loop, so that the application shuts down in order, and afterwards ends
// the process by the same signal, so that its parent sees the status it would
// have seen without the handlers (a shell: 128 + the signal's number).
//
// The handlers do nothing but write the signal's number into a socket that
// the event loop watches. A signal that was ignored when the object was built
// (nohup) stays ignored. The first signal starts the shutdown; later ones,
// such as the SIGHUP that follows SIGTERM at logout, are taken as part of it
// instead of cutting it short. One object at a time; GUI thread.
class ShutdownSignals : public QObject
{
    Q_OBJECT

public:
    // Installs the handlers; nothing is reported before listen().
    explicit ShutdownSignals(QObject* parent = nullptr);
    // Puts back the handlers found at construction, and keeps the first
    // signal caught for endAsCaught(), also one that came during the shutdown.
    ~ShutdownSignals() override;

    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

    // false when the handlers could not be installed (said once in the debug
    // output): the signals then end the process at once, as they would anyway.
    bool isInstalled() const;
    // Reports sig_caught from the event loop from now on; a signal caught
    // before waits for it.
    void listen();
    // The first signal reported, 0 for none.
    int caught() const;

    // Called once the application has shut down and no object is left: when
    // the last object caught a signal, ends the process by it with its default
    // action. Returns when none was caught.
    static void endAsCaught();

signals:
    // The first signal caught; the application shuts down on it.
    void sig_caught(int signalNumber);

private:
    // Complete only in the platform file, which therefore holds the destructor.
    std::unique_ptr<ShutdownSignalsImpl> m_impl;
};
