#pragma once

#include <cstddef>
#include <cstdint>
#include <stop_token>

namespace vantorel::emulator {

// The handset's side of one plugged-in session: whatever carries the bytes (an emulated
// cable, a pseudo-terminal) looks like this to the boot loader.
class HandsetWire {
public:
    virtual ~HandsetWire() = default;

    // Blocks until `length` bytes have come from the station; false when the wire is gone
    // or the stop was requested first.
    virtual bool ReadExact(uint8_t* data, size_t length, std::stop_token stop) = 0;
    // Sends the bytes to the station; false when the wire is gone.
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};

}  // namespace vantorel::emulator
