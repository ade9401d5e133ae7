#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantorel::images {

inline uint32_t LoadLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

inline void StoreLe32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

// A NUL-terminated text field of a fixed width; a field without its NUL stops at the width.
inline std::string TextField(const uint8_t* bytes, size_t width) {
    size_t length = 0;
    while (length < width && bytes[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace vantorel::images
