#include "tools/usb_vm/inbound_messages.h"

#include <algorithm>

namespace vantorel::usb_vm {

size_t InboundMessages::RequestSize(size_t stillNeeded, size_t capacity) {
    const size_t blocks = (stillNeeded + kMessageBlock - 1) / kMessageBlock;
    const size_t fitting = capacity / kMessageBlock;
    return std::min(std::max<size_t>(blocks, 1), std::max<size_t>(fitting, 1)) * kMessageBlock;
}

size_t InboundMessages::Take(uint8_t* data, size_t length) {
    const size_t count = std::min(length, Buffered());
    std::copy_n(m_bytes.begin() + static_cast<ptrdiff_t>(m_head), count, data);
    m_head += count;
    if (m_head == m_bytes.size()) {
        m_bytes.clear();
        m_head = 0;
    }
    return count;
}

void InboundMessages::Append(const uint8_t* data, size_t length) {
    m_bytes.insert(m_bytes.end(), data, data + length);
}

}  // namespace vantorel::usb_vm
