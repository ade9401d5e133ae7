#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantorel::benchmarks {

// The command-line word that makes the benchmark program a bare station process.
inline constexpr const char* kStationRunFlag = "--station-run";

// The station process: runs one whole download of the application and modem images on
// every named tty at once and prints one line with the outcome. Its words (after the flag)
// are the two image paths and then one tty path per slot ("-": none, run nothing). Exit
// code 0 when every slot finished.
int StationRunMain(const std::vector<std::string>& words);

// What a station process reported, with its peak resident memory as the kernel kept it.
struct StationProcessRun {
    int finished = 0;
    double cpuSeconds = 0.0;   // its workers' threads
    double wallSeconds = 0.0;  // from the release to the last slot's end
    unsigned long long bytes = 0;
    unsigned long long notifications = 0;  // status notifications the workers sent
    unsigned long long logLines = 0;
    long peakResidentKb = 0;
    bool ok = false;
};

// Starts `program` as a station process over the ttys at `ttyPaths` and waits for it. The
// single path "-" starts one that runs nothing, for the memory a bare process takes.
std::optional<StationProcessRun> RunStationProcess(const std::string& program,
                                                   const std::string& pdaPath,
                                                   const std::string& phonePath,
                                                   const std::vector<std::string>& ttyPaths);

}  // namespace vantorel::benchmarks
