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

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    ProbeOptions options;
    std::string error;
    if (!ParseProbeArguments(args, options, error)) {
        std::fprintf(stderr, "vantorel-usb-probe: %s\n%s", error.c_str(), kUsbProbeUsage);
        return 2;
    }
    if (options.bHelp) {
        std::fputs(kUsbProbeUsage, stdout);
        return 0;
    }
    if (options.bareRoundTrips > 0) {
        return RunBare(options);
    }
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
    const bool watching = hotplug.Start(error);
    if (!watching) {
        problems.Add(error);
    }

    const auto total = static_cast<size_t>(options.TotalHandsets());
    if (!WaitForHandsets(realPlatform.Directory(), total, options.presentBound)) {
        std::printf("usb-vm-probe: FAIL: fewer than %zu handsets listed after %lld ms\n", total,
                    static_cast<long long>(options.presentBound.count()));
        return 1;
    }
    std::vector<ProbedHandset> handsets = OpenHandsets(options, platform, problems);

    // Each handset runs on its own thread, as each slot has its worker.
    const ProbeRunContext context{options, realPlatform.Directory(), clock};
    std::vector<ProbeImages> images(handsets.size());
    std::vector<std::optional<FullRunReport>> fullReports(handsets.size());
    std::optional<VictimReport> victimReport;
    Finishes finishes;
    std::vector<std::jthread> workers;
    for (size_t i = 0; i < handsets.size(); ++i) {
        ProbedHandset& handset = handsets[i];
        const bool victim = handset.name == options.victim;
        images[i] = MakeProbeImages(handset.name, options.ebootSize, victim ? 0 : options.phoneSize,
                                    victim ? 0 : options.cscSize);
        workers.emplace_back([&, i, victim] {
            if (victim) {
                victimReport = RunVictim(handsets[i], images[i].eboot, context);
            } else {
                fullReports[i] = RunFullSequence(handsets[i], images[i], context);
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

    std::vector<ExpectedRecord> expected;
    int fullRunsPassed = 0;
    for (size_t i = 0; i < handsets.size(); ++i) {
        const ProbedHandset& handset = handsets[i];
        if (const auto& report = fullReports[i]) {
            if (!report->bPassed) {
                problems.Add(handset.name + ": " + report->failure);
                continue;
            }
            ++fullRunsPassed;
            expected.push_back({handset.name, &images[i]});
            std::printf(
                "usb-vm-probe: %s: %.2f MB in data packets in %.2f s = %.2f MB/s (median packet "
                "write %.2f ms, echo %.2f ms); reboot to re-open %.2f s; whole run %.2f s\n",
                handset.name.c_str(), static_cast<double>(report->payloadBytes) / 1e6,
                Seconds(report->packetTime),
                static_cast<double>(report->payloadBytes) / 1e6 / Seconds(report->packetTime),
                Seconds(report->medianWrite) * 1e3, Seconds(report->medianEcho) * 1e3,
                Seconds(report->rebootTime), Seconds(report->wholeTime));
            if (watching && !hotplug.SawDeparture(handset.devicePath, true)) {
                problems.Add(handset.name + ": the hot-plug monitor (" + hotplug.Source() +
                             ") saw no removal and arrival of " + handset.devicePath);
            }
        }
    }
    if (fullRunsPassed < options.fullRunHandsets) {
        problems.Add(std::to_string(fullRunsPassed) + " of " +
                     std::to_string(options.fullRunHandsets) + " handsets finished the whole run");
    }
    if (!options.victim.empty()) {
        const auto victim = std::find_if(handsets.begin(), handsets.end(),
                                         [&](const auto& h) { return h.name == options.victim; });
        if (!victimReport) {
            problems.Add("no handset named " + options.victim + " to unplug");
        } else if (!victimReport->bPassed) {
            problems.Add(options.victim + " (unplugged): " + victimReport->failure);
        } else {
            std::printf(
                "usb-vm-probe: %s: unplugged while the link waited for an echo; the "
                "read returned 0 after %.3f s\n",
                options.victim.c_str(), Seconds(victimReport->readEndAfterUnbind));
            if (watching && victim != handsets.end() &&
                !hotplug.SawDeparture(victim->devicePath, false)) {
                problems.Add(options.victim + ": the hot-plug monitor saw no removal");
            }
        }
    }
    if (!options.recordDir.empty() && !expected.empty()) {
        for (std::string& problem : CheckRecords(options, expected)) {
            problems.Add(std::move(problem));
        }
    }
    for (const std::string& message : messages.Messages()) {
        std::printf("usb-vm-probe: message box: %s\n", message.c_str());
    }
    if (watching) {
        std::printf("usb-vm-probe: hot-plug monitor listened to %s events, saw %zu\n",
                    hotplug.Source().c_str(), hotplug.Events().size());
    }

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
