#pragma once

#include <array>
#include <cstdint>

namespace vantorel::link::linux_platform {

struct UsbId {
    uint16_t vendorId;
    uint16_t productId;
};

// The USB ids of handsets in download mode. Adding a handset is one line here and one pair of
// lines in resources/udev/70-vantorel.rules.
inline constexpr std::array kDownloadIds{
    UsbId{0x1209, 0x0001},  // pid.codes test id, presented by the handset emulator
};

constexpr bool IsDownloadId(uint16_t vendorId, uint16_t productId) {
    for (const UsbId& id : kDownloadIds) {
        if (id.vendorId == vendorId && id.productId == productId) {
            return true;
        }
    }
    return false;
}

}  // namespace vantorel::link::linux_platform
