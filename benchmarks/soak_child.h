#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantorel::benchmarks {

// The command-line word that makes the benchmark program a soak station process.
inline constexpr const char* kSoakRunFlag = "--soak-run";

// The soak process: the real station window (offscreen) over eight emulated handsets on the
// in-process bus at clock scale 0, running batch after batch of the PDA and modem images of
// the sample set. Arguments: the number of batches, the batch after which the baseline is
// taken, the sample set's directory. Prints one line with the process's resident memory,
// open descriptors and threads after the baseline batch and after the last; exit code 0
// when every batch ended with every slot done and every handset flashed right. `program`
// is argv[0], for the application.
int SoakRunMain(const std::vector<std::string>& words, char* program);

// What the soak process reported: growth between the baseline batch and the last.
struct SoakRun {
    int batches = 0;
    double residentGrowthMiB = 0.0;
    long descriptorGrowth = 0;
    long threadGrowth = 0;
    double wallSeconds = 0.0;
    bool ok = false;
};

std::optional<SoakRun> RunSoakProcess(const std::string& program, int batches, int baselineBatch,
                                      const std::string& sampleDirectory);

}  // namespace vantorel::benchmarks
