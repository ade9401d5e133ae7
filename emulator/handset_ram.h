#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vantorel::emulator {

// The boot loader's download RAM, addressed by offset from the download base. It holds what
// was written so far and reads as zero beyond that; it never grows past its cap, so a
// station's wild address cannot make the handset take all memory.
class HandsetRam {
public:
    explicit HandsetRam(size_t cap) : m_cap(cap) {}

    size_t Cap() const { return m_cap; }
    // True when [offset, offset + length) lies inside the cap.
    bool Holds(uint64_t offset, uint64_t length) const;

    // Prepares for a transfer of this many bytes from offset 0 (up to the cap).
    void Reserve(uint64_t length);
    // False, writing nothing, when the range does not lie inside the cap.
    bool Write(uint64_t offset, const uint8_t* data, size_t length);
    // Byte sum of a range that Holds() accepts.
    uint32_t Sum(uint64_t offset, uint64_t length) const;
    // Hands a range that Holds() accepts to `sink` in pieces, zeros included.
    void Read(uint64_t offset, uint64_t length,
              const std::function<void(const uint8_t*, size_t)>& sink) const;

    // Bytes of memory the RAM holds now: up to the highest byte written that was not zero.
    size_t HeldBytes() const { return m_bytes.size(); }

    // A restart loses the RAM content and gives its memory back.
    void Clear();

private:
    size_t m_cap;
    std::vector<uint8_t> m_bytes;  // offset 0 up to the highest byte written
};

}  // namespace vantorel::emulator
