#include "benchmarks/shift_figures.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "bench/emulated_bench.h"
#include "bench/sample_directory.h"
#include "bench/shift_run.h"

namespace vantorel::benchmarks {

namespace {

const double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

// The median handsets per hour of the plan's shifts in one mode; NaN when none ended whole.
double ShiftsPerHour(const BenchPlan& plan, const std::vector<emulator::ChosenImage>& chosen,
                     bool bPipelined) {
    std::vector<double> samples;
    for (int run = 0; run < plan.runs; ++run) {
        bench::BenchArguments args;
        args.bHeadless = true;
        args.bNoRecords = true;
        args.timeScale = plan.shiftTimeScale;
        args.shift =
            bench::ShiftPlan{plan.shiftHandsets, plan.shiftSwapSeconds, plan.shiftSpreadPercent};
        args.options = {{"Wait after download", false}};
        if (bPipelined) {
            args.options.push_back({"Slots run on their own", true});
        }
        bench::EmulatedBench bench(bench::LinkChoice::Bulk, {}, args.handsets, args.timeScale);
        int refused = 0;
        const std::optional<bench::ShiftResult> result =
            bench::MeasureShift(args, chosen, bench, refused);
        if (!result || !result->bEnded || result->nDone != result->nHandsets ||
            result->nByteProblems != 0) {
            std::fprintf(stderr, "  a %s shift did not end whole: not counted\n",
                         bPipelined ? "pipelined" : "batch");
            continue;
        }
        std::fprintf(stderr, "  %s: %.1f handsets/h (%.0f s of protocol time)\n",
                     bPipelined ? "slots on their own" : "batches", result->handsetsPerHour,
                     result->protocolSeconds);
        samples.push_back(result->handsetsPerHour);
    }
    return samples.empty() ? kNotMeasured : Median(samples);
}

}  // namespace

void AddShiftFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    std::fprintf(stderr,
                 "Shift: %d handsets through 8 sockets, swap %.0f s, spread %d %%, clock scale "
                 "%g, %d run(s) per mode\n",
                 plan.shiftHandsets, plan.shiftSwapSeconds, plan.shiftSpreadPercent,
                 plan.shiftTimeScale, plan.runs);
    const std::string samples = plan.scratchDir + "/shift-images";
    std::string error;
    double batch = kNotMeasured;
    double pipeline = kNotMeasured;
    if (bench::EnsureSampleSet(samples, error)) {
        const std::vector<emulator::ChosenImage> chosen{
            {images::IMG_EBOOT, bench::SampleEbootPath(samples)},
            {images::IMG_PDA, bench::SamplePdaPath(samples)}};
        batch = ShiftsPerHour(plan, chosen, false);
        pipeline = ShiftsPerHour(plan, chosen, true);
    } else {
        std::fprintf(stderr, "  no sample set: %s\n", error.c_str());
    }
    figures.push_back({"shift.handsets_per_hour.batch", batch, "handsets/h"});
    figures.push_back({"shift.handsets_per_hour.pipeline", pipeline, "handsets/h"});
    figures.push_back({"shift.pipeline_to_batch", pipeline / batch, "x"});
}

}  // namespace vantorel::benchmarks
