// The headless station on this machine's real download-mode devices.
#include <cstdio>

#include "base/process_cpu.h"
#include "bench/headless_run.h"
#include "console/slot_state.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/platform/linux/udev_hotplug_monitor.h"

namespace vantorel::bench {

int RunReal(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen) {
    link::linux_platform::LinuxLinkPlatform platform;
    if (!platform.OffersBulkLinks()) {
        Note("libusb cannot be used here: no bulk link to a real handset");
        return kExitFailed;
    }
    link::linux_platform::UdevHotplugMonitor hotplug;
    const Clock clock{args.timeScale};
    HeadlessStation station(
        {platform.Directory(), platform.Serial(), platform.Bulk(), true, clock, hotplug}, args);
    if (const auto refused = station.Arm(chosen)) {
        return *refused;
    }
    console::StationScript& script = station.Script();
    Note("detecting (hot-plug events from " + std::string(hotplug.Source()) + "): plug in " +
         std::to_string(args.nHandsets) + " handset(s) in download mode");
    const bool bAllAttached = console::StationScript::PumpUntil(
        [&] { return script.AttachedCount() >= args.nHandsets; }, station.Remaining());
    Note(std::to_string(script.AttachedCount()) + " of " + std::to_string(args.nHandsets) +
         " handset(s) attached" + (bAllAttached ? "" : " before the time ran out"));
    // The CPU the whole station spends on the batch, for a figure per byte sent; this
    // thread's share is the window's and the event pumping's, the rest the workers'.
    const ProcessCpu before = ProcessCpu::Now();
    const ProcessCpu uiBefore = ProcessCpu::ThisThread();
    const bool bEnded = station.DownloadAndWait();
    const ProcessCpu used = ProcessCpu::Now() - before;
    const ProcessCpu uiUsed = ProcessCpu::ThisThread() - uiBefore;
    const auto seconds = [](std::chrono::microseconds cpu) {
        return std::chrono::duration<double>(cpu).count();
    };
    char cpu[160];
    std::snprintf(cpu, sizeof cpu,
                  "download used %.3f s of CPU (user %.3f s, system %.3f s; UI thread %.3f s)",
                  seconds(used.Total()), seconds(used.user), seconds(used.system),
                  seconds(uiUsed.Total()));
    Note(cpu);

    // The handsets that attached are the ones judged; those that never came are named too.
    std::vector<ExpectedHandset> expected;
    for (const console::SlotOutcome& slot : script.Outcomes()) {
        if (slot.state != console::SLOT_WAITING) {
            expected.push_back({slot.deviceName, slot.deviceName, std::nullopt});
        }
    }
    for (int missing = static_cast<int>(expected.size()); missing < args.nHandsets; ++missing) {
        expected.push_back({"#" + std::to_string(missing + 1), "", std::nullopt});
    }
    return station.Report(expected, chosen, bEnded);
}

}  // namespace vantorel::bench
