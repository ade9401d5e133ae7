#include "emulator/handset_ram.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_sum.h"

namespace vantorel::emulator {

bool HandsetRam::Holds(uint64_t offset, uint64_t length) const {
    return offset <= m_cap && length <= m_cap - offset;
}

void HandsetRam::Reserve(uint64_t length) {
    m_bytes.reserve(static_cast<size_t>(std::min<uint64_t>(length, m_cap)));
}

namespace {
bool AllZero(const uint8_t* data, size_t length) {
    return length == 0 || (data[0] == 0 && std::memcmp(data, data + 1, length - 1) == 0);
}
}  // namespace

bool HandsetRam::Write(uint64_t offset, const uint8_t* data, size_t length) {
    if (!Holds(offset, length)) {
        return false;
    }
    // Past what is held the RAM reads as zero already, so zeros written there take no memory:
    // eight handsets flashed from sparse images of hundreds of MB stay small.
    if (offset >= m_bytes.size() && AllZero(data, length)) {
        return true;
    }
    const size_t end = static_cast<size_t>(offset) + length;
    if (end > m_bytes.size()) {
        m_bytes.resize(end);
    }
    if (length > 0) {
        std::memcpy(m_bytes.data() + offset, data, length);
    }
    return true;
}

uint32_t HandsetRam::Sum(uint64_t offset, uint64_t length) const {
    if (offset >= m_bytes.size()) {
        return 0;
    }
    const size_t held = std::min<size_t>(static_cast<size_t>(length), m_bytes.size() - offset);
    return engine::ByteSum(m_bytes.data() + offset, held);
}

void HandsetRam::Read(uint64_t offset, uint64_t length,
                      const std::function<void(const uint8_t*, size_t)>& sink) const {
    static constexpr uint8_t kZeros[4096]{};
    if (offset < m_bytes.size()) {
        const size_t held = std::min<size_t>(static_cast<size_t>(length), m_bytes.size() - offset);
        if (held > 0) {
            sink(m_bytes.data() + offset, held);
        }
        length -= held;
    }
    while (length > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(length, sizeof kZeros));
        sink(kZeros, piece);
        length -= piece;
    }
}

void HandsetRam::Clear() {
    std::vector<uint8_t>().swap(m_bytes);
}

}  // namespace vantorel::emulator
