#pragma once

// The device layer under the USB notifier (pnpnotifier.h): notification ports
// that read USB device events through a QSocketNotifier on the thread that
// attaches them, matching notifications that deliver arriving devices
// through an iterator, interest notifications that report a watched
// device's removal, the USB location ID, and the notifier's log line sink.
// The platform's implementation is chosen in CMake: linux/pnpkit.cpp, over
// libudev, whose header linux/pnpkit.h adds where the events come from.
//
// Everything here, callbacks included, runs on the thread that attached the
// port; nothing is locked except the process-wide hooks (the log sink, and
// the event source factory of linux/pnpkit.h).

#include "device/pnptypes.h"

#include <string>

namespace pnpkit {

// ---- Log lines

// Receives every notifier log line (no line end). The default writes
// syslog(LOG_ERR, "%s\n", line).
using LogSink = void (*)(const char* line);

// Installs a sink (nullptr restores syslog) and returns the one it replaced.
LogSink setLogSink(LogSink sink);
void writeLog(const char* line);

// ---- Ports

// The handle the notification ports are made from; there is one event layer
// per process, so this always succeeds.
kern_return_t masterPort(mach_port_t bootstrapPort, mach_port_t* port);

// Creates a port over a new event source and opens the source. Null when no
// event stream can be made (on Linux, no udev monitor): the reason goes to
// standard error.
IONotificationPortRef notificationPortCreate(mach_port_t masterPort);

// Starts reading the port's events on the calling thread's event loop, which
// must be a Qt event loop (the main thread or a QThread). Callbacks then run
// on that thread.
void notificationPortAttach(IONotificationPortRef port);

// Stops reading events; call it on the attaching thread.
void notificationPortDetach(IONotificationPortRef port);

// Detaches and frees the port. Its notifications stop at once and deliver
// nothing more; their handles stay valid until released. Safe to call from
// one of the port's own callbacks.
void notificationPortDestroy(IONotificationPortRef port);

// ---- Matching dictionaries (reference-counted, created with one reference)

CFMutableDictionaryRef dictionaryCreate();
void dictionarySetValue(CFMutableDictionaryRef dictionary, const std::string& key, const std::string& value);
std::string dictionaryValue(CFMutableDictionaryRef dictionary, const std::string& key);
void retain(CFMutableDictionaryRef dictionary);
void release(CFMutableDictionaryRef dictionary);

// A dictionary whose provider class is className. kIOUSBDeviceClassName
// matches every USB device; any other class matches nothing.
CFMutableDictionaryRef serviceMatching(const char* className);

// ---- Notifications

// Registers for the arrival of services that match the dictionary (consumes
// one reference to it, also on failure). *iterator holds the matching
// services present now; each later arrival is added to it and the callback
// is called with it. notificationType must be kIOMatchedNotification.
kern_return_t addMatchingNotification(IONotificationPortRef port, const char* notificationType,
    CFMutableDictionaryRef matching, IOServiceMatchingCallback callback, void* refcon, io_iterator_t* iterator);

// Watches one service: its removal calls the callback once with
// kIOMessageServiceIsTerminated, after which the notification is spent.
// interestType must be kIOGeneralInterest.
kern_return_t addInterestNotification(IONotificationPortRef port, io_service_t service, const char* interestType,
    IOServiceInterestCallback callback, void* refcon, io_object_t* notification);

// True when notification is an interest notification on this service.
bool notificationWatches(io_object_t notification, io_service_t service);

// The next service of the iterator (the caller releases it), or null. A
// released or cancelled iterator yields nothing.
io_service_t iteratorNext(io_iterator_t iterator);

// Starts the iterator again at the first service of its current delivery.
void iteratorReset(io_iterator_t iterator);

// Drops one reference. Releasing a notification (iterator or interest
// notification) also cancels it.
kern_return_t objectRelease(io_object_t object);

// ---- Services

// The device's name: its "product" attribute, else its sysfs name.
kern_return_t registryEntryName(io_service_t service, std::string* name);

// Reads the USB attributes (bus number and port path). kIOReturnNotFound
// when the device has either missing.
IOReturn createPlugInInterface(io_service_t service, IOCFPlugInInterface** plugIn);
void plugInRelease(IOCFPlugInInterface* plugIn);

// The device interface: kIOReturnBadArgument when the bus number is not a
// number.
IOReturn queryDeviceInterface(IOCFPlugInInterface* plugIn, IOUSBDeviceInterface** device);
void deviceRelease(IOUSBDeviceInterface* device);

// kIOReturnBadArgument when usbLocationId() cannot form the ID.
IOReturn deviceGetLocationId(IOUSBDeviceInterface* device, UInt32* locationId);

} // namespace pnpkit
