#include "link/platform/linux/libusb_bulk_opener.h"

#include <array>

#include "link/platform/device_path.h"
#include "link/platform/linux/libusb_bulk_device.h"
#include "link/platform/linux/libusb_error_report.h"
#include "link/platform/linux/libusb_handles.h"
#include "link/platform/usb_port_location.h"

namespace vantorel::link::linux_platform {

namespace {

std::optional<UsbPortLocation> LocationOf(libusb_device* device) {
    std::array<uint8_t, kMaxPortDepth> ports{};
    const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
    if (depth <= 0) {
        return std::nullopt;  // a root hub, or no answer
    }
    return UsbPortLocation{libusb_get_bus_number(device),
                           std::vector<uint8_t>(ports.begin(), ports.begin() + depth)};
}

}  // namespace

LibusbBulkOpener::LibusbBulkOpener()
    : m_context(MakeLibusbContext()), m_held(std::make_shared<HeldPaths>()) {}

std::shared_ptr<BulkDevice> LibusbBulkOpener::Open(const std::string& path) {
    if (!m_context) {
        return nullptr;
    }
    const auto portPath = PortPathOf(path);
    const auto location = portPath ? ParsePortPath(*portPath) : std::nullopt;
    if (!location) {
        return nullptr;
    }
    // Held by port, not by text: one device has one port, whatever ids a path spells.
    auto claim = m_held->TryHold(FormatPortPath(*location));
    if (!claim) {
        return nullptr;
    }
    // Where no udev daemon runs, a libusb session never learns of a device that arrived after
    // it started (a handset back from its reboot) nor of one that left, so every open lists
    // the devices in a fresh session, which the opened device keeps.
    auto session = MakeLibusbContext();
    if (!session) {
        return nullptr;
    }
    const LibusbDeviceList list(session.get());
    for (libusb_device* device : list.Devices()) {
        if (LocationOf(device) != location) {
            continue;
        }
        libusb_device_handle* handle = nullptr;
        if (const int result = libusb_open(device, &handle); result != LIBUSB_SUCCESS) {
            ReportLibusbError("open", FormatPortPath(*location), result);
            return nullptr;
        }
        LibusbHandlePtr opened(handle);
        return std::make_shared<LibusbBulkDevice>(std::move(session), std::move(claim),
                                                  std::move(opened));
    }
    return nullptr;
}

}  // namespace vantorel::link::linux_platform
