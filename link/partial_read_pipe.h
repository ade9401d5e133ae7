#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/platform/bulk_device.h"

namespace vantorel::link {

// Reads of any length over a bulk IN pipe, as a driver with partial reads gives them: the
// device is asked for whole packets, the caller gets up to what it asked for, and whatever
// else the transfer brought is kept, in order, for the caller's next read. So a handset may
// send two replies in one packet, and a read shorter than a packet never overflows.
//
// Used by one reading thread; Reset only while no read runs (the link opens).
class PartialReadPipe {
public:
    // Forgets what was kept; `packetSize` is the pipe's maximum packet size (0: unknown,
    // every read asks for exactly its own length).
    void Reset(uint16_t packetSize);

    // Kept bytes first, without a transfer; else one transfer of whole packets.
    TransferResult Read(BulkDevice& device, uint8_t pipeId, uint8_t* data, size_t length,
                        std::optional<std::chrono::nanoseconds> timeout);

    size_t Kept() const { return m_end - m_offset; }

private:
    uint16_t m_packetSize = 0;
    std::vector<uint8_t> m_buffer;
    size_t m_offset = 0;  // kept bytes are m_buffer[m_offset, m_end)
    size_t m_end = 0;
};

}  // namespace vantorel::link
