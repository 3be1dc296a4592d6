#pragma once

// The Linux half of the device layer under the USB notifier (device/pnpkit.h),
// over libudev: where the notification ports take their USB device events
// from, and the pure mappings from udev's actions and attributes.

#include "device/linux/pnpeventsource.h"
#include "device/pnpkit.h"

#include <functional>
#include <memory>
#include <string>

namespace pnpkit {

// ---- Event sources

using EventSourceFactory = std::function<std::unique_ptr<PnpEventSource>()>;

// The factory each new notification port takes its event source from. An
// empty factory restores udev. Set it before creating ports.
void setEventSourceFactory(EventSourceFactory factory);

// ---- Pure mappings

enum class Route
{
    None, // nobody is told
    Matched, // an arrival: matching notifications get the device
    Interest // interest notifications watching the device get `message`
};

struct EventRoute
{
    Route route;
    natural_t message; // for Route::Interest
};

// Where a udev action goes: "add" to the matching notifications, "remove"
// to the device's interest notifications as kIOMessageServiceIsTerminated,
// every other action ("change", "bind", "unbind", "online", ...) nowhere.
EventRoute routeForAction(const std::string& action);

// The location ID of a USB device: the bus number in the top byte, then one
// nibble per port from the root hub down ("1.4.2" on bus 2 gives 0x02142000;
// a root hub, port path "0", has only the bus). A port above 15 does not fit
// its nibble and reads 15; levels below the sixth are left out. False when
// the bus is not 1..255, or the path is not "0" or ports of 1..255 joined by
// dots.
bool usbLocationId(unsigned busNumber, const std::string& portPath, UInt32* locationId);

} // namespace pnpkit
