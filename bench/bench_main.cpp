// vantorel-bench: the station on a bench of emulated handsets, with a window or headless.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "base/process_memory.h"
#include "bench/bench_arguments.h"
#include "bench/bench_station.h"
#include "bench/emulated_bench.h"
#include "bench/headless_run.h"
#include "bench/image_plan.h"
#include "bench/sample_directory.h"
#include "command_line/command_option.h"
#include "console/program_start.h"
#include "console/string_resource.h"
#include "resources/string_table.h"

using namespace vantorel;
using namespace vantorel::bench;

namespace {

int Refuse(const std::string& error) {
    return command_line::RefuseCommandLine("vantorel-bench", error);
}

}  // namespace

int main(int argc, char** argv) {
    LimitAllocatorArenas();
    BenchArguments args;
    std::string error;
    if (!ParseBenchArguments(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
        return Refuse(error);
    }
    if (args.bHelp) {
        std::fputs(BenchUsage().c_str(), stdout);
        return kExitPassed;
    }
    if (args.bVersion) {
        std::printf("vantorel-bench %s\n", console::ProgramVersion());
        return kExitPassed;
    }
    if (args.bHeadless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (const auto reason = console::DisplayProblem(console::CurrentDisplayEnvironment())) {
        std::fprintf(stderr, "vantorel-bench: %s; the window needs one, --headless needs none\n",
                     reason->c_str());
        return kExitBadArguments;
    }

    // The sample set is there for the operator's first pick; a bench that cannot write it
    // still runs with the files named on the command line.
    const std::string sampleDirectory = DefaultSampleDirectory();
    std::string sampleError;
    if (!EnsureSampleSet(sampleDirectory, sampleError)) {
        std::fprintf(stderr, "vantorel-bench: %s\n", sampleError.c_str());
    }
    std::vector<emulator::ChosenImage> chosen;
    if (!PlanImages(args, sampleDirectory, args.bHeadless, chosen, error)) {
        return Refuse(error);
    }

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(console::StringResource(resources::IDS_APP_TITLE));
    QApplication::setWindowIcon(console::StationIcon());

    if (args.bReal) {
        return RunReal(args, chosen);
    }
    EmulatedBench bench(args.link, args.ttyPaths, args.handsets, args.timeScale);
    if (!bench.IsUsable(error)) {
        std::fprintf(stderr, "vantorel-bench: %s\n", error.c_str());
        return kExitFailed;
    }
    if (args.bHeadless) {
        return RunHeadless(args, chosen, bench);
    }
    BenchStation station(bench, args, sampleDirectory);
    return station.Run(chosen);
}
