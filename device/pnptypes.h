#pragma once

// The handle and code types of the USB notifier. The notifier's code is
// written against these names; the handles are opaque here, and what they
// hold comes from the platform's device layer under pnpkit.h
// (linux/pnpkit.cpp, which stands on libudev).

#include <cstdint>
#include <string>

using kern_return_t = int32_t;
using IOReturn = kern_return_t;
using natural_t = uint32_t;
using mach_port_t = uint32_t;
using UInt32 = uint32_t;
using SInt32 = int32_t;

// Reference-counted objects of the device layer: services (one USB device),
// iterators (the devices a matching notification delivers) and interest
// notifications. Released with pnpkit::objectRelease().
struct PnpObject;
using io_object_t = PnpObject*;
using io_iterator_t = io_object_t;
using io_service_t = io_object_t;

// A notification port: the device event stream and its registrations.
struct PnpNotificationPort;
using IONotificationPortRef = PnpNotificationPort*;

// A reference-counted key/value record that says which devices to match.
struct PnpDictionary;
using CFMutableDictionaryRef = PnpDictionary*;

// Text is held by value; the empty text stands for "no string".
using CFStringRef = std::string;

// The raw USB attributes of one device (bus number and port path, as text),
// and the device interface made from them that yields the location ID.
struct IOCFPlugInInterface;
struct IOUSBDeviceInterface;

using IOServiceMatchingCallback = void (*)(void* refcon, io_iterator_t iterator);
using IOServiceInterestCallback
    = void (*)(void* refcon, io_service_t service, natural_t messageType, void* messageArgument);

constexpr mach_port_t MACH_PORT_NULL = 0;

constexpr kern_return_t KERN_SUCCESS = 0;
constexpr IOReturn kIOReturnSuccess = KERN_SUCCESS;
constexpr IOReturn kIOReturnError = IOReturn(0xE00002BC);
constexpr IOReturn kIOReturnNoMemory = IOReturn(0xE00002BD);
constexpr IOReturn kIOReturnNoDevice = IOReturn(0xE00002C0);
constexpr IOReturn kIOReturnBadArgument = IOReturn(0xE00002C2);
constexpr IOReturn kIOReturnUnsupported = IOReturn(0xE00002C7);
constexpr IOReturn kIOReturnNotFound = IOReturn(0xE00002F0);

// Interest messages.
constexpr natural_t kIOMessageServiceIsTerminated = 0xE0000010;
constexpr natural_t kIOMessageServiceIsAttemptingOpen = 0xE0000101;

// Notification kinds and matching keys.
constexpr const char* kIOMatchedNotification = "IOServiceMatched";
constexpr const char* kIOGeneralInterest = "IOGeneralInterest";
constexpr const char* kIOProviderClassKey = "IOProviderClass";
constexpr const char* kIOUSBDeviceClassName = "IOUSBDevice";
