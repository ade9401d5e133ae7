#include "benchmarks/station_child.h"

#include <cstdio>

#include "benchmarks/child_process.h"
#include "benchmarks/process_status.h"
#include "benchmarks/station_runs.h"

namespace vantorel::benchmarks {

namespace {

// The process's peak resident set (VmHWM). Not the parent's wait4() figure: a child started
// with posix_spawn shares the parent's memory until it execs, and the kernel carries that
// peak over into the child's.
long PeakResidentKb() {
    return ProcessStatusField("VmHWM");
}

}  // namespace

int StationRunMain(const std::vector<std::string>& words) {
    if (words.size() < 3) {
        std::fprintf(stderr, "%s PDA PHONE TTY...\n", kStationRunFlag);
        return 2;
    }
    const std::vector<std::string> ttys(words.begin() + 2, words.end());
    if (ttys.size() == 1 && ttys.front() == "-") {
        // No handset: what the process needs before any run (libraries, the program).
        std::printf("finished=0 cpu=0 wall=0 bytes=0 notes=0 lines=0 peak_kb=%ld\n",
                    PeakResidentKb());
        return 0;
    }
    StationLinks links(LinkKind::Pty, nullptr, ttys);
    if (!links.AttachAll()) {
        std::fprintf(stderr, "station process: a handset did not answer the greeting\n");
        return 1;
    }
    BenchHost host;
    const auto runs = RunWholeDownloads(links, PdaAndPhoneImages(words[0], words[1]), host);
    const RunTotals totals = Totals(runs);
    int finished = 0;
    for (const SlotRun& run : runs) {
        finished += run.ok ? 1 : 0;
    }
    std::printf("finished=%d cpu=%.6f wall=%.6f bytes=%llu notes=%llu lines=%llu peak_kb=%ld\n",
                finished, totals.cpuSeconds, totals.wallSeconds,
                static_cast<unsigned long long>(totals.bytes),
                static_cast<unsigned long long>(host.Notifications()),
                static_cast<unsigned long long>(host.LogLines()), PeakResidentKb());
    std::fflush(stdout);
    return totals.ok ? 0 : 1;
}

std::optional<StationProcessRun> RunStationProcess(const std::string& program,
                                                   const std::string& pdaPath,
                                                   const std::string& phonePath,
                                                   const std::vector<std::string>& ttyPaths) {
    std::vector<std::string> words{program, kStationRunFlag, pdaPath, phonePath};
    words.insert(words.end(), ttyPaths.begin(), ttyPaths.end());
    const auto output = RunChildProcess(std::move(words));
    if (!output) {
        return std::nullopt;
    }

    StationProcessRun run;
    if (std::sscanf(output->text.c_str(),
                    "finished=%d cpu=%lf wall=%lf bytes=%llu notes=%llu lines=%llu peak_kb=%ld",
                    &run.finished, &run.cpuSeconds, &run.wallSeconds, &run.bytes,
                    &run.notifications, &run.logLines, &run.peakResidentKb) != 7) {
        return std::nullopt;
    }
    const bool idle = ttyPaths.size() == 1 && ttyPaths.front() == "-";
    run.ok = output->bExitedZero && run.finished == (idle ? 0 : static_cast<int>(ttyPaths.size()));
    return run;
}

}  // namespace vantorel::benchmarks
