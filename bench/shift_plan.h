#pragma once

#include <chrono>

#include "base/clock.h"

namespace vantorel::bench {

// A shift on the emulated bench: `nHandsets` handsets in all go through the sockets, each
// replaced by the simulated operator `swapSeconds` of protocol time after its slot ends.
struct ShiftPlan {
    int nHandsets = 0;
    double swapSeconds = 10;
    // Each handset's flash work differs from kShiftFlashStep by up to this many percent.
    int spreadPercent = 0;
};

// The flash work before each progress step of a shift's handset when there is no spread:
// with the sample set's boot loader and application image, about two minutes a handset.
inline constexpr Clock::Duration kShiftFlashStep{20000};

// The flash work of the shift's handset `number` (0-based): kShiftFlashStep varied by up to
// `spreadPercent` either way, the same for the same number in every run, so that both modes
// get the same handsets.
Clock::Duration ShiftFlashStep(int number, int spreadPercent);

// Handsets per hour of protocol time: `count` in `protocolTime`; 0 when no time passed.
double PerHour(int count, std::chrono::duration<double> protocolTime);

}  // namespace vantorel::bench
