#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/platform/hotplug_monitor.h"
#include "link/platform/linux/udev_handles.h"

namespace vantorel::link::linux_platform {

// Arrivals and removals of download interfaces from a udev monitor. Where no udev daemon
// runs (containers, minimal systems) it listens to the kernel's own uevents instead.
class UdevHotplugMonitor final : public HotplugMonitor {
public:
    bool Start(int& errorCode) override;
    int NotificationFd() const override;
    std::vector<DeviceEvent> TakeEvents() override;

    // Which source it listens to after Start: "udev" or "kernel".
    const char* Source() const { return m_source; }

    // The event, if any, that one uevent of a USB device makes. Removals carry no sysfs
    // attributes any more: the ids come from PRODUCT, and a device tagged only by udev is
    // recognised by the path its arrival reported.
    std::optional<DeviceEvent> Translate(const char* action, const char* syspath,
                                         const char* sysname, const char* devtype,
                                         const char* idVendor, const char* idProduct,
                                         const char* product, const char* downloadTag);

private:
    UdevPtr m_udev;
    UdevMonitorPtr m_monitor;
    const char* m_source = "";
    std::map<std::string, std::string> m_arrived;  // syspath -> device path
};

}  // namespace vantorel::link::linux_platform
