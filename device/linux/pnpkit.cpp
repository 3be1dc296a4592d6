#include "device/linux/pnpkit.h"

#include "device/linux/pnp_udev.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <syslog.h>

#include <QObject>
#include <QSocketNotifier>

// ---- Objects

struct PnpObject
{
    PnpObject() = default;
    PnpObject(const PnpObject&) = delete;
    PnpObject& operator=(const PnpObject&) = delete;
    virtual ~PnpObject() = default;

    int references = 1; // touched only on the port's thread
};

struct PnpService final : PnpObject
{
    explicit PnpService(PnpDeviceInfo device)
        : info(std::move(device))
    { }
    PnpDeviceInfo info;
};

// A registration on a port; registered while port is set.
struct PnpNotification : PnpObject
{
    ~PnpNotification() override;
    PnpNotificationPort* port = nullptr;
    void* refcon = nullptr;
};

struct PnpIterator final : PnpNotification
{
    IOServiceMatchingCallback callback = nullptr;
    bool matchesUsb = false;
    std::vector<PnpDeviceInfo> devices; // the current delivery
    size_t next = 0; // index of the next device to hand out
};

struct PnpInterest final : PnpNotification
{
    ~PnpInterest() override;
    IOServiceInterestCallback callback = nullptr;
    PnpService* service = nullptr; // one reference held
};

struct PnpNotificationPort
{
    std::unique_ptr<PnpEventSource> source;
    QSocketNotifier* notifier = nullptr; // lives on the attaching thread
    std::vector<PnpNotification*> registrations;
    int dispatchDepth = 0; // > 0 while events are being delivered
    bool destroyed = false; // freed when the last delivery returns
};

struct PnpDictionary
{
    std::atomic<int> references { 1 };
    std::map<std::string, std::string> values;
};

struct IOCFPlugInInterface
{
    std::string busNumber;
    std::string portPath;
};

struct IOUSBDeviceInterface
{
    unsigned busNumber = 0;
    std::string portPath;
};

namespace {

// The only master port there is: one event layer per process.
constexpr mach_port_t kMasterPort = 1;

// Events taken per wake-up; the descriptor stays readable for the rest, so
// a burst cannot hold the event loop.
constexpr int kEventsPerWake = 64;

std::atomic<pnpkit::LogSink> s_logSink { nullptr };

std::mutex s_factoryMutex;
pnpkit::EventSourceFactory s_factory; // guarded by s_factoryMutex

std::unique_ptr<PnpEventSource> makeEventSource()
{
    {
        std::lock_guard<std::mutex> lock(s_factoryMutex);
        if (s_factory)
            return s_factory();
    }
    return createUdevEventSource();
}

void unreference(PnpObject* object)
{
    if (--object->references == 0)
        delete object;
}

void cancel(PnpNotification* notification)
{
    if (!notification->port)
        return;
    auto& list = notification->port->registrations;
    list.erase(std::remove(list.begin(), list.end(), notification), list.end());
    notification->port = nullptr;
}

void enroll(PnpNotificationPort* port, PnpNotification* notification)
{
    notification->port = port;
    port->registrations.push_back(notification);
}

bool wants(const PnpNotification* notification, const pnpkit::EventRoute& route, const PnpEvent& event)
{
    if (route.route == pnpkit::Route::Matched) {
        const auto* iterator = dynamic_cast<const PnpIterator*>(notification);
        return iterator && iterator->matchesUsb;
    }
    const auto* interest = dynamic_cast<const PnpInterest*>(notification);
    return interest && interest->service->info.syspath == event.device.syspath;
}

void deliver(PnpNotificationPort* port, const PnpEvent& event)
{
    const pnpkit::EventRoute route = pnpkit::routeForAction(event.action);
    if (route.route == pnpkit::Route::None)
        return;
    // A callback may release notifications or destroy the port: hold the
    // targets while walking them, and skip any that are gone by their turn.
    std::vector<PnpNotification*> targets;
    for (PnpNotification* notification : port->registrations) {
        if (wants(notification, route, event)) {
            ++notification->references;
            targets.push_back(notification);
        }
    }
    for (PnpNotification* notification : targets) {
        if (notification->port == port && !port->destroyed) {
            if (auto* iterator = dynamic_cast<PnpIterator*>(notification)) {
                // Devices handed out earlier are done with; a reset replays this delivery only.
                iterator->devices.erase(
                    iterator->devices.begin(), iterator->devices.begin() + std::ptrdiff_t(iterator->next));
                iterator->next = 0;
                iterator->devices.push_back(event.device);
                iterator->callback(iterator->refcon, iterator);
            } else if (auto* interest = dynamic_cast<PnpInterest*>(notification)) {
                // A removed device sends nothing more.
                if (route.message == kIOMessageServiceIsTerminated)
                    cancel(interest);
                interest->callback(interest->refcon, interest->service, route.message, nullptr);
            }
        }
        unreference(notification);
    }
}

void dispatch(PnpNotificationPort* port)
{
    ++port->dispatchDepth;
    PnpEvent event;
    for (int taken = 0; taken < kEventsPerWake && !port->destroyed && port->source->receive(&event); ++taken)
        deliver(port, event);
    if (--port->dispatchDepth == 0 && port->destroyed)
        delete port;
}

bool parseDecimal(const std::string& text, size_t maxDigits, unsigned* value)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    unsigned result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + unsigned(c - '0');
    }
    *value = result;
    return true;
}

} // namespace

PnpNotification::~PnpNotification()
{
    cancel(this);
}

PnpInterest::~PnpInterest()
{
    if (service)
        unreference(service);
}

namespace pnpkit {

LogSink setLogSink(LogSink sink)
{
    return s_logSink.exchange(sink);
}

void writeLog(const char* line)
{
    if (LogSink sink = s_logSink.load())
        sink(line);
    else
        syslog(LOG_ERR, "%s\n", line);
}

void setEventSourceFactory(EventSourceFactory factory)
{
    std::lock_guard<std::mutex> lock(s_factoryMutex);
    s_factory = std::move(factory);
}

EventRoute routeForAction(const std::string& action)
{
    if (action == "add")
        return { Route::Matched, 0 };
    if (action == "remove")
        return { Route::Interest, kIOMessageServiceIsTerminated };
    return { Route::None, 0 };
}

bool usbLocationId(unsigned busNumber, const std::string& portPath, UInt32* locationId)
{
    if (busNumber < 1 || busNumber > 255)
        return false;
    UInt32 id = UInt32(busNumber) << 24;
    if (portPath != "0") {
        // One nibble per hub level, from the root down. A port above 15 or a
        // level below the sixth does not fit; the device is still watched, with
        // the nibble saturated or the level left out.
        int shift = 20;
        size_t start = 0;
        for (;;) {
            const size_t dot = portPath.find('.', start);
            unsigned port = 0;
            if (!parseDecimal(portPath.substr(start, dot - start), 3, &port) || port < 1 || port > 255)
                return false;
            if (shift >= 0)
                id |= UInt32(std::min(port, 15u)) << shift;
            shift -= 4;
            if (dot == std::string::npos)
                break;
            start = dot + 1;
        }
    }
    *locationId = id;
    return true;
}

kern_return_t masterPort(mach_port_t, mach_port_t* port)
{
    if (!port)
        return kIOReturnBadArgument;
    *port = kMasterPort;
    return KERN_SUCCESS;
}

IONotificationPortRef notificationPortCreate(mach_port_t master)
{
    if (master != kMasterPort)
        return nullptr;
    std::unique_ptr<PnpEventSource> source = makeEventSource();
    std::string error;
    if (!source || !source->open(&error)) {
        std::fprintf(stderr, "USB device events unavailable: %s\n", error.empty() ? "no event source" : error.c_str());
        return nullptr;
    }
    auto* port = new PnpNotificationPort;
    port->source = std::move(source);
    return port;
}

void notificationPortAttach(IONotificationPortRef port)
{
    if (!port || port->destroyed || port->notifier)
        return;
    port->notifier = new QSocketNotifier(port->source->descriptor(), QSocketNotifier::Read);
    QObject::connect(port->notifier, &QSocketNotifier::activated, port->notifier, [port]() { dispatch(port); });
}

void notificationPortDetach(IONotificationPortRef port)
{
    if (!port || !port->notifier)
        return;
    // Qt allows this from within the notifier's own activation.
    delete port->notifier;
    port->notifier = nullptr;
}

void notificationPortDestroy(IONotificationPortRef port)
{
    if (!port || port->destroyed)
        return;
    notificationPortDetach(port);
    while (!port->registrations.empty())
        cancel(port->registrations.back());
    port->destroyed = true;
    if (port->dispatchDepth == 0)
        delete port;
}

CFMutableDictionaryRef dictionaryCreate()
{
    return new PnpDictionary;
}

void dictionarySetValue(CFMutableDictionaryRef dictionary, const std::string& key, const std::string& value)
{
    if (dictionary)
        dictionary->values[key] = value;
}

std::string dictionaryValue(CFMutableDictionaryRef dictionary, const std::string& key)
{
    if (!dictionary)
        return {};
    const auto found = dictionary->values.find(key);
    return found == dictionary->values.end() ? std::string() : found->second;
}

void retain(CFMutableDictionaryRef dictionary)
{
    if (dictionary)
        ++dictionary->references;
}

void release(CFMutableDictionaryRef dictionary)
{
    if (dictionary && --dictionary->references == 0)
        delete dictionary;
}

CFMutableDictionaryRef serviceMatching(const char* className)
{
    CFMutableDictionaryRef dictionary = dictionaryCreate();
    dictionarySetValue(dictionary, kIOProviderClassKey, className ? className : "");
    return dictionary;
}

kern_return_t addMatchingNotification(IONotificationPortRef port, const char* notificationType,
    CFMutableDictionaryRef matching, IOServiceMatchingCallback callback, void* refcon, io_iterator_t* iterator)
{
    const bool usb = dictionaryValue(matching, kIOProviderClassKey) == kIOUSBDeviceClassName;
    const bool valid = matching != nullptr;
    release(matching);
    if (!port || port->destroyed || !valid || !callback || !iterator || !notificationType)
        return kIOReturnBadArgument;
    if (std::strcmp(notificationType, kIOMatchedNotification) != 0)
        return kIOReturnUnsupported;
    auto* notification = new PnpIterator;
    notification->callback = callback;
    notification->refcon = refcon;
    notification->matchesUsb = usb;
    // The port already listens, so a device cannot slip between this list and the first event.
    if (usb)
        notification->devices = port->source->present();
    enroll(port, notification);
    *iterator = notification;
    return KERN_SUCCESS;
}

kern_return_t addInterestNotification(IONotificationPortRef port, io_service_t service, const char* interestType,
    IOServiceInterestCallback callback, void* refcon, io_object_t* notification)
{
    auto* watched = dynamic_cast<PnpService*>(service);
    if (!port || port->destroyed || !watched || !callback || !notification || !interestType)
        return kIOReturnBadArgument;
    if (std::strcmp(interestType, kIOGeneralInterest) != 0)
        return kIOReturnUnsupported;
    auto* interest = new PnpInterest;
    interest->callback = callback;
    interest->refcon = refcon;
    interest->service = watched;
    ++watched->references;
    enroll(port, interest);
    *notification = interest;
    return KERN_SUCCESS;
}

bool notificationWatches(io_object_t notification, io_service_t service)
{
    const auto* interest = dynamic_cast<const PnpInterest*>(notification);
    return interest && service && interest->service == service;
}

io_service_t iteratorNext(io_iterator_t iterator)
{
    auto* matching = dynamic_cast<PnpIterator*>(iterator);
    if (!matching || !matching->port || matching->next >= matching->devices.size())
        return nullptr;
    return new PnpService(matching->devices[matching->next++]);
}

void iteratorReset(io_iterator_t iterator)
{
    if (auto* matching = dynamic_cast<PnpIterator*>(iterator))
        matching->next = 0;
}

kern_return_t objectRelease(io_object_t object)
{
    if (!object)
        return kIOReturnBadArgument;
    if (auto* notification = dynamic_cast<PnpNotification*>(object))
        cancel(notification);
    unreference(object);
    return KERN_SUCCESS;
}

kern_return_t registryEntryName(io_service_t service, std::string* name)
{
    const auto* device = dynamic_cast<const PnpService*>(service);
    if (!device || !name)
        return kIOReturnBadArgument;
    const auto product = device->info.attributes.find("product");
    if (product != device->info.attributes.end() && !product->second.empty())
        *name = product->second;
    else
        *name = device->info.sysname;
    return KERN_SUCCESS;
}

IOReturn createPlugInInterface(io_service_t service, IOCFPlugInInterface** plugIn)
{
    const auto* device = dynamic_cast<const PnpService*>(service);
    if (!device || !plugIn)
        return kIOReturnBadArgument;
    const auto& attributes = device->info.attributes;
    const auto bus = attributes.find("busnum");
    const auto path = attributes.find("devpath");
    if (bus == attributes.end() || path == attributes.end())
        return kIOReturnNotFound;
    *plugIn = new IOCFPlugInInterface { bus->second, path->second };
    return kIOReturnSuccess;
}

void plugInRelease(IOCFPlugInInterface* plugIn)
{
    delete plugIn;
}

IOReturn queryDeviceInterface(IOCFPlugInInterface* plugIn, IOUSBDeviceInterface** device)
{
    if (!plugIn || !device)
        return kIOReturnBadArgument;
    // sysfs writes the bus number as a decimal with a line end, which udev strips.
    unsigned bus = 0;
    if (!parseDecimal(plugIn->busNumber, 3, &bus))
        return kIOReturnBadArgument;
    *device = new IOUSBDeviceInterface { bus, plugIn->portPath };
    return kIOReturnSuccess;
}

void deviceRelease(IOUSBDeviceInterface* device)
{
    delete device;
}

IOReturn deviceGetLocationId(IOUSBDeviceInterface* device, UInt32* locationId)
{
    if (!device || !locationId)
        return kIOReturnBadArgument;
    return usbLocationId(device->busNumber, device->portPath, locationId) ? kIOReturnSuccess : kIOReturnBadArgument;
}

} // namespace pnpkit
