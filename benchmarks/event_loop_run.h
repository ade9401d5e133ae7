#pragma once

#include <string>
#include <vector>

#include "emulator/flash_check.h"

namespace vantorel::benchmarks {

// How late the dialog's event loop ran while whole batches went through the real station.
struct EventLoopRun {
    double p99Ms = 0.0;
    double maxMs = 0.0;
    size_t ticks = 0;
    bool ok = false;
    std::string error;  // why a batch failed
};

// `batches` eight-slot batches of `images` on the emulated bus at clock scale 0, handsets
// plugged one by one and unplugged after each batch, while a 5 ms timer on the dialog thread
// records its lateness. Besides the workers' own notifications and lines, another thread
// writes `stormLines` main-log lines per batch as fast as it can: a chatty failure.
EventLoopRun MeasureEventLoopLateness(const std::vector<emulator::ChosenImage>& images, int batches,
                                      int stormLines);

}  // namespace vantorel::benchmarks
