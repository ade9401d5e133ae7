#include "link/partial_read_pipe.h"

#include <algorithm>
#include <cstring>

namespace vantorel::link {

void PartialReadPipe::Reset(uint16_t packetSize) {
    m_packetSize = packetSize;
    m_offset = m_end = 0;
}

TransferResult PartialReadPipe::Read(BulkDevice& device, uint8_t pipeId, uint8_t* data,
                                     size_t length,
                                     std::optional<std::chrono::nanoseconds> timeout) {
    if (Kept() > 0) {
        const size_t count = std::min(length, Kept());
        std::memcpy(data, m_buffer.data() + m_offset, count);
        m_offset += count;
        return {count, TransferStatus::Done, 0};
    }
    if (length == 0) {
        return {0, TransferStatus::Done, 0};
    }
    const size_t packets = m_packetSize == 0 ? 0 : (length + m_packetSize - 1) / m_packetSize;
    const size_t asked = m_packetSize == 0 ? length : packets * m_packetSize;
    if (asked == length) {
        return device.ReadPipe(pipeId, data, length, timeout);
    }
    m_buffer.resize(std::max(m_buffer.size(), asked));
    TransferResult result = device.ReadPipe(pipeId, m_buffer.data(), asked, timeout);
    const size_t arrived = std::min(result.count, asked);
    result.count = std::min(length, arrived);
    std::memcpy(data, m_buffer.data(), result.count);
    m_offset = result.count;
    m_end = arrived;
    return result;
}

}  // namespace vantorel::link
