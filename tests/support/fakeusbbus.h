#pragma once

// A stand-in USB bus for notifier tests. Each event source it makes reads
// its events from its own pipe, so events travel the same path as udev's:
// a readable descriptor, a QSocketNotifier on the installing thread, then
// the port's dispatch. plug() and unplug() may be called from any thread.

#include "device/linux/pnpkit.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

class FakeUsbBus
{
public:
    FakeUsbBus() = default;
    FakeUsbBus(const FakeUsbBus&) = delete;
    FakeUsbBus& operator=(const FakeUsbBus&) = delete;
    ~FakeUsbBus() { pnpkit::setEventSourceFactory({}); }

    // A USB device; an empty busnum or devpath leaves that attribute out.
    static PnpDeviceInfo device(const std::string& sysname, const std::string& busnum, const std::string& devpath,
        const std::string& product = std::string())
    {
        PnpDeviceInfo info;
        info.syspath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + sysname;
        info.sysname = sysname;
        if (!busnum.empty())
            info.attributes["busnum"] = busnum;
        if (!devpath.empty())
            info.attributes["devpath"] = devpath;
        if (!product.empty())
            info.attributes["product"] = product;
        return info;
    }

    // Makes this bus the source of every notification port created from now on.
    void attach()
    {
        pnpkit::setEventSourceFactory(
            [this]() -> std::unique_ptr<PnpEventSource> { return std::make_unique<Source>(this); });
    }

    void setPresent(std::vector<PnpDeviceInfo> devices)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_present = std::move(devices);
    }

    void setOpenFails(bool fails)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openFails = fails;
    }

    void plug(const PnpDeviceInfo& device) { send("add", device); }
    void unplug(const PnpDeviceInfo& device) { send("remove", device); }

    // Writes several events at once, so that one wake-up sees them all.
    void send(const std::vector<std::pair<std::string, PnpDeviceInfo>>& events)
    {
        std::string text;
        for (const auto& event : events)
            text += line(event.first, event.second);
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_writers) {
            const ssize_t written = ::write(fd, text.data(), text.size());
            (void)written; // a pipe takes a few hundred bytes whole
        }
    }
    void send(const std::string& action, const PnpDeviceInfo& device) { send({ { action, device } }); }

    // Event sources alive now (a port owns one from creation to destruction).
    int openSources() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_writers.size());
    }

private:
    // "action \t syspath \t sysname { \t key=value } \n"; the tests use no tabs or line ends in values.
    static std::string line(const std::string& action, const PnpDeviceInfo& device)
    {
        std::string text = action + '\t' + device.syspath + '\t' + device.sysname;
        // A removed device has no attributes left to read.
        if (action != "remove") {
            for (const auto& attribute : device.attributes)
                text += '\t' + attribute.first + '=' + attribute.second;
        }
        return text + '\n';
    }

    class Source final : public PnpEventSource
    {
    public:
        explicit Source(FakeUsbBus* bus)
            : m_bus(bus)
        { }
        ~Source() override
        {
            if (m_fds[1] >= 0) {
                std::lock_guard<std::mutex> lock(m_bus->m_mutex);
                auto& writers = m_bus->m_writers;
                writers.erase(std::remove(writers.begin(), writers.end(), m_fds[1]), writers.end());
                ::close(m_fds[1]);
            }
            if (m_fds[0] >= 0)
                ::close(m_fds[0]);
        }

        bool open(std::string* error) override
        {
            std::lock_guard<std::mutex> lock(m_bus->m_mutex);
            if (m_bus->m_openFails) {
                *error = "fake bus refuses";
                return false;
            }
            if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0) {
                *error = "pipe2 failed";
                return false;
            }
            m_bus->m_writers.push_back(m_fds[1]);
            return true;
        }

        int descriptor() const override { return m_fds[0]; }

        bool receive(PnpEvent* event) override
        {
            char chunk[512];
            ssize_t got;
            while ((got = ::read(m_fds[0], chunk, sizeof chunk)) > 0)
                m_pending.append(chunk, size_t(got));
            const size_t end = m_pending.find('\n');
            if (end == std::string::npos)
                return false;
            std::vector<std::string> fields;
            size_t start = 0;
            for (;;) {
                const size_t tab = m_pending.find('\t', start);
                if (tab == std::string::npos || tab > end) {
                    fields.push_back(m_pending.substr(start, end - start));
                    break;
                }
                fields.push_back(m_pending.substr(start, tab - start));
                start = tab + 1;
            }
            m_pending.erase(0, end + 1);
            *event = PnpEvent();
            event->action = fields.at(0);
            event->device.syspath = fields.size() > 1 ? fields[1] : std::string();
            event->device.sysname = fields.size() > 2 ? fields[2] : std::string();
            for (size_t i = 3; i < fields.size(); ++i) {
                const size_t equals = fields[i].find('=');
                event->device.attributes[fields[i].substr(0, equals)] = fields[i].substr(equals + 1);
            }
            return true;
        }

        std::vector<PnpDeviceInfo> present() override
        {
            std::lock_guard<std::mutex> lock(m_bus->m_mutex);
            return m_bus->m_present;
        }

    private:
        FakeUsbBus* m_bus;
        int m_fds[2] = { -1, -1 };
        std::string m_pending;
    };

    mutable std::mutex m_mutex;
    std::vector<PnpDeviceInfo> m_present;
    std::vector<int> m_writers; // write ends of the open sources' pipes
    bool m_openFails = false;
};
