#include "link/platform/emulated/byte_pipe.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace vantorel::link::emulated {

bool BytePipe::Push(const uint8_t* data, size_t length) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bCut) {
            return false;
        }
        // Drop what was read already so the buffer stays the size of one exchange.
        if (m_readOffset == m_bytes.size()) {
            m_bytes.clear();
            m_readOffset = 0;
        }
        m_bytes.insert(m_bytes.end(), data, data + length);
        if (m_packetSize > 0) {
            for (size_t left = length; left > 0; left -= std::min(left, m_packetSize)) {
                m_packets.push_back(std::min(left, m_packetSize));
            }
            if (length % m_packetSize == 0) {
                m_packets.push_back(0);  // ends a transfer that filled its last packet
            }
        }
        Changed();
    }
    m_changed.notify_all();
    return true;
}

size_t BytePipe::Queued() const {
    std::lock_guard lock(m_mutex);
    return m_bytes.size() - m_readOffset;
}

size_t BytePipe::Take(uint8_t* data, size_t length) {
    std::lock_guard lock(m_mutex);
    const size_t count = std::min(length, m_bytes.size() - m_readOffset);
    if (count > 0) {
        std::memcpy(data, m_bytes.data() + m_readOffset, count);
    }
    m_readOffset += count;
    DropPackets(count);
    return count;
}

void BytePipe::DropPackets(size_t count) {
    while (!m_packets.empty()) {
        if (m_packets.front() == 0) {
            m_packets.pop_front();  // a zero-length packet carries nothing for a stream
            continue;
        }
        if (count == 0) {
            return;
        }
        const size_t taken = std::min(count, m_packets.front());
        m_packets.front() -= taken;
        count -= taken;
        if (m_packets.front() == 0) {
            m_packets.pop_front();
        }
    }
}

BytePipe::Packet BytePipe::TakePacket(uint8_t* data, size_t room) {
    std::lock_guard lock(m_mutex);
    if (m_packets.empty()) {
        return {};
    }
    const size_t length = m_packets.front();
    m_packets.pop_front();
    const bool bOverflow = length > room;
    if (!bOverflow && length > 0) {
        std::memcpy(data, m_bytes.data() + m_readOffset, length);
    }
    m_readOffset += length;
    return {true, bOverflow, bOverflow ? 0 : length};
}

void BytePipe::Cut() {
    {
        std::lock_guard lock(m_mutex);
        m_bCut = true;
        Changed();
    }
    m_changed.notify_all();
}

bool BytePipe::IsCut() const {
    std::lock_guard lock(m_mutex);
    return m_bCut;
}

void BytePipe::WakeAll() {
    // Taking the lock orders the waker's flag change before the waiters' re-check.
    {
        std::lock_guard lock(m_mutex);
        Changed();
    }
    m_changed.notify_all();
}

void BytePipe::SpinWhileUnchanged(uint64_t seen) const {
    for (int round = 0; round < kPauseRounds + kYieldRounds; ++round) {
        if (m_changes.load(std::memory_order_acquire) != seen) {
            return;
        }
        if (round < kPauseRounds) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        } else {
            std::this_thread::yield();
        }
    }
}

}  // namespace vantorel::link::emulated
