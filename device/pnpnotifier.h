#pragma once

// USB hot-plug notifier: watches device arrivals and removals on the event
// loop of the thread that installs it, and reports them to a plain function.
//
// All callbacks run on the installing thread; Install and Uninstall must be
// called there. Error lines go to syslog at LOG_ERR as
// "## ERROR:  0x<thread id, 16 hex digits>:  <operation>:  <text>"; with
// SetDebugLogging, "NOTE" lines of the same form trace entry (bit 62) and
// exit (bit 61).

#include "device/pnptypes.h"

#include <atomic>
#include <string>
#include <vector>

// message: the notification's code; refcon: the value given with the callback.
using PnpNotifierCallback = void (*)(unsigned long message, void* refcon);

class PnpNotifier
{
public:
    // Messages of the base notifier: at least one service was added or removed.
    static constexpr unsigned long kServicesAdded = 2721;
    static constexpr unsigned long kServicesRemoved = 2722;

    // Trace mask bits.
    static constexpr unsigned long long kTraceEntry = 1ULL << 62;
    static constexpr unsigned long long kTraceExit = 1ULL << 61;

    // callback may be null.
    PnpNotifier(PnpNotifierCallback callback, void* refcon);
    PnpNotifier(const PnpNotifier&) = delete;
    PnpNotifier& operator=(const PnpNotifier&) = delete;

    // Uninstalls; call it on the installing thread.
    virtual ~PnpNotifier();

    // Starts watching the services that matchingDictionary matches (the
    // notifier takes its own reference; null asks CreateMatchingDictionary()).
    // Services present now are reported before it returns. True when at
    // least one general-interest notification is registered; false, with an
    // ERROR line, when a step fails. Call Uninstall before installing again.
    virtual bool Install(CFMutableDictionaryRef matchingDictionary);

    // Stops every notification and releases what Install took. No callback
    // follows it; a second call does nothing.
    virtual void Uninstall();

    virtual void SetCallback(PnpNotifierCallback callback, void* refcon);

    // The dictionary Install(nullptr) uses; the caller owns it. Null here.
    virtual CFMutableDictionaryRef CreateMatchingDictionary();

    // A new dictionary matching providerClass; the caller owns it.
    virtual CFMutableDictionaryRef CreateMatchingDictionary(CFStringRef providerClass);

    // Matching-notification handlers: take every service from the iterator.
    virtual void DeviceAdded(io_iterator_t iterator);
    virtual void DeviceRemoved(io_iterator_t iterator);

    // Interest-notification handler: passes messageType on to the callback.
    virtual void DeviceChanged(io_service_t service, natural_t messageType, void* messageArgument);

    // Registers a general-interest notification on service.
    virtual void AddGeneralInterest(io_service_t service);

    static void DeviceAddedCallback(PnpNotifier* self, io_iterator_t iterator);
    static void DeviceRemovedCallback(PnpNotifier* self, io_iterator_t iterator);
    static void DeviceChangedCallback(
        PnpNotifier* self, io_service_t service, natural_t messageType, void* messageArgument);

    // The interest message's name ("kIOMessageServiceIsTerminated"), else
    // "0x" and at least 4 hex digits.
    static std::string MessageTypeToStr(unsigned int messageType);

    // Sets the trace mask and says so on standard error.
    static void SetDebugLogging(unsigned long long mask);

    // The description of an I/O result code, or "" for one without.
    static const char* KernResultToString(IOReturn code);

protected:
    static std::atomic<unsigned long long> s_debugLogging;

    void* m_refcon;
    PnpNotifierCallback m_callback;
    mach_port_t m_masterPort;
    IONotificationPortRef m_notifyPort; // null when not installed
    CFMutableDictionaryRef m_matchingDictionary; // null when not installed
    std::vector<io_object_t> m_deviceMatchList; // released by Uninstall
    std::vector<io_object_t> m_deviceInterestList; // released by Uninstall
};
