#include "link/platform/usb_port_location.h"

namespace vantorel::link {

namespace {

// One number 1..255 in decimal without a leading zero; consumes it from `text`.
std::optional<uint8_t> TakeNumber(std::string_view& text) {
    size_t length = 0;
    unsigned value = 0;
    while (length < text.size() && text[length] >= '0' && text[length] <= '9') {
        value = value * 10 + static_cast<unsigned>(text[length] - '0');
        if (value > 255) {
            return std::nullopt;
        }
        ++length;
    }
    if (length == 0 || text[0] == '0') {
        return std::nullopt;
    }
    text.remove_prefix(length);
    return static_cast<uint8_t>(value);
}

}  // namespace

std::optional<UsbPortLocation> ParsePortPath(std::string_view portPath) {
    UsbPortLocation location;
    const auto bus = TakeNumber(portPath);
    if (!bus || portPath.empty() || portPath.front() != '-') {
        return std::nullopt;
    }
    location.busNumber = *bus;
    char separator = '-';
    while (!portPath.empty()) {
        if (portPath.front() != separator) {
            return std::nullopt;
        }
        portPath.remove_prefix(1);
        const auto port = TakeNumber(portPath);
        if (!port || location.portNumbers.size() == kMaxPortDepth) {
            return std::nullopt;
        }
        location.portNumbers.push_back(*port);
        separator = '.';
    }
    return location;
}

std::string FormatPortPath(const UsbPortLocation& location) {
    std::string text = std::to_string(location.busNumber);
    char separator = '-';
    for (const uint8_t port : location.portNumbers) {
        text += separator;
        text += std::to_string(port);
        separator = '.';
    }
    return text;
}

}  // namespace vantorel::link
