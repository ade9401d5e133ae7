#pragma once

#include <string>
#include <vector>

namespace vantorel::link {

enum class DeviceEventKind { Arrival, Removal };

struct DeviceEvent {
    DeviceEventKind kind;
    std::string devicePath;  // exactly the path a link records for the device
    friend bool operator==(const DeviceEvent&, const DeviceEvent&) = default;
};

// Arrivals and removals of download interfaces. The console watches the descriptor on its
// own thread and takes the events when it turns readable.
class HotplugMonitor {
public:
    virtual ~HotplugMonitor() = default;

    // Registers for notifications; false with a system error code when that fails.
    virtual bool Start(int& errorCode) = 0;
    // Readable while events are waiting; -1 before Start.
    virtual int NotificationFd() const = 0;
    // Every event waiting, in the order they happened.
    virtual std::vector<DeviceEvent> TakeEvents() = 0;
};

}  // namespace vantorel::link
