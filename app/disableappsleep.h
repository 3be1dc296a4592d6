#pragma once

#include <memory>

#include <QString>

class DisableAppSleepImpl;

// Keeps the machine from idling to sleep for as long as the object lives,
// through the platform's own service. Where the platform offers none, the
// guard says so once in the debug output and does nothing.
class DisableAppSleep
{
public:
    DisableAppSleep();
    // The same on the message buses at these addresses (an empty address
    // means the system's own bus; on platforms without message buses they
    // are not used).
    DisableAppSleep(const QString& systemBusAddress, const QString& sessionBusAddress);
    virtual ~DisableAppSleep();

    DisableAppSleep(const DisableAppSleep&) = delete;
    DisableAppSleep& operator=(const DisableAppSleep&) = delete;

private:
    // Complete only in the platform file, which therefore holds the destructor.
    std::unique_ptr<DisableAppSleepImpl> m_impl;
};
