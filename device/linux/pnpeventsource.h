#pragma once

// Where the device layer gets USB device events from. The notification port
// owns one source, opens it once, lists the devices present through it and
// reads its events whenever its descriptor becomes readable on the thread
// that attached the port. udev is the real source (pnp_udev.h); tests put
// their own in its place with pnpkit::setEventSourceFactory().

#include <map>
#include <memory>
#include <string>
#include <vector>

// One USB device (udev devtype "usb_device").
struct PnpDeviceInfo
{
    std::string syspath; // sysfs path: the device's identity while it is plugged in
    std::string sysname; // "1-1.4"
    // The sysfs attributes the notifier reads: "product" (its name), "busnum"
    // (decimal bus number) and "devpath" (port path, "1.4.2"; "0" for a root
    // hub). An attribute the device does not have is absent.
    std::map<std::string, std::string> attributes;
};

struct PnpEvent
{
    std::string action; // "add", "remove", "change", "bind", "unbind", ...
    PnpDeviceInfo device; // attributes are read for "add" only
};

class PnpEventSource
{
public:
    virtual ~PnpEventSource() = default;

    // Starts receiving USB device events. False, with a reason in *error,
    // when no event stream can be made; the source is then not used again.
    virtual bool open(std::string* error) = 0;

    // Readable while events are waiting. Valid after a successful open().
    virtual int descriptor() const = 0;

    // Takes one waiting event without blocking; false when none is waiting.
    virtual bool receive(PnpEvent* event) = 0;

    // The USB devices present now.
    virtual std::vector<PnpDeviceInfo> present() = 0;
};
