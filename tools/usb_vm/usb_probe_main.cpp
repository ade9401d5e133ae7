// vantorel-usb-probe: the station's real link code (libudev directory, libusb bulk link, the
// boot-loader operations) against gadget handsets on a real USB stack. Finds the handsets,
// opens one link each, takes them through a whole run with a reboot in the middle while one
// more handset is unplugged mid-transfer, checks what they flashed, and prints one verdict
// line; exit 0 only on success.

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "command_line/command_option.h"
#include "link/platform/device_path.h"
#include "link/platform/linux/linux_link_platform.h"
#include "tools/usb_vm/bare_round_trips.h"
#include "tools/usb_vm/full_run.h"
#include "tools/usb_vm/hotplug_watch.h"
#include "tools/usb_vm/probe_arguments.h"
#include "tools/usb_vm/record_check.h"
#include "tools/usb_vm/victim_run.h"

using namespace vantorel;
using namespace vantorel::usb_vm;

namespace {

double Seconds(SteadyClock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// What the probe found wrong; the verdict is PASS only while this stays empty.
class Problems {
public:
    void Add(std::string problem) {
        std::fprintf(stderr, "usb-vm-probe: problem: %s\n", problem.c_str());
        m_list.push_back(std::move(problem));
    }
    bool Empty() const { return m_list.empty(); }
    const std::vector<std::string>& List() const { return m_list; }

private:
    std::vector<std::string> m_list;
};

// One worker per handset; the main thread waits for all of them with one bound.
class Finishes {
public:
    void MarkDone() {
        {
            std::lock_guard lock(m_mutex);
            ++m_done;
        }
        m_changed.notify_all();
    }
    bool WaitAll(size_t count, std::chrono::milliseconds bound) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] { return m_done >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_done = 0;
};

bool WaitForHandsets(link::DeviceDirectory& directory, size_t count,
                     std::chrono::milliseconds bound) {
    const auto deadline = SteadyClock::now() + bound;
    for (;;) {
        const auto paths = directory.ListPresent(link::GUID_DEVINTERFACE_DOWNLOAD);
        if (paths && paths->size() >= count) {
            return true;
        }
        if (SteadyClock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// The attach step: one link per handset, each opened with no path, so that every link
// binds a handset no other link holds.
std::vector<ProbedHandset> OpenHandsets(const ProbeOptions& options, link::LinkPlatform& platform,
                                        Problems& problems) {
    std::vector<ProbedHandset> handsets;
    std::set<std::string> paths;
    std::set<std::string> names;
    for (int slot = 0; slot < options.TotalHandsets(); ++slot) {
        ProbedHandset handset;
        handset.slot = slot;
        handset.link = std::make_unique<link::CWinUsbInterface>(platform);
        if (!handset.link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, slot, nullptr)) {
            problems.Add("link " + std::to_string(slot) + " opened no handset");
            continue;
        }
        handset.devicePath = handset.link->DevicePath();
        const auto port = link::PortPathOf(handset.devicePath);
        handset.name = port ? ReadUsbSerial(options.usbDevicesDir, *port) : "";
        std::printf("usb-vm-probe: link %d opened %s (%s)\n", slot, handset.devicePath.c_str(),
                    handset.name.c_str());
        if (!paths.insert(handset.devicePath).second) {
            problems.Add("two links opened " + handset.devicePath);
        }
        if (handset.name.empty() || !names.insert(handset.name).second) {
            problems.Add("no distinct gadget name behind " + handset.devicePath);
        }
        handsets.push_back(std::move(handset));
    }
    return handsets;
}

// The bare libusb round trips alone: their CPU per MiB sent is the floor the station's
// figure is set beside.
int RunBare(const ProbeOptions& options) {
    const BareRoundTripReport report =
        RunBareRoundTrips(options.fullRunHandsets, options.bareRoundTrips, options.presentBound);
    if (!report.bPassed) {
        std::printf("usb-vm-probe: FAIL: bare round trips: %s\n", report.failure.c_str());
        return 1;
    }
    const double mib = static_cast<double>(report.bytesOut) / (1 << 20);
    const double cpu = std::chrono::duration<double>(report.cpu.Total()).count();
    std::printf(
        "usb-vm-probe: bare libusb: %llu round trips (2048 bytes out, 4 in) on %d handset(s), "
        "%llu bytes out in %.2f s; CPU %.3f s (user %.3f s, system %.3f s) = %.2f ms/MiB\n",
        static_cast<unsigned long long>(report.roundTrips), options.fullRunHandsets,
        static_cast<unsigned long long>(report.bytesOut), report.wall.count(), cpu,
        std::chrono::duration<double>(report.cpu.user).count(),
        std::chrono::duration<double>(report.cpu.system).count(), cpu * 1e3 / mib);
    std::printf("usb-vm-probe: PASS: bare round trips, every echo matched (%.2f ms CPU/MiB)\n",
                cpu * 1e3 / mib);
    return 0;
}

// What each handset's worker left: a whole run's report, or the victim's.
struct HandsetRuns {
    std::vector<ProbeImages> images;
    std::vector<std::optional<FullRunReport>> fullReports;
    std::optional<VictimReport> victimReport;
};

// Each handset runs on its own thread, as each slot has its worker; the main thread waits for
// all of them with one bound.
HandsetRuns RunHandsets(const ProbeOptions& options, const ProbeRunContext& context,
                        std::vector<ProbedHandset>& handsets, Problems& problems) {
    HandsetRuns runs;
    runs.images.resize(handsets.size());
    runs.fullReports.resize(handsets.size());
    Finishes finishes;
    std::vector<std::jthread> workers;
    for (size_t i = 0; i < handsets.size(); ++i) {
        const bool victim = handsets[i].name == options.victim;
        runs.images[i] =
            MakeProbeImages(handsets[i].name, options.ebootSize, victim ? 0 : options.phoneSize,
                            victim ? 0 : options.cscSize);
        workers.emplace_back([&, i, victim] {
            if (victim) {
                runs.victimReport = RunVictim(handsets[i], runs.images[i].eboot, context);
            } else {
                runs.fullReports[i] = RunFullSequence(handsets[i], runs.images[i], context);
            }
            finishes.MarkDone();
        });
    }
    if (!finishes.WaitAll(workers.size(), options.runBound)) {
        problems.Add("the handsets did not finish within " +
                     std::to_string(options.runBound.count()) + " ms");
        // Closing a link ends a read blocked on it, so the workers can be joined.
        for (ProbedHandset& handset : handsets) {
            handset.link->Close();
        }
    }
    workers.clear();
    return runs;
}

// The whole runs: their figures, and the records to check. `hotplug` is null when the
// monitor could not start. Returns how many passed.
int JudgeFullRuns(const std::vector<ProbedHandset>& handsets, const HandsetRuns& runs,
                  const HotplugWatch* hotplug, std::vector<ExpectedRecord>& expected,
                  Problems& problems) {
    int passed = 0;
    for (size_t i = 0; i < handsets.size(); ++i) {
        const ProbedHandset& handset = handsets[i];
        const auto& report = runs.fullReports[i];
        if (!report) {
            continue;
        }
        if (!report->bPassed) {
            problems.Add(handset.name + ": " + report->failure);
            continue;
        }
        ++passed;
        expected.push_back({handset.name, &runs.images[i]});
        std::printf(
            "usb-vm-probe: %s: %.2f MB in data packets in %.2f s = %.2f MB/s (median packet "
            "write %.2f ms, echo %.2f ms); reboot to re-open %.2f s; whole run %.2f s\n",
            handset.name.c_str(), static_cast<double>(report->payloadBytes) / 1e6,
            Seconds(report->packetTime),
            static_cast<double>(report->payloadBytes) / 1e6 / Seconds(report->packetTime),
            Seconds(report->medianWrite) * 1e3, Seconds(report->medianEcho) * 1e3,
            Seconds(report->rebootTime), Seconds(report->wholeTime));
        if (hotplug != nullptr && !hotplug->SawDeparture(handset.devicePath, true)) {
            problems.Add(handset.name + ": the hot-plug monitor (" + hotplug->Source() +
                         ") saw no removal and arrival of " + handset.devicePath);
        }
    }
    return passed;
}

// The handset unplugged mid-transfer: its read must have ended, and the monitor seen it go.
void JudgeVictim(const ProbeOptions& options, const std::vector<ProbedHandset>& handsets,
                 const HandsetRuns& runs, const HotplugWatch* hotplug, Problems& problems) {
    const auto victim = std::find_if(handsets.begin(), handsets.end(),
                                     [&](const auto& h) { return h.name == options.victim; });
    if (!runs.victimReport) {
        problems.Add("no handset named " + options.victim + " to unplug");
    } else if (!runs.victimReport->bPassed) {
        problems.Add(options.victim + " (unplugged): " + runs.victimReport->failure);
    } else {
        std::printf(
            "usb-vm-probe: %s: unplugged while the link waited for an echo; the "
            "read returned 0 after %.3f s\n",
            options.victim.c_str(), Seconds(runs.victimReport->readEndAfterUnbind));
        if (hotplug != nullptr && victim != handsets.end() &&
            !hotplug->SawDeparture(victim->devicePath, false)) {
            problems.Add(options.victim + ": the hot-plug monitor saw no removal");
        }
    }
}

int PrintVerdict(const ProbeOptions& options, const Problems& problems, int fullRunsPassed,
                 SteadyClock::time_point start) {
    const double elapsed = Seconds(SteadyClock::now() - start);
    if (!problems.Empty()) {
        std::printf("usb-vm-probe: FAIL: %zu problems, first: %s (%.1f s)\n",
                    problems.List().size(), problems.List().front().c_str(), elapsed);
        return 1;
    }
    std::printf(
        "usb-vm-probe: PASS: %d handsets flashed through a reboot and matched byte for "
        "byte%s (%.1f s)\n",
        fullRunsPassed, options.victim.empty() ? "" : ", one unplugged mid-transfer ended its read",
        elapsed);
    return 0;
}

// The whole probe: find and open the handsets, run them, judge what they did.
int RunProbe(const ProbeOptions& options) {
    const auto start = SteadyClock::now();
    Problems problems;
    link::linux_platform::LinuxLinkPlatform realPlatform;
    StderrMessageSink messages;
    const Clock clock;
    link::LinkPlatform platform = realPlatform.Compose(messages, clock);
    if (!realPlatform.OffersBulkLinks()) {
        std::puts("usb-vm-probe: FAIL: libusb did not initialise");
        return 1;
    }
    HotplugWatch hotplug;
    std::string error;
    const HotplugWatch* watch = hotplug.Start(error) ? &hotplug : nullptr;
    if (watch == nullptr) {
        problems.Add(error);
    }
    const auto total = static_cast<size_t>(options.TotalHandsets());
    if (!WaitForHandsets(realPlatform.Directory(), total, options.presentBound)) {
        std::printf("usb-vm-probe: FAIL: fewer than %zu handsets listed after %lld ms\n", total,
                    static_cast<long long>(options.presentBound.count()));
        return 1;
    }
    std::vector<ProbedHandset> handsets = OpenHandsets(options, platform, problems);
    const ProbeRunContext context{options, realPlatform.Directory(), clock};
    const HandsetRuns runs = RunHandsets(options, context, handsets, problems);

    std::vector<ExpectedRecord> expected;
    const int fullRunsPassed = JudgeFullRuns(handsets, runs, watch, expected, problems);
    if (fullRunsPassed < options.fullRunHandsets) {
        problems.Add(std::to_string(fullRunsPassed) + " of " +
                     std::to_string(options.fullRunHandsets) + " handsets finished the whole run");
    }
    if (!options.victim.empty()) {
        JudgeVictim(options, handsets, runs, watch, problems);
    }
    if (!options.recordDir.empty() && !expected.empty()) {
        for (std::string& problem : CheckRecords(options, expected)) {
            problems.Add(std::move(problem));
        }
    }
    for (const std::string& message : messages.Messages()) {
        std::printf("usb-vm-probe: message box: %s\n", message.c_str());
    }
    if (watch != nullptr) {
        std::printf("usb-vm-probe: hot-plug monitor listened to %s events, saw %zu\n",
                    hotplug.Source().c_str(), hotplug.Events().size());
    }
    return PrintVerdict(options, problems, fullRunsPassed, start);
}

}  // namespace

int main(int argc, char** argv) {
    ProbeOptions options;
    std::string error;
    if (!ParseProbeArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        return command_line::RefuseCommandLine("vantorel-usb-probe", error);
    }
    if (options.bHelp) {
        std::fputs(UsbProbeUsage().c_str(), stdout);
        return 0;
    }
    return options.bareRoundTrips > 0 ? RunBare(options) : RunProbe(options);
}
