#pragma once

#include <vector>

#include "host/bench/bench_arguments.h"
#include "host/bench/emulated_bench.h"
#include "host/bench/flash_check.h"

namespace vantorel::bench {

// Exit codes of the bench.
inline constexpr int kExitPassed = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

// Runs one batch on the real station window without showing it: chooses the images and
// options, presses Detect, plugs the handsets in, presses Start downloading unless the
// station started by itself, and waits for the batch to end. Prints one line per slot, the
// main log and the verdict to standard output; returns the exit code. Needs a
// QApplication on the offscreen platform.
int RunHeadless(const BenchArguments& args, const std::vector<ChosenImage>& chosen,
                EmulatedBench& bench);

}  // namespace vantorel::bench
