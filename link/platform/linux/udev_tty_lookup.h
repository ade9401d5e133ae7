#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel::link::linux_platform {

// The device node of the tty that belongs to the USB device at `portPath` ("1-1.4"), for
// example "/dev/ttyACM0". When the device has several, the first in sysfs order. nullopt
// when there is none or libudev failed.
std::optional<std::string> FindTtyNodeOfUsbPort(std::string_view portPath);

}  // namespace vantorel::link::linux_platform
