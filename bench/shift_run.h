#pragma once

#include <optional>
#include <string>
#include <vector>

#include "bench/bench_arguments.h"
#include "bench/emulated_bench.h"
#include "emulator/flash_check.h"

namespace vantorel::bench {

// A headless shift (--shift N): the emulated handsets' sockets are filled, and each handset
// is replaced by the simulated operator, one swap at a time, --swap-seconds after its slot
// ended. With slots that run on their own a socket is swapped as soon as the operator gets
// to it; in batches the operator waits for the batch's end, presses Reset All and Detect,
// swaps every socket and presses Start downloading. Every handset is checked byte for byte
// as it ends. Prints one line per handset, the shift's counts and its handsets per hour of
// protocol time; exit 0 only when every handset was done and flashed exactly the images.
int RunShift(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen,
             EmulatedBench& bench);

// What a shift did.
struct ShiftResult {
    bool bEnded = false;  // every handset ended before the timeout
    bool bPipelined = false;
    int nHandsets = 0;
    int nDone = 0;
    int nFailed = 0;
    int nByteProblems = 0;
    double protocolSeconds = 0;      // from the first plug to the last end
    double handsetsPerHour = 0;      // done handsets per hour of protocol time
    std::vector<std::string> lines;  // one per handset, as it ended
};

// The shift of RunShift without printing; nullopt, with the exit code in `refused`, when the
// station could not be armed.
std::optional<ShiftResult> MeasureShift(const BenchArguments& args,
                                        const std::vector<emulator::ChosenImage>& chosen,
                                        EmulatedBench& bench, int& refused);

}  // namespace vantorel::bench
