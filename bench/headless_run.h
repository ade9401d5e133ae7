#pragma once

#include <vector>

#include "bench/bench_arguments.h"
#include "bench/emulated_bench.h"
#include "bench/headless_station.h"
#include "emulator/flash_check.h"

namespace vantorel::bench {

// Runs one batch on the real station window without showing it: chooses the images and
// options, presses Detect, plugs the handsets in, presses Start downloading unless the
// station started by itself, and waits for the batch to end. Prints one line per slot, the
// main log and the verdict to standard output; returns the exit code. Needs a
// QApplication on the offscreen platform.
int RunHeadless(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen,
                EmulatedBench& bench);

// The same on this machine's real download-mode devices: presses Detect, says so on
// standard error ("detecting"), waits until the handsets the arguments name have arrived
// and attached, and downloads. What the handsets flashed is not checked.
int RunReal(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen);

}  // namespace vantorel::bench
