#pragma once

#include <array>
#include <cstdint>

namespace vantorel::link {

// A device interface class identifier, laid out as the handset's driver package names it.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    std::array<uint8_t, 8> data4;

    friend bool operator==(const Guid&, const Guid&) = default;
};

// The class of the download-mode handset's interface: {7e3a91c4-52d0-4b8f-9c16-0a5d2e8b4f73}.
inline constexpr Guid GUID_DEVINTERFACE_DOWNLOAD{
    0x7e3a91c4, 0x52d0, 0x4b8f, {0x9c, 0x16, 0x0a, 0x5d, 0x2e, 0x8b, 0x4f, 0x73}};

}  // namespace vantorel::link
