#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/process_cpu.h"

namespace vantorel::usb_vm {

// The floor under the station's CPU per byte: plain synchronous libusb transfers, a
// 2048-byte data packet out and its 4-byte echo in, with nothing of the station's link or
// engine in between. Every packet is built before the clock starts.
struct BareRoundTripReport {
    bool bPassed = false;
    std::string failure;
    uint64_t roundTrips = 0;  // over all handsets, each echo checked
    uint64_t bytesOut = 0;
    std::chrono::duration<double> wall{};
    ProcessCpu cpu;  // the whole process while the round trips ran
};

// Finds `handsets` gadget handsets (vendor 1209, product 0001) within `presentBound`,
// greets each and starts a RAM download of `roundTrips` data packets, then runs every
// handset's round trips at once, one thread each, as the station's workers do.
BareRoundTripReport RunBareRoundTrips(int handsets, uint32_t roundTrips,
                                      std::chrono::milliseconds presentBound);

}  // namespace vantorel::usb_vm
