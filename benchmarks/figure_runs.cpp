#include "benchmarks/figure_runs.h"

#include <cstdio>
#include <fstream>
#include <thread>

#include "bench/sample_directory.h"
#include "benchmarks/bare_pty.h"
#include "benchmarks/bench_files.h"
#include "benchmarks/byte_sum_benchmarks.h"
#include "benchmarks/console_figures.h"
#include "benchmarks/event_loop_run.h"
#include "benchmarks/soak_child.h"
#include "benchmarks/station_child.h"
#include "benchmarks/station_runs.h"
#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "engine/download_batch.h"

namespace vantorel::benchmarks {

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kPacketsPerMiB = kMiB / engine::kPacketPayloadSize;

void Progress(const char* format, auto... values) {
    std::fprintf(stderr, format, values...);
    std::fflush(stderr);
}

double MiB(uint64_t bytes) {
    return static_cast<double>(bytes) / kMiB;
}

// The emulated handsets keep digests, not bytes, and have RAM for the largest transfer.
emulator::HandsetConfig LargeTransferHandset(uint64_t largestTransfer) {
    emulator::HandsetConfig config;
    config.recordMode = emulator::RecordMode::Digest;
    config.ramCap = static_cast<size_t>(largestTransfer + (1u << 20));
    return config;
}

std::string Prefix(const char* what, LinkKind kind) {
    return std::string(what) + "." + LinkKindName(kind);
}

// Where the worker's CPU went: user and system time per MiB, and how often per data packet
// it blocked or was preempted.
std::string UsageText(const RunTotals& totals) {
    const double mib = MiB(totals.bytes);
    const double packets = static_cast<double>(totals.bytes) / engine::kPacketPayloadSize;
    char text[160];
    std::snprintf(text, sizeof text,
                  "user %.3f, system %.3f ms/MiB; %.2f waits, %.2f preemptions per packet",
                  totals.usage.userSeconds * 1e3 / mib, totals.usage.systemSeconds * 1e3 / mib,
                  static_cast<double>(totals.usage.voluntarySwitches) / packets,
                  static_cast<double>(totals.usage.forcedSwitches) / packets);
    return text;
}

// Each slot's elapsed seconds and its worker's CPU per MiB: equal CPU with unequal time
// means the slots waited unequally, not that one did more work.
std::string SlotTimes(const std::vector<SlotRun>& slots) {
    std::string text;
    for (const SlotRun& run : slots) {
        char one[48];
        std::snprintf(one, sizeof one, " %.2fs/%.2fms", run.wallSeconds,
                      run.bytes > 0 ? run.cpuSeconds * 1e3 / MiB(run.bytes) : 0.0);
        text += one;
    }
    return text;
}

const double kNotMeasured = std::numeric_limits<double>::quiet_NaN();

}  // namespace

BenchPlan BenchPlan::Quick() {
    BenchPlan plan;
    plan.runs = 1;
    plan.kernelRepetitions = 1;
    plan.kernelMinSeconds = 0.02;
    plan.oneSlotBytes = 8u << 20;
    plan.eightSlotBytes = 2u << 20;
    plan.largeImageBytes = 16u << 20;
    plan.smallImageBytes = 2u << 20;
    plan.logLines = 5000;
    plan.notificationsPerWorker = 200;
    plan.latenessBatches = 1;
    plan.latenessPdaBytes = 2u << 20;
    plan.stormLinesPerBatch = 2000;
    plan.soakBatches = 4;
    plan.soakBaselineBatch = 2;
    return plan;
}

void AddByteSumFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    Progress("ByteSum kernels (dispatch: %s)\n", engine::ByteSumVariant());
    const auto rates = RunByteSumBenchmarks(plan.kernelRepetitions, plan.kernelMinSeconds);
    for (const char* name : {"bytesum/buffer_64mib", "bytesum/packet_2032",
                             "bytesum_portable/buffer_64mib", "bytesum_portable/packet_2032"}) {
        const auto found = rates.find(name);
        std::string figure = name;
        figure[figure.find('/')] = '.';
        figures.push_back(
            {figure, found == rates.end() ? kNotMeasured : found->second / 1e9, "GB/s"});
    }
}

void AddOneSlotFigures(const BenchPlan& plan, LinkKind kind, std::vector<Figure>& figures) {
    Progress("One slot, DownloadToRam of %.0f MiB over the %s link, %d runs\n",
             MiB(plan.oneSlotBytes), LinkKindName(kind), plan.runs);
    const std::string image = plan.scratchDir + "/one-slot.bin";
    WritePatternFile(image, plan.oneSlotBytes, 1);
    std::vector<double> rates;
    std::vector<double> cpu;
    {
        HandsetRig rig(kind, 1, LargeTransferHandset(plan.oneSlotBytes), plan.scratchDir);
        StationLinks links(kind, &rig.Bus(), rig.DevicePaths());
        if (rig.PlugAll() && links.AttachAll()) {
            // Not counted: the handset's RAM is touched for the first time.
            RunRamTransfers(links, image, plan.oneSlotBytes);
            for (int run = 0; run < plan.runs; ++run) {
                const RunTotals totals = Totals(RunRamTransfers(links, image, plan.oneSlotBytes));
                if (!totals.ok) {
                    Progress("  run %d failed\n", run + 1);
                    continue;
                }
                rates.push_back(MiB(totals.bytes) / totals.wallSeconds);
                cpu.push_back(totals.cpuSeconds * 1e3 / MiB(totals.bytes));
                Progress("  run %d: %.1f MiB/s, %.3f ms CPU per MiB (%s)\n", run + 1, rates.back(),
                         cpu.back(), UsageText(totals).c_str());
            }
        }
    }
    std::filesystem::remove(image);
    const std::string prefix = Prefix("ram_transfer.1slot", kind);
    figures.push_back({prefix + ".rate", rates.empty() ? kNotMeasured : Median(rates), "MiB/s"});
    figures.push_back(
        {prefix + ".station_cpu", cpu.empty() ? kNotMeasured : Median(cpu), "ms/MiB"});
}

void AddPtyFloorFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    const int trips = static_cast<int>(plan.oneSlotBytes / engine::kPacketPayloadSize / 4);
    Progress("Bare pseudo-terminal round trips (write, poll, read), %d runs of %d\n", plan.runs,
             trips);
    std::vector<double> cpu;
    for (int run = 0; run < plan.runs; ++run) {
        const double micros = BarePtyRoundTripCpuMicros(trips);
        if (micros == micros) {
            cpu.push_back(micros * kPacketsPerMiB / 1e3);
            Progress("  run %d: %.2f us CPU per round trip = %.3f ms per MiB of packets\n", run + 1,
                     micros, cpu.back());
        }
    }
    figures.push_back(
        {"reference.bare_pty_round_trips.cpu", cpu.empty() ? kNotMeasured : Median(cpu), "ms/MiB"});
}

void AddEightSlotFigures(const BenchPlan& plan, LinkKind kind, std::vector<Figure>& figures) {
    constexpr int kSlots = 8;
    Progress("Eight slots, DownloadToRam of %.0f MiB each over the %s link, %d runs\n",
             MiB(plan.eightSlotBytes), LinkKindName(kind), plan.runs);
    const std::string image = plan.scratchDir + "/eight-slots.bin";
    WritePatternFile(image, plan.eightSlotBytes, 2);
    std::vector<double> rates;
    std::vector<double> fairness;
    std::vector<double> cpu;
    {
        HandsetRig rig(kind, kSlots, LargeTransferHandset(plan.eightSlotBytes), plan.scratchDir);
        StationLinks links(kind, &rig.Bus(), rig.DevicePaths());
        if (rig.PlugAll() && links.AttachAll()) {
            RunRamTransfers(links, image, plan.eightSlotBytes);  // warm-up, not counted
            for (int run = 0; run < plan.runs; ++run) {
                const auto slots = RunRamTransfers(links, image, plan.eightSlotBytes);
                const RunTotals totals = Totals(slots);
                if (!totals.ok) {
                    Progress("  run %d failed\n", run + 1);
                    continue;
                }
                rates.push_back(MiB(totals.bytes) / totals.wallSeconds);
                fairness.push_back(totals.fairness);
                cpu.push_back(totals.cpuSeconds * 1e3 / MiB(totals.bytes));
                Progress(
                    "  run %d: %.1f MiB/s together, slowest/fastest %.3f, %.3f ms CPU per MiB "
                    "(%s)\n"
                    "    per slot (elapsed/CPU per MiB):%s\n",
                    run + 1, rates.back(), fairness.back(), cpu.back(), UsageText(totals).c_str(),
                    SlotTimes(slots).c_str());
            }
        }
    }
    std::filesystem::remove(image);
    const std::string prefix = Prefix("ram_transfer.8slots", kind);
    figures.push_back(
        {prefix + ".aggregate_rate", rates.empty() ? kNotMeasured : Median(rates), "MiB/s"});
    figures.push_back({prefix + ".slowest_to_fastest",
                       fairness.empty() ? kNotMeasured : Median(fairness), "ratio"});
    figures.push_back(
        {prefix + ".station_cpu", cpu.empty() ? kNotMeasured : Median(cpu), "ms/MiB"});
}

namespace {

struct MemoryRun {
    double peakMiB = kNotMeasured;
    double cpuMsPerMiB = kNotMeasured;
    double rate = kNotMeasured;
    double notificationsPerMiB = kNotMeasured;
};

// Eight pseudo-terminal handsets here, the station in a process of its own, so that its
// peak resident memory is the station's alone.
MemoryRun RunEightWholeDownloads(const BenchPlan& plan, uint32_t imageBytes) {
    constexpr int kSlots = 8;
    Progress("Eight whole downloads of %.0f MiB application and modem images (station process)\n",
             MiB(imageBytes));
    const std::string pda = plan.scratchDir + "/pda.nb0";
    const std::string phone = plan.scratchDir + "/modem.bin";
    MemoryRun result;
    if (!WriteSparsePdaImage(pda, imageBytes, 0x5A5A5A5A) || !WriteSparseFile(phone, imageBytes)) {
        return result;
    }
    const uint64_t largest = std::max<uint64_t>(imageBytes, engine::kDefaultPdaSectorSize);
    HandsetRig rig(LinkKind::Pty, kSlots, LargeTransferHandset(largest), plan.scratchDir);
    if (!rig.PlugAll()) {
        return result;
    }
    const auto run = RunStationProcess(plan.selfPath, pda, phone, rig.DevicePaths());
    bool flashed = run && run->ok;
    for (int slot = 0; slot < kSlots && flashed; ++slot) {
        rig.Handset(slot).WaitUntilLeft(std::chrono::seconds(10));
        const emulator::FlashRecord record = rig.Handset(slot).Record();
        flashed = record.launched && record.phone && record.phone->length == imageBytes &&
                  !record.pdaTurns.empty();
    }
    std::filesystem::remove(pda);
    std::filesystem::remove(phone);
    if (!flashed) {
        Progress("  the run failed\n");
        return result;
    }
    result.peakMiB = static_cast<double>(run->peakResidentKb) / 1024.0;
    result.cpuMsPerMiB = run->cpuSeconds * 1e3 / MiB(run->bytes);
    result.rate = MiB(run->bytes) / run->wallSeconds;
    result.notificationsPerMiB = static_cast<double>(run->notifications) / MiB(run->bytes);
    Progress(
        "  peak resident %.1f MiB, %.1f MiB/s together, %.3f ms CPU per MiB, "
        "%llu notifications, %llu log lines\n",
        result.peakMiB, result.rate, result.cpuMsPerMiB, run->notifications, run->logLines);
    return result;
}

}  // namespace

void AddMemoryFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    const auto idle = RunStationProcess(plan.selfPath, "-", "-", {"-"});
    figures.push_back(
        {"whole_run.idle_process.peak_resident",
         idle && idle->ok ? static_cast<double>(idle->peakResidentKb) / 1024.0 : kNotMeasured,
         "MiB"});
    const MemoryRun large = RunEightWholeDownloads(plan, plan.largeImageBytes);
    const MemoryRun small = RunEightWholeDownloads(plan, plan.smallImageBytes);
    figures.push_back({"whole_run.8slots.large_images.peak_resident", large.peakMiB, "MiB"});
    figures.push_back({"whole_run.8slots.small_images.peak_resident", small.peakMiB, "MiB"});
    figures.push_back(
        {"whole_run.8slots.peak_resident_large_to_small", large.peakMiB / small.peakMiB, "ratio"});
    figures.push_back({"whole_run.8slots.large_images.aggregate_rate", large.rate, "MiB/s"});
    figures.push_back({"whole_run.8slots.large_images.station_cpu", large.cpuMsPerMiB, "ms/MiB"});
    figures.push_back({"whole_run.8slots.large_images.notifications_per_mib",
                       large.notificationsPerMiB, "1/MiB"});
}

namespace {

// How late the dialog's event loop runs while whole batches go through the station.
void AddEventLoopFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    Progress("Event loop: %d batch(es) of 8 handsets per run, %d storm lines each, %d runs\n",
             plan.latenessBatches, plan.stormLinesPerBatch, plan.runs);
    const std::string pda = plan.scratchDir + "/lateness.nb0";
    const std::string phone = plan.scratchDir + "/lateness_modem.bin";
    std::vector<double> p99;
    double worst = kNotMeasured;
    if (!WriteSparsePdaImage(pda, plan.latenessPdaBytes, 0x5A5A5A5A) ||
        !WriteSparseFile(phone, plan.latenessPdaBytes / 4)) {
        Progress("  the image files could not be written\n");
    } else {
        // No boot loader: at clock scale 0 the wait for a rebooting handset would be no wait.
        const std::vector<emulator::ChosenImage> images{{images::IMG_PDA, pda},
                                                        {images::IMG_PHONE, phone}};
        for (int run = 0; run < plan.runs; ++run) {
            const EventLoopRun lateness =
                MeasureEventLoopLateness(images, plan.latenessBatches, plan.stormLinesPerBatch);
            if (!lateness.ok) {
                Progress("  run %d failed: %s\n", run + 1, lateness.error.c_str());
                continue;
            }
            p99.push_back(lateness.p99Ms);
            worst = worst == worst ? std::max(worst, lateness.maxMs) : lateness.maxMs;
            Progress("  run %d: %zu ticks, p99 %.2f ms, max %.2f ms late\n", run + 1,
                     lateness.ticks, lateness.p99Ms, lateness.maxMs);
        }
    }
    figures.push_back(
        {"ui.event_loop.lateness_p99_ms", p99.empty() ? kNotMeasured : Median(p99), "ms"});
    // The worst tick of every run, not a median: one stall is what the operator notices.
    figures.push_back({"ui.event_loop.lateness_max_ms", p99.empty() ? kNotMeasured : worst, "ms"});
}

// The median of a figure's runs; not measured when every run failed.
double MedianOfRuns(const std::vector<double>& runs) {
    return runs.empty() ? kNotMeasured : Median(runs);
}

// What an append to the main log costs the dialog thread, early and late in a long log.
void AddMainLogFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    Progress("Main log: %d appends on the dialog thread, %d runs\n", plan.logLines, plan.runs);
    std::vector<double> total;
    std::vector<double> first;
    std::vector<double> last;
    for (int run = 0; run < plan.runs; ++run) {
        const MainLogAppends appends = MeasureMainLogAppends(plan.logLines);
        if (!appends.ok) {
            Progress("  run %d lost lines\n", run + 1);
            continue;
        }
        total.push_back(appends.totalSeconds);
        first.push_back(appends.firstThousandSeconds * 1e3);
        last.push_back(appends.lastThousandSeconds * 1e3);
        Progress("  run %d: %.3f s, first 1000 %.2f ms, last 1000 %.2f ms\n", run + 1, total.back(),
                 first.back(), last.back());
    }
    figures.push_back({"main_log.append_all", MedianOfRuns(total), "s"});
    figures.push_back({"main_log.first_1000", MedianOfRuns(first), "ms"});
    figures.push_back({"main_log.last_1000", MedianOfRuns(last), "ms"});
    figures.push_back({"main_log.last_to_first",
                       first.empty() ? kNotMeasured : Median(last) / Median(first), "ratio"});
}

// What a worker's status notification costs the dialog, eight workers at once.
void AddStatusFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    Progress("Status notifications: 8 workers x %d, %d runs\n", plan.notificationsPerWorker,
             plan.runs);
    std::vector<double> dialogCpu;
    std::vector<double> wall;
    std::vector<double> direct;
    for (int run = 0; run < plan.runs; ++run) {
        const StatusHandling handling = MeasureStatusNotifications(plan.notificationsPerWorker);
        if (!handling.ok) {
            Progress("  run %d: the slots did not stay as they were\n", run + 1);
            continue;
        }
        dialogCpu.push_back(handling.dialogCpuMicros);
        wall.push_back(handling.wallMicros);
        direct.push_back(handling.directMicros);
        Progress(
            "  run %d: dialog CPU %.1f us, elapsed %.1f us per notification; handler %.1f us\n",
            run + 1, dialogCpu.back(), wall.back(), direct.back());
    }
    figures.push_back({"status.dialog_cpu_per_notification", MedianOfRuns(dialogCpu), "us"});
    figures.push_back({"status.elapsed_per_notification", MedianOfRuns(wall), "us"});
    figures.push_back({"status.handler_direct_call", MedianOfRuns(direct), "us"});
}

}  // namespace

void AddConsoleFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    AddMainLogFigures(plan, figures);
    AddStatusFigures(plan, figures);
    AddEventLoopFigures(plan, figures);
}

void AddSoakFigures(const BenchPlan& plan, std::vector<Figure>& figures) {
    Progress("Soak: %d batches of 8 handsets in a station process, growth after batch %d\n",
             plan.soakBatches, plan.soakBaselineBatch);
    std::string error;
    const std::string samples = plan.scratchDir + "/sample-images";
    std::optional<SoakRun> soak;
    if (!bench::EnsureSampleSet(samples, error)) {
        Progress("  no sample set: %s\n", error.c_str());
    } else {
        soak = RunSoakProcess(plan.selfPath, plan.soakBatches, plan.soakBaselineBatch, samples);
    }
    const bool ok = soak && soak->ok;
    if (ok) {
        Progress("  %d batches in %.1f s\n", soak->batches, soak->wallSeconds);
    } else {
        Progress("  the soak process failed\n");
    }
    figures.push_back({"soak.rss_growth_mib", ok ? soak->residentGrowthMiB : kNotMeasured, "MiB"});
    figures.push_back(
        {"soak.fd_growth", ok ? static_cast<double>(soak->descriptorGrowth) : kNotMeasured, "fds"});
    figures.push_back({"soak.thread_growth",
                       ok ? static_cast<double>(soak->threadGrowth) : kNotMeasured, "threads"});
}

void AddMachineFigures(const char* when, std::vector<Figure>& figures) {
    double load = kNotMeasured;
    std::ifstream("/proc/loadavg") >> load;
    if (std::string(when) == "before") {
        figures.push_back(
            {"machine.cores", static_cast<double>(std::thread::hardware_concurrency()), "cores"});
    }
    figures.push_back({std::string("machine.load_1min_") + when, load, "runnable"});
}

}  // namespace vantorel::benchmarks
