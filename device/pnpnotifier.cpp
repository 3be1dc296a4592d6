#include "device/pnpnotifier.h"

#include "device/pnpkit.h"

#include <cinttypes>
#include <cstdio>

#include <pthread.h>

std::atomic<unsigned long long> PnpNotifier::s_debugLogging { 0 };

namespace {

// "## KIND:  0x<thread>:  <operation>:  <text>"
void logLine(const char* kind, const char* operation, const std::string& text)
{
    char head[64];
    std::snprintf(head, sizeof head, "## %s:  0x%016lx:  ", kind, static_cast<unsigned long>(pthread_self()));
    const std::string line = head + std::string(operation) + ":  " + text;
    pnpkit::writeLog(line.c_str());
}

void logError(const char* operation, const std::string& text)
{
    logLine("ERROR", operation, text);
}

void note(bool enabled, const char* operation, const std::string& text)
{
    if (enabled)
        logLine("NOTE", operation, text);
}

// "kernResult=0x<code>(<description>)<what failed>"
std::string kernFailure(kern_return_t code, const char* what)
{
    char text[160];
    std::snprintf(text, sizeof text, "kernResult=0x%08x(%s)%s", static_cast<unsigned>(code),
        PnpNotifier::KernResultToString(code), what);
    return text;
}

std::string pointerText(const void* pointer)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIxPTR, reinterpret_cast<uintptr_t>(pointer));
    return text;
}

std::string listSizes(size_t interest, size_t match)
{
    return "m_deviceInterestList.size()=" + std::to_string(interest)
        + ", m_deviceMatchList.size()=" + std::to_string(match);
}

void matchedThunk(void* refcon, io_iterator_t iterator)
{
    PnpNotifier::DeviceAddedCallback(static_cast<PnpNotifier*>(refcon), iterator);
}

void interestThunk(void* refcon, io_service_t service, natural_t messageType, void* messageArgument)
{
    PnpNotifier::DeviceChangedCallback(static_cast<PnpNotifier*>(refcon), service, messageType, messageArgument);
}

void releaseAll(std::vector<io_object_t>& list)
{
    // Taken out first, so that nothing can see a half-released list.
    std::vector<io_object_t> objects;
    objects.swap(list);
    for (io_object_t object : objects)
        pnpkit::objectRelease(object);
}

} // namespace

PnpNotifier::PnpNotifier(PnpNotifierCallback callback, void* refcon)
    : m_refcon(refcon)
    , m_callback(callback)
    , m_masterPort(MACH_PORT_NULL)
    , m_notifyPort(nullptr)
    , m_matchingDictionary(nullptr)
{ }

PnpNotifier::~PnpNotifier()
{
    Uninstall();
    m_refcon = nullptr;
    m_callback = nullptr;
    m_masterPort = MACH_PORT_NULL;
}

bool PnpNotifier::Install(CFMutableDictionaryRef matchingDictionary)
{
    note(s_debugLogging & kTraceEntry, "Install",
        "in, " + listSizes(m_deviceInterestList.size(), m_deviceMatchList.size())
            + ", matchingDictionary=" + pointerText(matchingDictionary));

    // What an earlier Install took (also one that failed half way) is let go
    // first, so that no port, dictionary or watch is lost or left running.
    if (m_notifyPort || m_matchingDictionary || !m_deviceMatchList.empty() || !m_deviceInterestList.empty())
        Uninstall();

    if (matchingDictionary) {
        pnpkit::retain(matchingDictionary);
        m_matchingDictionary = matchingDictionary;
    } else {
        m_matchingDictionary = CreateMatchingDictionary();
    }
    if (!m_matchingDictionary) {
        logError("Install", "NULL matchingDictionary");
        return false;
    }

    kern_return_t result = pnpkit::masterPort(MACH_PORT_NULL, &m_masterPort);
    if (result != KERN_SUCCESS) {
        logError("Install", kernFailure(result, " -- IOMasterPort failed"));
        return false;
    }

    m_notifyPort = pnpkit::notificationPortCreate(m_masterPort);
    if (!m_notifyPort) {
        logError("Install", "IONotificationPortCreate failed");
        return false;
    }
    pnpkit::notificationPortAttach(m_notifyPort);

    // The registration consumes one reference; the notifier keeps its own.
    pnpkit::retain(m_matchingDictionary);
    io_iterator_t iterator = nullptr;
    result = pnpkit::addMatchingNotification(
        m_notifyPort, kIOMatchedNotification, m_matchingDictionary, matchedThunk, this, &iterator);
    if (result != KERN_SUCCESS) {
        logError("Install", kernFailure(result, " -- IOServiceAddMatchingNotification failed"));
        return false;
    }

    // Reports the services present now.
    DeviceAddedCallback(this, iterator);
    m_deviceMatchList.push_back(iterator);

    note(s_debugLogging & kTraceExit, "Install",
        "out, " + listSizes(m_deviceInterestList.size(), m_deviceMatchList.size()));
    return !m_deviceInterestList.empty();
}

void PnpNotifier::Uninstall()
{
    note(s_debugLogging & kTraceEntry, "Uninstall",
        "in, " + listSizes(m_deviceInterestList.size(), m_deviceMatchList.size()));

    releaseAll(m_deviceMatchList);
    releaseAll(m_deviceInterestList);

    if (m_notifyPort) {
        IONotificationPortRef port = m_notifyPort;
        m_notifyPort = nullptr;
        pnpkit::notificationPortDetach(port);
        pnpkit::notificationPortDestroy(port);
    }
    if (m_matchingDictionary) {
        pnpkit::release(m_matchingDictionary);
        m_matchingDictionary = nullptr;
    }

    note(s_debugLogging & kTraceExit, "Uninstall",
        "out, " + listSizes(m_deviceInterestList.size(), m_deviceMatchList.size()));
}

void PnpNotifier::SetCallback(PnpNotifierCallback callback, void* refcon)
{
    m_callback = callback;
    m_refcon = refcon;
}

CFMutableDictionaryRef PnpNotifier::CreateMatchingDictionary()
{
    return nullptr;
}

CFMutableDictionaryRef PnpNotifier::CreateMatchingDictionary(CFStringRef providerClass)
{
    CFMutableDictionaryRef dictionary = pnpkit::dictionaryCreate();
    pnpkit::dictionarySetValue(dictionary, kIOProviderClassKey, providerClass);
    return dictionary;
}

void PnpNotifier::DeviceAdded(io_iterator_t iterator)
{
    note(s_debugLogging & kTraceEntry, "DeviceAdded", "in");
    pnpkit::iteratorReset(iterator);
    bool added = false;
    while (io_service_t service = pnpkit::iteratorNext(iterator)) {
        added = true;
        AddGeneralInterest(service);
        pnpkit::objectRelease(service);
    }
    if (added && m_callback)
        m_callback(kServicesAdded, m_refcon);
    note(s_debugLogging & kTraceExit, "DeviceAdded", "out");
}

void PnpNotifier::DeviceRemoved(io_iterator_t iterator)
{
    note(s_debugLogging & kTraceEntry, "DeviceRemoved", "in");
    pnpkit::iteratorReset(iterator);
    bool removed = false;
    while (io_service_t service = pnpkit::iteratorNext(iterator)) {
        removed = true;
        pnpkit::objectRelease(service);
    }
    if (removed && m_callback)
        m_callback(kServicesRemoved, m_refcon);
    note(s_debugLogging & kTraceExit, "DeviceRemoved", "out");
}

void PnpNotifier::DeviceChanged(io_service_t, natural_t messageType, void* messageArgument)
{
    note(s_debugLogging & kTraceEntry, "DeviceChanged",
        "messageType=" + MessageTypeToStr(messageType) + ", message=" + pointerText(messageArgument));
    if (m_callback)
        m_callback(messageType, m_refcon);
    note(s_debugLogging & kTraceExit, "DeviceChanged", "out");
}

void PnpNotifier::AddGeneralInterest(io_service_t service)
{
    io_object_t notification = nullptr;
    const kern_return_t result = pnpkit::addInterestNotification(
        m_notifyPort, service, kIOGeneralInterest, interestThunk, this, &notification);
    if (result == KERN_SUCCESS)
        m_deviceInterestList.push_back(notification);
    else
        logError("AddGeneralInterest", kernFailure(result, " -- IOServiceAddInterestNotification failed"));
}

void PnpNotifier::DeviceAddedCallback(PnpNotifier* self, io_iterator_t iterator)
{
    note(s_debugLogging & kTraceEntry, "DeviceAddedCallback", "in");
    if (self)
        self->DeviceAdded(iterator);
    note(s_debugLogging & kTraceExit, "DeviceAddedCallback", "out");
}

void PnpNotifier::DeviceRemovedCallback(PnpNotifier* self, io_iterator_t iterator)
{
    note(s_debugLogging & kTraceEntry, "DeviceRemovedCallback", "in");
    if (self)
        self->DeviceRemoved(iterator);
    note(s_debugLogging & kTraceExit, "DeviceRemovedCallback", "out");
}

void PnpNotifier::DeviceChangedCallback(
    PnpNotifier* self, io_service_t service, natural_t messageType, void* messageArgument)
{
    if (self)
        self->DeviceChanged(service, messageType, messageArgument);
}

std::string PnpNotifier::MessageTypeToStr(unsigned int messageType)
{
    switch (messageType) {
    case 0xE0000010:
        return "kIOMessageServiceIsTerminated";
    case 0xE0000020:
        return "kIOMessageServiceIsSuspended";
    case 0xE0000030:
        return "kIOMessageServiceIsResumed";
    case 0xE0000100:
        return "kIOMessageServiceIsRequestingClose";
    case 0xE0000101:
        return "kIOMessageServiceIsAttemptingOpen";
    case 0xE0000110:
        return "kIOMessageServiceWasClosed";
    case 0xE0000120:
        return "kIOMessageServiceBusyStateChange";
    case 0xE0000200:
        return "kIOMessageCanDevicePowerOff";
    case 0xE0000210:
        return "kIOMessageDeviceWillPowerOff";
    case 0xE0000220:
        return "kIOMessageDeviceWillNotPowerOff";
    case 0xE0000230:
        return "kIOMessageDeviceHasPoweredOn";
    case 0xE0000240:
        return "kIOMessageCanSystemPowerOff";
    case 0xE0000250:
        return "kIOMessageSystemWillPowerOff";
    case 0xE0000260:
        return "kIOMessageSystemWillNotPowerOff";
    case 0xE0000270:
        return "kIOMessageCanSystemSleep";
    case 0xE0000280:
        return "kIOMessageSystemWillSleep";
    case 0xE0000290:
        return "kIOMessageSystemWillNotSleep";
    case 0xE0000300:
        return "kIOMessageSystemHasPoweredOn";
    default:
        break;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", messageType);
    return text;
}

void PnpNotifier::SetDebugLogging(unsigned long long mask)
{
    s_debugLogging = mask;
    std::fprintf(stderr, "PnpNotifier::SetDebugLogging 0x%llx\n", mask);
}

const char* PnpNotifier::KernResultToString(IOReturn code)
{
    // Descriptions of the I/O results 0xE00002BC to 0xE00002F0, in order;
    // 0xE00002CB and 0xE00002DC have none.
    static const char* const kTexts[] = {
        "general error", // 2BC
        "can't allocate memory", // 2BD
        "resource shortage", // 2BE
        "error during IPC", // 2BF
        "no such device", // 2C0
        "privilege violation", // 2C1
        "invalid argument", // 2C2
        "device read locked", // 2C3
        "device write locked", // 2C4
        "exclusive access and device already open", // 2C5
        "sent/received messages had different msg_id", // 2C6
        "unsupported function", // 2C7
        "misc. VM failure", // 2C8
        "internal error", // 2C9
        "General I/O error", // 2CA
        "", // 2CB
        "can't acquire lock", // 2CC
        "device not open", // 2CD
        "read not supported", // 2CE
        "write not supported", // 2CF
        "alignment error", // 2D0
        "Media Error", // 2D1
        "device(s) still open", // 2D2
        "rld failure", // 2D3
        "DMA failure", // 2D4
        "Device Busy", // 2D5
        "I/O Timeout", // 2D6
        "device offline", // 2D7
        "not ready", // 2D8
        "device not attached", // 2D9
        "no DMA channels left", // 2DA
        "no space for data", // 2DB
        "", // 2DC
        "port already exists", // 2DD
        "can't wire down physical memory", // 2DE
        "no interrupt attached", // 2DF
        "no DMA frames enqueued", // 2E0
        "oversized msg received on interrupt port", // 2E1
        "not permitted", // 2E2
        "no power to device", // 2E3
        "media not present", // 2E4
        "media not formatted", // 2E5
        "no such mode", // 2E6
        "data underrun", // 2E7
        "data overrun", // 2E8
        "the device is not working properly!", // 2E9
        "a completion routine is required", // 2EA
        "operation aborted", // 2EB
        "bus bandwidth would be exceeded", // 2EC
        "device not responding", // 2ED
        "isochronous I/O request for distant past!", // 2EE
        "isochronous I/O request for distant future", // 2EF
        "data was not found", // 2F0
    };
    static_assert(sizeof kTexts / sizeof kTexts[0] == 0x2F0 - 0x2BC + 1, "one text per code");
    const uint32_t value = static_cast<uint32_t>(code);
    if (value < 0xE00002BC || value > 0xE00002F0)
        return "";
    return kTexts[value - 0xE00002BC];
}
