#include "link/platform/emulated/emulated_hotplug_monitor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vantorel::link::emulated {

EmulatedHotplugMonitor::EmulatedHotplugMonitor(EmulatedBus& bus) : m_bus(bus) {}

EmulatedHotplugMonitor::~EmulatedHotplugMonitor() {
    m_bus.SetDeviceEventHandler(nullptr);
    if (m_eventFd >= 0) {
        ::close(m_eventFd);
    }
}

bool EmulatedHotplugMonitor::Start(int& errorCode) {
    if (m_eventFd < 0) {
        m_eventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (m_eventFd < 0) {
            errorCode = errno;
            return false;
        }
    }
    m_bus.SetDeviceEventHandler(
        [this](DeviceEventKind kind, const std::string& devicePath) { Post(kind, devicePath); });
    errorCode = 0;
    return true;
}

void EmulatedHotplugMonitor::Post(DeviceEventKind kind, const std::string& devicePath) {
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back({kind, devicePath});
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_eventFd, &one, sizeof one);
}

std::vector<DeviceEvent> EmulatedHotplugMonitor::TakeEvents() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_eventFd, &count, sizeof count);
    std::lock_guard lock(m_mutex);
    std::vector<DeviceEvent> events;
    events.swap(m_pending);
    return events;
}

}  // namespace vantorel::link::emulated
