#pragma once

// The udev event source: a netlink monitor for subsystem "usb", devtype
// "usb_device", and a sysfs enumeration for the devices present.

#include "device/linux/pnpeventsource.h"

#include <memory>
#include <string>

// With a udev daemon running the monitor listens to its events (sent after
// the daemon has handled the device); without one it listens to the
// kernel's own events instead, since the daemon's would never come. The
// daemon runs while its control socket, controlPath, exists.
std::unique_ptr<PnpEventSource> createUdevEventSource(const std::string& controlPath = "/run/udev/control");
