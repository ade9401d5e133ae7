#include "benchmarks/station_child.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "benchmarks/station_runs.h"
#include "link/platform/linux/unique_fd.h"

extern char** environ;

namespace vantorel::benchmarks {

namespace {

using link::linux_platform::UniqueFd;

// The process's peak resident set (VmHWM). Not the parent's wait4() figure: a child started
// with posix_spawn shares the parent's memory until it execs, and the kernel carries that
// peak over into the child's.
long PeakResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return -1;
    }
    long kb = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) {
            break;
        }
    }
    std::fclose(status);
    return kb;
}

}  // namespace

int StationRunMain(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "%s PDA PHONE TTY...\n", kStationRunFlag);
        return 2;
    }
    std::vector<std::string> ttys(argv + 3, argv + argc);
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
    const auto runs = RunWholeDownloads(links, PdaAndPhoneImages(argv[1], argv[2]), host);
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
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);

    std::vector<std::string> words{program, kStationRunFlag, pdaPath, phonePath};
    words.insert(words.end(), ttyPaths.begin(), ttyPaths.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    pid_t child = -1;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return std::nullopt;
    }
    writeEnd.Reset();

    std::string output;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        output.append(buffer, static_cast<size_t>(got));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    StationProcessRun run;
    if (std::sscanf(output.c_str(),
                    "finished=%d cpu=%lf wall=%lf bytes=%llu notes=%llu lines=%llu peak_kb=%ld",
                    &run.finished, &run.cpuSeconds, &run.wallSeconds, &run.bytes,
                    &run.notifications, &run.logLines, &run.peakResidentKb) != 7) {
        return std::nullopt;
    }
    const bool idle = ttyPaths.size() == 1 && ttyPaths.front() == "-";
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
             run.finished == (idle ? 0 : static_cast<int>(ttyPaths.size()));
    return run;
}

}  // namespace vantorel::benchmarks
