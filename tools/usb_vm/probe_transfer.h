#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "engine/boot_loader_protocol.h"

namespace vantorel::usb_vm {

using SteadyClock = std::chrono::steady_clock;

// Reads until all 4 bytes of a reply are in or a read brings nothing; the bytes read.
uint32_t ReadReplyExact(link::CUsbInterface& link, engine::Reply4& reply);

// Writes the greeting and expects "OKUD", up to `attempts` times.
bool Greet(link::CUsbInterface& link, int attempts);

// How a transfer of an image into handset RAM went.
struct RamTransfer {
    bool bDone = false;
    std::string failure;               // what went wrong, when not done
    uint64_t packetsSent = 0;          // data packets whose echo matched
    uint32_t failedReadCount = 0;      // bytes of the echo that did not match
    SteadyClock::time_point failedAt;  // when the failing read returned
    SteadyClock::duration elapsed{};   // from command 7 to the last echo
    // Medians over the data packets: writing one, and waiting for its echo.
    SteadyClock::duration medianWrite{};
    SteadyClock::duration medianEcho{};
};

// Called after data packet `index` was written and before its echo is read.
using BeforeEcho = std::function<void(uint64_t index)>;

// Command 7 with the image kind and the count of full packets, then the image in 2048-byte
// data packets to RAM address 0 upwards; every echoed sum must match.
RamTransfer SendToRam(link::CUsbInterface& link, uint32_t imageKind, std::span<const uint8_t> image,
                      const BeforeEcho& beforeEcho = {});

}  // namespace vantorel::usb_vm
