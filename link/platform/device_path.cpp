#include "link/platform/device_path.h"

#include <cstdio>
#include <vector>

namespace vantorel::link {

namespace {
constexpr std::string_view kClassSuffix = "#{7e3a91c4-52d0-4b8f-9c16-0a5d2e8b4f73}";
}

std::string MakeDevicePath(uint16_t vendorId, uint16_t productId, std::string_view portPath) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "usb#vid_%04x&pid_%04x#", vendorId, productId);
    std::string path(ids);
    path.append(portPath);
    path.append(kClassSuffix);
    return path;
}

std::string InstancePartOf(std::string_view devicePath) {
    std::string_view head = devicePath;
    if (const auto last = head.rfind('#'); last != std::string_view::npos) {
        head = head.substr(0, last);
    }
    if (const auto previous = head.rfind('#'); previous != std::string_view::npos) {
        head = head.substr(previous + 1);
    }
    return std::string(head);
}

std::optional<std::string> PortPathOf(std::string_view devicePath) {
    if (!devicePath.starts_with("usb#vid_") || !devicePath.ends_with(kClassSuffix)) {
        return std::nullopt;
    }
    std::string port = InstancePartOf(devicePath);
    if (port.empty()) {
        return std::nullopt;
    }
    return port;
}

}  // namespace vantorel::link

namespace vantorel::link {

namespace {
// "1-1.4" -> {1, 1, 4}; text that is not a number ends the list.
std::vector<unsigned long> PortNumbers(std::string_view portPath) {
    std::vector<unsigned long> numbers;
    unsigned long value = 0;
    bool inNumber = false;
    for (const char c : portPath) {
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<unsigned long>(c - '0');
            inNumber = true;
        } else if (c == '-' || c == '.') {
            numbers.push_back(inNumber ? value : 0);
            value = 0;
            inNumber = false;
        } else {
            break;
        }
    }
    if (inNumber) {
        numbers.push_back(value);
    }
    return numbers;
}
}  // namespace

bool PortPathLess(std::string_view left, std::string_view right) {
    const auto leftNumbers = PortNumbers(left);
    const auto rightNumbers = PortNumbers(right);
    if (leftNumbers != rightNumbers) {
        return leftNumbers < rightNumbers;
    }
    return left < right;
}

}  // namespace vantorel::link
