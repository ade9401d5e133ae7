#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel::link {

// Device interface paths look like
//   usb#vid_1209&pid_0001#1-1.4#{7e3a91c4-52d0-4b8f-9c16-0a5d2e8b4f73}
// The instance part between the last two '#' is the USB port path, so a handset that
// re-enumerates on the same port after its reboot keeps its path.
std::string MakeDevicePath(uint16_t vendorId, uint16_t productId, std::string_view portPath);

// The instance part: cut the path at its last '#', then take what follows the last '#' of
// what is left ("1-1.4" above). "a#b" gives "a"; a text without '#' is its own instance part.
std::string InstancePartOf(std::string_view devicePath);

// The USB port path of a device path made by MakeDevicePath, if it is one.
std::optional<std::string> PortPathOf(std::string_view devicePath);

// Orders port paths by bus and then port numbers ("1-2" < "1-10" < "2-1"), so that
// enumeration order follows the hub's ports and not the text.
bool PortPathLess(std::string_view left, std::string_view right);

}  // namespace vantorel::link
