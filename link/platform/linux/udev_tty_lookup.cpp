#include "link/platform/linux/udev_tty_lookup.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "link/platform/linux/udev_handles.h"

namespace vantorel::link::linux_platform {

std::optional<std::string> FindTtyNodeOfUsbPort(std::string_view portPath) {
    const UdevScan scan = ScanSubsystem("tty");
    if (!scan) {
        return std::nullopt;
    }
    std::vector<std::pair<std::string, std::string>> nodes;  // syspath, device node
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, scan.First()) {
        const UdevDevicePtr tty(
            udev_device_new_from_syspath(scan.context.get(), udev_list_entry_get_name(entry)));
        if (!tty) {
            continue;
        }
        // The parent is owned by the child device and goes with it.
        udev_device* usbDevice =
            udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
        const char* node = udev_device_get_devnode(tty.get());
        if (usbDevice == nullptr || node == nullptr) {
            continue;
        }
        const char* sysname = udev_device_get_sysname(usbDevice);
        if (sysname != nullptr && portPath == sysname) {
            nodes.emplace_back(udev_device_get_syspath(tty.get()), node);
        }
    }
    if (nodes.empty()) {
        return std::nullopt;
    }
    return std::min_element(nodes.begin(), nodes.end())->second;
}

}  // namespace vantorel::link::linux_platform
