#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "benchmarks/bench_host.h"
#include "benchmarks/handset_rig.h"
#include "benchmarks/thread_cpu.h"
#include "engine/download_batch.h"

namespace vantorel::benchmarks {

// What one slot's worker did: the time it took, the CPU time of the worker thread itself,
// and how many image bytes it moved.
struct SlotRun {
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    uint64_t bytes = 0;
    ThreadUsage usage;  // the same thread's user/system split and context switches
    bool ok = false;
};

// Every slot sends `length` bytes of the image file into its handset's RAM (DownloadToRam),
// one worker thread per slot, all released together.
std::vector<SlotRun> RunRamTransfers(StationLinks& links, const std::string& imagePath,
                                     uint32_t length);

// Every slot runs a whole download (DownloadThreadProc) of `images`, one worker per slot,
// all released together, reporting to `host`. `bytes` counts the image bytes sent to RAM.
std::vector<SlotRun> RunWholeDownloads(StationLinks& links, const engine::DownloadImages& images,
                                       BenchHost& host);

// The image set of a run with an application image and a modem image of the given files.
engine::DownloadImages PdaAndPhoneImages(const std::string& pdaPath, const std::string& phonePath);

// The sums over all slots, and the slowest slot's rate divided by the fastest's.
struct RunTotals {
    double wallSeconds = 0.0;  // from the release to the last slot's end
    double cpuSeconds = 0.0;
    uint64_t bytes = 0;
    double fairness = 0.0;
    ThreadUsage usage;
    bool ok = false;
};
RunTotals Totals(const std::vector<SlotRun>& slots);

}  // namespace vantorel::benchmarks
