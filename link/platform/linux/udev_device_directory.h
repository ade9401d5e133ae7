#pragma once

#include "link/platform/device_directory.h"

namespace vantorel::link::linux_platform {

// The present download-mode handsets on USB as libudev sees them: USB devices whose ids are
// in the station's table, or that udev tagged VANTOREL_DOWNLOAD=1. Each is listed under the
// path MakeDevicePath gives for its ids and port path, in port order. Safe to call from
// several threads: every call has its own libudev context.
class UdevDeviceDirectory final : public DeviceDirectory {
public:
    std::optional<std::vector<std::string>> ListPresent(const Guid& interfaceClass) override;
};

}  // namespace vantorel::link::linux_platform
