#pragma once

#include <libusb.h>

#include <memory>
#include <span>

namespace vantorel::link::linux_platform {

// A libusb session, shared by an opener and every device it opened, so that it ends only
// after the last device handle is closed. Empty when libusb could not initialise.
std::shared_ptr<libusb_context> MakeLibusbContext();

struct LibusbRelease {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};

using LibusbHandlePtr = std::unique_ptr<libusb_device_handle, LibusbRelease>;
using LibusbConfigPtr = std::unique_ptr<libusb_config_descriptor, LibusbRelease>;

// The devices present when it was made; empty when the list could not be had.
class LibusbDeviceList {
public:
    explicit LibusbDeviceList(libusb_context* context);
    ~LibusbDeviceList();
    LibusbDeviceList(const LibusbDeviceList&) = delete;
    LibusbDeviceList& operator=(const LibusbDeviceList&) = delete;

    // False when libusb could not list the devices.
    explicit operator bool() const { return m_list != nullptr; }
    std::span<libusb_device* const> Devices() const { return {m_list, m_count}; }

private:
    libusb_device** m_list = nullptr;
    size_t m_count = 0;
};

}  // namespace vantorel::link::linux_platform
