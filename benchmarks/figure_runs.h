#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "benchmarks/figures.h"
#include "benchmarks/handset_rig.h"

namespace vantorel::benchmarks {

// How big and how often: the defaults are the sizes; quick sizes only show that
// every figure can be produced.
struct BenchPlan {
    int runs = 5;                   // repetitions of each macro run; medians are reported
    int kernelRepetitions = 5;      // Google Benchmark repetitions of each kernel
    double kernelMinSeconds = 0.5;  // per repetition
    uint32_t oneSlotBytes = 256u << 20;
    uint32_t eightSlotBytes = 128u << 20;
    uint32_t largeImageBytes = 512u << 20;
    uint32_t smallImageBytes = 64u << 20;
    int logLines = 100000;
    int notificationsPerWorker = 5000;
    int latenessBatches = 3;  // per run, with the event loop's lateness recorded throughout
    uint32_t latenessPdaBytes = 32u << 20;
    int stormLinesPerBatch = 20000;
    int soakBatches = 500;
    int soakBaselineBatch = 10;
    // Shifts of handsets swapped by one operator (AddShiftFigures).
    int shiftHandsets = 40;
    double shiftSwapSeconds = 10;
    int shiftSpreadPercent = 20;
    double shiftTimeScale = 0.01;
    std::string selfPath;  // this program, started again as the station process
    std::string scratchDir;

    static BenchPlan Quick();
};

void AddByteSumFigures(const BenchPlan& plan, std::vector<Figure>& figures);
// One slot, DownloadToRam of plan.oneSlotBytes over the link kind.
void AddOneSlotFigures(const BenchPlan& plan, LinkKind kind, std::vector<Figure>& figures);
// The floor of the pseudo-terminal link: bare round trips without the station.
void AddPtyFloorFigures(const BenchPlan& plan, std::vector<Figure>& figures);
// Eight slots at once, plan.eightSlotBytes each.
void AddEightSlotFigures(const BenchPlan& plan, LinkKind kind, std::vector<Figure>& figures);
// Peak resident memory of a station process running eight whole downloads.
void AddMemoryFigures(const BenchPlan& plan, std::vector<Figure>& figures);
void AddConsoleFigures(const BenchPlan& plan, std::vector<Figure>& figures);
// Growth of a station process's memory, descriptors and threads over many batches.
void AddSoakFigures(const BenchPlan& plan, std::vector<Figure>& figures);

// The machine: cores and the load averages over 1 minute (a shared machine's noise).
void AddMachineFigures(const char* when, std::vector<Figure>& figures);

}  // namespace vantorel::benchmarks
