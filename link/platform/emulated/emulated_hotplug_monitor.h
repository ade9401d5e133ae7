#pragma once

#include <mutex>
#include <vector>

#include "link/platform/emulated/emulated_bus.h"
#include "link/platform/hotplug_monitor.h"

namespace vantorel::link::emulated {

// Hands the bus's arrivals and removals, which happen on handset threads, to the console
// through an eventfd, the way a udev monitor hands over the kernel's.
class EmulatedHotplugMonitor final : public HotplugMonitor {
public:
    explicit EmulatedHotplugMonitor(EmulatedBus& bus);
    ~EmulatedHotplugMonitor() override;

    bool Start(int& errorCode) override;
    int NotificationFd() const override { return m_eventFd; }
    std::vector<DeviceEvent> TakeEvents() override;

private:
    void Post(DeviceEventKind kind, const std::string& devicePath);

    EmulatedBus& m_bus;
    int m_eventFd = -1;
    std::mutex m_mutex;
    std::vector<DeviceEvent> m_pending;
};

}  // namespace vantorel::link::emulated
