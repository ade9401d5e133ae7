// vantorel-benchmarks: the station's own speed. Google Benchmark measures the ByteSum
// kernels; macro runs drive the real engine and links against emulated handsets, and the
// real dialog offscreen. The figures go to standard output as JSON, a table to standard
// error.
//
//   vantorel-benchmarks [--quick] [--runs N] [--json FILE] [--only GROUP]... [--benchmark_...]
//
// GROUP is one of kFigureGroups (benchmark_arguments.h).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/process_memory.h"
#include "benchmarks/bench_files.h"
#include "benchmarks/benchmark_arguments.h"
#include "benchmarks/figure_runs.h"
#include "benchmarks/shift_figures.h"
#include "benchmarks/soak_child.h"
#include "benchmarks/station_child.h"
#include "command_line/command_option.h"

namespace {

using namespace vantorel::benchmarks;

std::string SelfPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

// Google Benchmark reads its own options from an argv of its own.
bool InitializeGoogleBenchmark(char* program, const std::vector<std::string>& flags) {
    std::vector<std::string> words(flags);
    std::vector<char*> argv{program};
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    int argc = static_cast<int>(argv.size());
    benchmark::Initialize(&argc, argv.data());
    return !benchmark::ReportUnrecognizedArguments(argc, argv.data());
}

}  // namespace

int main(int argc, char** argv) {
    // Every process here runs the station's code the way the station runs it.
    vantorel::LimitAllocatorArenas();
    BenchmarkArguments arguments;
    std::string error;
    if (!ParseBenchmarkArguments(std::vector<std::string>(argv + 1, argv + argc), arguments,
                                 error)) {
        return vantorel::command_line::RefuseCommandLine("vantorel-benchmarks", error);
    }
    if (arguments.bHelp) {
        std::fputs(BenchmarkUsage().c_str(), stdout);
        return 0;
    }
    if (arguments.child == BenchmarkArguments::Child::Station) {
        return StationRunMain(arguments.childWords);
    }
    if (arguments.child == BenchmarkArguments::Child::Soak) {
        return SoakRunMain(arguments.childWords, argv[0]);
    }
    // Before the application exists: the dialog is measured offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (!InitializeGoogleBenchmark(argv[0], arguments.benchmarkFlags)) {
        return vantorel::command_line::kExitBadCommandLine;
    }

    ScratchDir scratch;
    BenchPlan& plan = arguments.plan;
    plan.selfPath = SelfPath();
    plan.scratchDir = scratch.Path().string();
    const auto wanted = [&](const char* group) {
        return arguments.only.empty() || arguments.only.contains(group);
    };

    std::vector<Figure> figures;
    AddMachineFigures("before", figures);
    if (wanted("bytesum")) {
        AddByteSumFigures(plan, figures);
    }
    if (wanted("one_slot")) {
        AddOneSlotFigures(plan, LinkKind::Bus, figures);
        AddOneSlotFigures(plan, LinkKind::Pty, figures);
        AddPtyFloorFigures(plan, figures);
    }
    if (wanted("eight_slots")) {
        AddEightSlotFigures(plan, LinkKind::Bus, figures);
        AddEightSlotFigures(plan, LinkKind::Pty, figures);
    }
    if (wanted("memory")) {
        AddMemoryFigures(plan, figures);
    }
    if (wanted("console")) {
        AddConsoleFigures(plan, figures);
    }
    if (wanted("soak")) {
        AddSoakFigures(plan, figures);
    }
    if (wanted("shift")) {
        AddShiftFigures(plan, figures);
    }
    AddMachineFigures("after", figures);
    benchmark::Shutdown();

    const std::string json = FiguresJson(figures);
    std::fputs(json.c_str(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "\n%s", FiguresTable(figures).c_str());
    if (!arguments.jsonPath.empty()) {
        std::ofstream(arguments.jsonPath) << json;
    }
    // A figure that could not be measured is a failed run.
    for (const Figure& figure : figures) {
        if (figure.value != figure.value) {
            return 1;
        }
    }
    return 0;
}
