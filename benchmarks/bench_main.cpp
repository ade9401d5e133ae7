// vantorel-benchmarks: the station's own speed. Google Benchmark measures the ByteSum
// kernels; macro runs drive the real engine and links against emulated handsets, and the
// real dialog offscreen. The figures go to standard output as JSON, a table to standard
// error.
//
//   vantorel-benchmarks [--quick] [--runs N] [--json FILE] [--only GROUP]... [--benchmark_...]
//
// GROUP is one of bytesum, one_slot, eight_slots, memory, console, soak, shift.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "base/process_memory.h"
#include "benchmarks/bench_files.h"
#include "benchmarks/figure_runs.h"
#include "benchmarks/shift_figures.h"
#include "benchmarks/soak_child.h"
#include "benchmarks/station_child.h"

namespace {

using namespace vantorel::benchmarks;

std::string SelfPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

struct Arguments {
    BenchPlan plan;
    std::string jsonPath;
    std::set<std::string> only;
    bool bValid = true;
};

// Takes this program's own words out of argv; Google Benchmark gets the rest.
Arguments TakeArguments(int& argc, char** argv) {
    Arguments arguments;
    int kept = 1;
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--quick") {
            arguments.plan = BenchPlan::Quick();
        } else if (word == "--runs" && hasValue) {
            runs = std::atoi(argv[++i]);
            arguments.bValid = arguments.bValid && runs > 0;
        } else if (word == "--json" && hasValue) {
            arguments.jsonPath = argv[++i];
        } else if (word == "--only" && hasValue) {
            arguments.only.insert(argv[++i]);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (runs > 0) {
        arguments.plan.runs = runs;
        arguments.plan.kernelRepetitions = runs;
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    // Every process here runs the station's code the way the station runs it.
    vantorel::LimitAllocatorArenas();
    if (argc > 1 && std::strcmp(argv[1], kStationRunFlag) == 0) {
        return StationRunMain(argc - 1, argv + 1);
    }
    if (argc > 1 && std::strcmp(argv[1], kSoakRunFlag) == 0) {
        return SoakRunMain(argc - 1, argv + 1);
    }
    Arguments arguments = TakeArguments(argc, argv);
    // Before the application exists: the dialog is measured offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!arguments.bValid || benchmark::ReportUnrecognizedArguments(argc, argv)) {
        std::fprintf(stderr,
                     "usage: %s [--quick] [--runs N] [--json FILE] [--only GROUP]... "
                     "[--benchmark_...]\n",
                     argv[0]);
        return 2;
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
