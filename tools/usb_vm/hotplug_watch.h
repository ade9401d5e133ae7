#pragma once

#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "link/platform/hotplug_monitor.h"
#include "link/platform/linux/udev_hotplug_monitor.h"
#include "link/platform/linux/unique_fd.h"

namespace vantorel::usb_vm {

// The station's hot-plug monitor, watched on a thread of its own: every arrival and removal
// of a download interface while the probe runs, in order.
class HotplugWatch {
public:
    HotplugWatch() = default;
    ~HotplugWatch();

    HotplugWatch(const HotplugWatch&) = delete;
    HotplugWatch& operator=(const HotplugWatch&) = delete;

    // False with a message when the monitor cannot start.
    bool Start(std::string& error);
    // "udev" or "kernel": which events the monitor listens to.
    std::string Source() const;
    std::vector<link::DeviceEvent> Events() const;

    // True when `devicePath` left and later arrived again (bArrivalToo), or just left.
    bool SawDeparture(const std::string& devicePath, bool bArrivalToo) const;

private:
    void Run(std::stop_token stop);

    link::linux_platform::UdevHotplugMonitor m_monitor;
    link::linux_platform::UniqueFd m_wake;
    mutable std::mutex m_mutex;
    std::vector<link::DeviceEvent> m_events;
    std::jthread m_thread;  // last: it runs on everything above
};

}  // namespace vantorel::usb_vm
