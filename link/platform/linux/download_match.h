#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantorel::link::linux_platform {

// A USB id as udev shows it: four hexadecimal digits ("1209"). nullopt for anything else,
// a null pointer included.
std::optional<uint16_t> ParseUsbId(const char* text);

// The device interface path of a USB device, if it is a download interface: its ids are in
// the station's table, or udev tagged it with VANTOREL_DOWNLOAD=1. The arguments are the
// device's idVendor and idProduct attributes, its VANTOREL_DOWNLOAD property and its sysname
// (the port path, "1-1.4"); any of them may be null when the device lacks it.
std::optional<std::string> DownloadInterfacePath(const char* idVendor, const char* idProduct,
                                                 const char* downloadTag, const char* sysname);

}  // namespace vantorel::link::linux_platform
