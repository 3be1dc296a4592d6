#include "device/linux/pnp_udev.h"

#include <cerrno>
#include <cstring>

#include <libudev.h>
#include <unistd.h>

namespace {

struct UdevDeleter
{
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }
    void operator()(udev_enumerate* enumerate) const { udev_enumerate_unref(enumerate); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

template<typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

const char* const kSubsystem = "usb";
const char* const kDevtype = "usb_device";
const char* const kAttributes[] = { "product", "busnum", "devpath" };

std::string text(const char* value)
{
    return value ? std::string(value) : std::string();
}

PnpDeviceInfo describe(udev_device* device, bool readAttributes)
{
    PnpDeviceInfo info;
    info.syspath = text(udev_device_get_syspath(device));
    info.sysname = text(udev_device_get_sysname(device));
    // A removed device is gone from sysfs: there is nothing left to read.
    if (readAttributes) {
        for (const char* name : kAttributes) {
            if (const char* value = udev_device_get_sysattr_value(device, name))
                info.attributes[name] = value;
        }
    }
    return info;
}

class UdevEventSource final : public PnpEventSource
{
public:
    explicit UdevEventSource(const std::string& controlPath)
        : m_controlPath(controlPath)
    { }

    bool open(std::string* error) override
    {
        m_context.reset(udev_new());
        if (!m_context) {
            *error = std::string("udev_new: ") + std::strerror(errno);
            return false;
        }
        // The daemon's control socket tells whether one runs.
        const char* stream = access(m_controlPath.c_str(), F_OK) == 0 ? "udev" : "kernel";
        m_monitor.reset(udev_monitor_new_from_netlink(m_context.get(), stream));
        if (!m_monitor) {
            *error = std::string("no ") + stream + " netlink monitor: " + std::strerror(errno);
            return false;
        }
        int result = udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), kSubsystem, kDevtype);
        if (result >= 0)
            result = udev_monitor_enable_receiving(m_monitor.get());
        if (result < 0) {
            *error = std::string("cannot listen to the ") + stream + " netlink monitor: " + std::strerror(-result);
            m_monitor.reset();
            return false;
        }
        return true;
    }

    int descriptor() const override { return m_monitor ? udev_monitor_get_fd(m_monitor.get()) : -1; }

    bool receive(PnpEvent* event) override
    {
        if (!m_monitor)
            return false;
        // The monitor's socket does not block: null means nothing is waiting
        // (or a message was dropped; the descriptor then stays readable).
        UdevPtr<udev_device> device(udev_monitor_receive_device(m_monitor.get()));
        if (!device)
            return false;
        event->action = text(udev_device_get_action(device.get()));
        event->device = describe(device.get(), event->action != "remove");
        return true;
    }

    std::vector<PnpDeviceInfo> present() override
    {
        std::vector<PnpDeviceInfo> devices;
        if (!m_context)
            m_context.reset(udev_new());
        if (!m_context)
            return devices;
        UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(m_context.get()));
        if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), kSubsystem) < 0
            || udev_enumerate_add_match_property(enumerate.get(), "DEVTYPE", kDevtype) < 0
            || udev_enumerate_scan_devices(enumerate.get()) < 0)
            return devices;
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get()))
        {
            UdevPtr<udev_device> device(udev_device_new_from_syspath(m_context.get(), udev_list_entry_get_name(entry)));
            if (device)
                devices.push_back(describe(device.get(), true));
        }
        return devices;
    }

private:
    std::string m_controlPath;
    UdevPtr<udev> m_context;
    UdevPtr<udev_monitor> m_monitor;
};

} // namespace

std::unique_ptr<PnpEventSource> createUdevEventSource(const std::string& controlPath)
{
    return std::make_unique<UdevEventSource>(controlPath);
}
