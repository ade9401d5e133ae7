#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantorel::emulator {

struct Digest128 {
    uint64_t high = 0;
    uint64_t low = 0;
    friend bool operator==(const Digest128&, const Digest128&) = default;
    std::string ToHex() const;
};

// A 128-bit digest of a byte stream, fed in pieces of any size. Two independent 64-bit
// lanes over 8-byte words: not a cryptographic hash, but strong enough that flashed bytes
// which differ from an image file do not match its digest by accident.
class FlashDigest {
public:
    void Update(const uint8_t* data, size_t length);
    // Feeds `count` zero bytes (RAM that was never written).
    void UpdateZeros(size_t count);
    Digest128 Final() const;

    static Digest128 Of(std::span<const uint8_t> bytes);

private:
    void Mix(uint64_t word);

    uint64_t m_lane1 = 0x9E3779B97F4A7C15ull;
    uint64_t m_lane2 = 0xC2B2AE3D27D4EB4Full;
    uint64_t m_length = 0;
    uint8_t m_tail[8]{};
    size_t m_tailLength = 0;
};

}  // namespace vantorel::emulator
