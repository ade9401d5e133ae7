#include "link/platform/linux/udev_hotplug_monitor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "link/platform/device_path.h"
#include "link/platform/linux/download_ids.h"
#include "link/platform/linux/download_match.h"

namespace vantorel::link::linux_platform {

namespace {

bool UdevDaemonRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

// PRODUCT is "vid/pid/bcd" in hexadecimal without leading zeros.
std::optional<std::string> PathFromProduct(const char* product, const char* sysname) {
    unsigned vendor = 0;
    unsigned productId = 0;
    if (product == nullptr || sysname == nullptr ||
        std::sscanf(product, "%x/%x/", &vendor, &productId) != 2 || vendor > 0xFFFF ||
        productId > 0xFFFF) {
        return std::nullopt;
    }
    if (!IsDownloadId(static_cast<uint16_t>(vendor), static_cast<uint16_t>(productId))) {
        return std::nullopt;
    }
    return MakeDevicePath(static_cast<uint16_t>(vendor), static_cast<uint16_t>(productId), sysname);
}

}  // namespace

bool UdevHotplugMonitor::Start(int& errorCode) {
    errorCode = 0;
    m_udev.reset(udev_new());
    if (!m_udev) {
        errorCode = errno != 0 ? errno : ENOMEM;
        return false;
    }
    m_source = UdevDaemonRuns() ? "udev" : "kernel";
    m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), m_source));
    if (!m_monitor) {
        errorCode = errno != 0 ? errno : EPROTONOSUPPORT;
        return false;
    }
    const int filtered =
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "usb", "usb_device");
    const int enabled = filtered < 0 ? filtered : udev_monitor_enable_receiving(m_monitor.get());
    if (enabled < 0) {
        errorCode = -enabled;
        m_monitor.reset();
        return false;
    }
    return true;
}

int UdevHotplugMonitor::NotificationFd() const {
    return m_monitor ? udev_monitor_get_fd(m_monitor.get()) : -1;
}

std::vector<DeviceEvent> UdevHotplugMonitor::TakeEvents() {
    std::vector<DeviceEvent> events;
    if (!m_monitor) {
        return events;
    }
    // The monitor's socket is non-blocking: receive until it is empty.
    while (const UdevDevicePtr device{udev_monitor_receive_device(m_monitor.get())}) {
        auto event =
            Translate(udev_device_get_action(device.get()), udev_device_get_syspath(device.get()),
                      udev_device_get_sysname(device.get()), udev_device_get_devtype(device.get()),
                      udev_device_get_sysattr_value(device.get(), "idVendor"),
                      udev_device_get_sysattr_value(device.get(), "idProduct"),
                      udev_device_get_property_value(device.get(), "PRODUCT"),
                      udev_device_get_property_value(device.get(), "VANTOREL_DOWNLOAD"));
        if (event) {
            events.push_back(std::move(*event));
        }
    }
    return events;
}

std::optional<DeviceEvent> UdevHotplugMonitor::Translate(const char* action, const char* syspath,
                                                         const char* sysname, const char* devtype,
                                                         const char* idVendor,
                                                         const char* idProduct, const char* product,
                                                         const char* downloadTag) {
    if (action == nullptr || syspath == nullptr || devtype == nullptr ||
        std::strcmp(devtype, "usb_device") != 0) {
        return std::nullopt;
    }
    if (std::strcmp(action, "add") == 0) {
        auto path = DownloadInterfacePath(idVendor, idProduct, downloadTag, sysname);
        if (!path) {
            path = PathFromProduct(product, sysname);
        }
        if (!path) {
            return std::nullopt;
        }
        m_arrived[syspath] = *path;
        return DeviceEvent{DeviceEventKind::Arrival, *path};
    }
    if (std::strcmp(action, "remove") == 0) {
        std::optional<std::string> path;
        if (const auto known = m_arrived.find(syspath); known != m_arrived.end()) {
            path = known->second;
            m_arrived.erase(known);
        } else {
            path = PathFromProduct(product, sysname);
        }
        if (!path) {
            return std::nullopt;
        }
        return DeviceEvent{DeviceEventKind::Removal, *path};
    }
    return std::nullopt;
}

}  // namespace vantorel::link::linux_platform
