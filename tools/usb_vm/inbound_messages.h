#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantorel::usb_vm {

// What the OUT endpoint delivered of the station's messages and the boot loader has not
// taken yet. The boot loader reads in pieces (a command word, then the rest of the block),
// while the endpoint is read in whole messages.
class InboundMessages {
public:
    // Every message from the station is one transfer: the 4-byte greeting or one 2048-byte
    // block, a whole number of packets at any speed. A read request of one block takes a
    // whole message at once and a shorter one ends early with its short packet; a request
    // that ended on a packet boundary inside a message would leave the station's transfer
    // half-done, and one beyond a block would wait for the next message.
    static constexpr size_t kMessageBlock = 2048;

    // The read request for `stillNeeded` more bytes: whole blocks, at most `capacity`.
    static size_t RequestSize(size_t stillNeeded, size_t capacity);

    // Moves up to `length` delivered bytes to `data`, oldest first; how many it moved.
    size_t Take(uint8_t* data, size_t length);
    void Append(const uint8_t* data, size_t length);
    size_t Buffered() const { return m_bytes.size() - m_head; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_head = 0;  // m_bytes before this were taken
};

}  // namespace vantorel::usb_vm
