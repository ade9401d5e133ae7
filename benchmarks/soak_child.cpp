#include "benchmarks/soak_child.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "bench/sample_directory.h"
#include "benchmarks/child_process.h"
#include "benchmarks/process_status.h"
#include "benchmarks/station_batches.h"
#include "benchmarks/thread_cpu.h"
#include "command_line/value_parsers.h"

namespace vantorel::benchmarks {

namespace {

struct Usage {
    long residentKb = -1;
    int descriptors = -1;
    long threads = -1;
};

Usage UsageNow() {
    return {ProcessStatusField("VmRSS"), OpenDescriptorCount(), ProcessStatusField("Threads")};
}

}  // namespace

int SoakRunMain(const std::vector<std::string>& words, char* program) {
    int batches = 0;
    int baselineBatch = 0;
    if (words.size() != 3 || !command_line::ParseNumber(words[0], batches) ||
        !command_line::ParseNumber(words[1], baselineBatch)) {
        std::fprintf(stderr, "%s BATCHES BASELINE_BATCH SAMPLE_DIR\n", kSoakRunFlag);
        return 2;
    }
    const std::string& sampleDirectory = words[2];
    if (baselineBatch < 1 || batches <= baselineBatch) {
        std::fprintf(stderr, "%s: the baseline batch must come before the last\n", kSoakRunFlag);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);

    // No boot loader: at clock scale 0 the wait for a rebooting handset would be no wait.
    StationBatches station({{images::IMG_PDA, bench::SamplePdaPath(sampleDirectory)},
                            {images::IMG_PHONE, sampleDirectory + "/phone.bin"}});
    std::string error;
    if (!station.ChooseImages(error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 1;
    }
    Usage baseline;
    const double start = WallSeconds();
    for (int batch = 1; batch <= batches; ++batch) {
        if (!station.RunBatch(error) || !station.CheckFlashed(error)) {
            std::fprintf(stderr, "soak: batch %d: %s\n", batch, error.c_str());
            return 1;
        }
        station.ClearBatch();
        if (batch == baselineBatch) {
            baseline = UsageNow();
        }
        if (batch % 50 == 0) {
            // The path between the two ends: a leak climbs steadily, an allocator settles.
            std::fprintf(stderr, "soak: after batch %d: %ld kB resident\n", batch,
                         ProcessStatusField("VmRSS"));
        }
    }
    const Usage last = UsageNow();
    std::printf("batches=%d rss_kb=%ld,%ld fds=%d,%d threads=%ld,%ld wall=%.3f\n", batches,
                baseline.residentKb, last.residentKb, baseline.descriptors, last.descriptors,
                baseline.threads, last.threads, WallSeconds() - start);
    std::fflush(stdout);
    return 0;
}

std::optional<SoakRun> RunSoakProcess(const std::string& program, int batches, int baselineBatch,
                                      const std::string& sampleDirectory) {
    const auto output = RunChildProcess({program, kSoakRunFlag, std::to_string(batches),
                                         std::to_string(baselineBatch), sampleDirectory});
    if (!output) {
        return std::nullopt;
    }
    SoakRun run;
    Usage from;
    Usage to;
    if (std::sscanf(output->text.c_str(),
                    "batches=%d rss_kb=%ld,%ld fds=%d,%d threads=%ld,%ld wall=%lf", &run.batches,
                    &from.residentKb, &to.residentKb, &from.descriptors, &to.descriptors,
                    &from.threads, &to.threads, &run.wallSeconds) != 8) {
        return std::nullopt;
    }
    run.residentGrowthMiB = static_cast<double>(to.residentKb - from.residentKb) / 1024.0;
    run.descriptorGrowth = to.descriptors - from.descriptors;
    run.threadGrowth = to.threads - from.threads;
    run.ok = output->bExitedZero && run.batches == batches && from.residentKb > 0 &&
             from.descriptors >= 0 && from.threads > 0;
    return run;
}

}  // namespace vantorel::benchmarks
