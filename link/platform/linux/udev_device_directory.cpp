#include "link/platform/linux/udev_device_directory.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "link/platform/device_path.h"
#include "link/platform/linux/download_match.h"
#include "link/platform/linux/udev_handles.h"

namespace vantorel::link::linux_platform {

std::optional<std::vector<std::string>> UdevDeviceDirectory::ListPresent(
    const Guid& interfaceClass) {
    if (interfaceClass != GUID_DEVINTERFACE_DOWNLOAD) {
        return std::vector<std::string>{};
    }
    const UdevScan scan = ScanSubsystem("usb");
    if (!scan) {
        return std::nullopt;
    }
    std::vector<std::pair<std::string, std::string>> present;  // port path, device path
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, scan.First()) {
        // A device that left between the scan and now is simply not listed.
        const UdevDevicePtr device(
            udev_device_new_from_syspath(scan.context.get(), udev_list_entry_get_name(entry)));
        if (!device) {
            continue;
        }
        const char* devtype = udev_device_get_devtype(device.get());
        if (devtype == nullptr || std::strcmp(devtype, "usb_device") != 0) {
            continue;  // its interfaces are listed too
        }
        const char* sysname = udev_device_get_sysname(device.get());
        auto path = DownloadInterfacePath(
            udev_device_get_sysattr_value(device.get(), "idVendor"),
            udev_device_get_sysattr_value(device.get(), "idProduct"),
            udev_device_get_property_value(device.get(), "VANTOREL_DOWNLOAD"), sysname);
        if (path) {
            present.emplace_back(sysname, std::move(*path));
        }
    }
    std::sort(present.begin(), present.end(), [](const auto& left, const auto& right) {
        return PortPathLess(left.first, right.first);
    });
    std::vector<std::string> paths;
    paths.reserve(present.size());
    for (auto& [port, path] : present) {
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace vantorel::link::linux_platform
