#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantorel::link {

// Where a USB device sits: its bus and the port numbers from the root hub down, as the
// kernel names it in a port path ("1-1.4" is bus 1, ports 1 and 4).
struct UsbPortLocation {
    uint8_t busNumber = 0;
    std::vector<uint8_t> portNumbers;

    friend bool operator==(const UsbPortLocation&, const UsbPortLocation&) = default;
};

// USB allows at most seven tiers of hubs below the root.
inline constexpr size_t kMaxPortDepth = 7;

// "1-1.4" -> bus 1, ports {1, 4}. nullopt unless the text is exactly a bus number, '-', and
// one to seven port numbers separated by '.', every number 1..255 without leading zeros.
std::optional<UsbPortLocation> ParsePortPath(std::string_view portPath);

// The kernel's spelling of a location, the inverse of ParsePortPath.
std::string FormatPortPath(const UsbPortLocation& location);

}  // namespace vantorel::link
