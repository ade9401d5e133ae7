#include "benchmarks/station_runs.h"

#include <pthread.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <latch>
#include <thread>

#include "benchmarks/bench_host.h"
#include "benchmarks/thread_cpu.h"
#include "engine/download_worker.h"
#include "engine/ram_transfer.h"
#include "images/pda_image.h"

namespace vantorel::benchmarks {

namespace {

// Runs `work(slot)` on one thread per slot, released together once all threads are up, and
// measures each from inside its own thread.
std::vector<SlotRun> OnePerSlot(int count, const std::function<bool(int, uint64_t&)>& work) {
    std::vector<SlotRun> runs(static_cast<size_t>(count));
    std::latch start(count);
    {
        std::vector<std::jthread> workers;
        for (int slot = 0; slot < count; ++slot) {
            workers.emplace_back([&, slot] {
                SlotRun& run = runs[static_cast<size_t>(slot)];
                // Named, so a profile tells the station's workers from the handsets.
                ::pthread_setname_np(::pthread_self(), ("station-" + std::to_string(slot)).c_str());
                start.arrive_and_wait();
                const double wall0 = WallSeconds();
                const double cpu0 = ThreadCpuSeconds();
                const ThreadUsage usage0 = ThreadUsage::Now();
                run.ok = work(slot, run.bytes);
                run.cpuSeconds = ThreadCpuSeconds() - cpu0;
                run.usage = ThreadUsage::Now() - usage0;
                run.wallSeconds = WallSeconds() - wall0;
            });
        }
    }
    return runs;
}

}  // namespace

std::vector<SlotRun> RunRamTransfers(StationLinks& links, const std::string& imagePath,
                                     uint32_t length) {
    BenchHost host;
    return OnePerSlot(links.Count(), [&](int slot, uint64_t& bytes) {
        engine::ImageFile file;
        if (!file.Open(imagePath)) {
            return false;
        }
        const engine::SlotContext context{links.Link(slot), host, slot, kRunClock};
        uint32_t errorFlag = 0;
        const uint32_t code =
            engine::DownloadToRam(context, engine::IMG_PDA, file, 0, length, 0, errorFlag);
        bytes = code == 0 ? length : 0;
        return code == 0;
    });
}

engine::DownloadImages PdaAndPhoneImages(const std::string& pdaPath, const std::string& phonePath) {
    engine::DownloadImages images;
    images.bPda = true;
    images.strPdaPath = pdaPath;
    images.info.dwPdaSize = static_cast<uint32_t>(std::filesystem::file_size(pdaPath));
    images.bPhone = true;
    images.strPhonePath = phonePath;
    images.info.dwPhoneSize = static_cast<uint32_t>(std::filesystem::file_size(phonePath));
    images.info.dwPhoneLen = images.info.dwPhoneSize;
    return images;
}

std::vector<SlotRun> RunWholeDownloads(StationLinks& links, const engine::DownloadImages& images,
                                       BenchHost& host) {
    const engine::DownloadOptions options;
    const uint64_t bytes = uint64_t{images.info.dwPdaSize} - images::kPdaHeaderSize +
                           uint64_t{images.info.dwPhoneSize};
    auto runs = OnePerSlot(links.Count(), [&](int slot, uint64_t& sent) {
        engine::SLOT_WORKER_PARAM param;
        param.nSlot = slot;
        param.pDlg = &host;
        param.pUsb = &links.Link(slot);
        param.pImages = &images;
        param.pOptions = &options;
        param.pClock = &kRunClock;
        engine::DownloadThreadProc(param, {});
        sent = host.Finished(slot) ? bytes : 0;
        return host.Finished(slot) && host.Failure(slot) == 0;
    });
    return runs;
}

RunTotals Totals(const std::vector<SlotRun>& slots) {
    RunTotals totals;
    totals.ok = !slots.empty();
    double slowest = 0.0;
    double fastest = 0.0;
    for (const SlotRun& run : slots) {
        totals.ok = totals.ok && run.ok;
        totals.wallSeconds = std::max(totals.wallSeconds, run.wallSeconds);
        totals.cpuSeconds += run.cpuSeconds;
        totals.bytes += run.bytes;
        totals.usage.userSeconds += run.usage.userSeconds;
        totals.usage.systemSeconds += run.usage.systemSeconds;
        totals.usage.voluntarySwitches += run.usage.voluntarySwitches;
        totals.usage.forcedSwitches += run.usage.forcedSwitches;
        const double rate =
            run.wallSeconds > 0 ? static_cast<double>(run.bytes) / run.wallSeconds : 0.0;
        slowest = &run == &slots.front() ? rate : std::min(slowest, rate);
        fastest = std::max(fastest, rate);
    }
    totals.fairness = fastest > 0 ? slowest / fastest : 0.0;
    return totals;
}

}  // namespace vantorel::benchmarks
