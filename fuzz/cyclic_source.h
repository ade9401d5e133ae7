#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "images/byte_source.h"

namespace vantorel::fuzz {

// A file as large as the input's first four bytes say (up to 256 MiB), whose content is the
// rest of the input repeated. A small input thus reaches the far offsets of a multi-CSC table
// or a container without the fuzzer having to grow inputs to megabytes.
class CyclicSource final : public images::ByteSource {
public:
    CyclicSource(const uint8_t* data, size_t size) {
        if (size < 4) {
            return;
        }
        uint32_t length = 0;
        std::memcpy(&length, data, 4);
        m_length = length & ((1u << 28) - 1);
        m_pattern = data + 4;
        m_patternSize = size - 4;
        if (m_patternSize == 0) {
            m_length = 0;
        }
    }

    uint64_t Length() const override { return m_length; }

    bool ReadAt(uint64_t offset, void* buffer, size_t length) const override {
        if (offset > m_length || length > m_length - offset) {
            return false;
        }
        auto* out = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < length; ++i) {
            out[i] = m_pattern[(offset + i) % m_patternSize];
        }
        return true;
    }

private:
    const uint8_t* m_pattern = nullptr;
    size_t m_patternSize = 0;
    uint64_t m_length = 0;
};

}  // namespace vantorel::fuzz
