#include "benchmarks/event_loop_run.h"

#include <thread>

#include "benchmarks/event_loop_lateness.h"
#include "benchmarks/station_batches.h"

namespace vantorel::benchmarks {

namespace {

constexpr int kTickMs = 5;

}  // namespace

EventLoopRun MeasureEventLoopLateness(const std::vector<emulator::ChosenImage>& images, int batches,
                                      int stormLines) {
    EventLoopRun result;
    StationBatches station(images);
    if (!station.ChooseImages(result.error)) {
        return result;
    }
    EventLoopLateness lateness(kTickMs);
    lateness.Start();
    bool ok = true;
    for (int batch = 0; batch < batches && ok; ++batch) {
        std::jthread storm([&station, stormLines] {
            for (int line = 0; line < stormLines; ++line) {
                station.Dlg().AppendMainLog("[PDA:%d] storm line %d\r\n", line % 8 + 1, line);
            }
        });
        ok = station.RunBatch(result.error);
        // Reading every image file back is the benchmark's own work, not the window's.
        lateness.Stop();
        ok = ok && station.CheckFlashed(result.error);
        lateness.Start();
        station.ClearBatch();
    }
    lateness.Stop();
    result.p99Ms = lateness.Percentile(0.99);
    result.maxMs = lateness.Max();
    result.ticks = lateness.Ticks();
    result.ok = ok && result.ticks > 0;
    return result;
}

}  // namespace vantorel::benchmarks
