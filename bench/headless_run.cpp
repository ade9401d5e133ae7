#include "bench/headless_run.h"

#include <QAbstractButton>
#include <QObject>
#include <algorithm>
#include <chrono>
#include <string>

#include "bench/headless_station.h"

namespace vantorel::bench {

namespace {

using std::chrono::milliseconds;

// How long handsets may take to attach after the last was plugged in: several greetings
// with their waits, at the run's time scale, and real time for opening the links.
milliseconds AttachBound(const Clock& clock) {
    return std::chrono::duration_cast<milliseconds>(clock.ToReal(Clock::Duration(60000))) +
           std::chrono::seconds(3);
}

std::vector<ExpectedHandset> ExpectedHandsets(const BenchArguments& args, EmulatedBench& bench) {
    std::vector<ExpectedHandset> expected;
    const engine::SlotPortMap map = BenchPortMap(args);
    for (int row = 0; row < args.nHandsets; ++row) {
        const std::optional<int> bound =
            args.bSlotsFollowPorts ? map.SlotOf(bench.PortName(row)) : std::nullopt;
        expected.push_back(
            {bench.PortName(row), bench.InstanceName(row), bench.Record(row), bound.value_or(-1)});
    }
    for (const std::string& path : bench.TtyPaths()) {
        expected.push_back({path, path, std::nullopt});
    }
    return expected;
}

// With slots that run on their own: each named handset has ended in the shift.
bool EveryHandsetEnded(const console::CVantorelDlg& dlg,
                       const std::vector<ExpectedHandset>& handsets) {
    return std::all_of(handsets.begin(), handsets.end(), [&](const ExpectedHandset& handset) {
        return std::any_of(
            dlg.m_shiftEnded.begin(), dlg.m_shiftEnded.end(),
            [&](const auto& ended) { return ended.deviceName == handset.instanceName; });
    });
}

}  // namespace

int RunHeadless(const BenchArguments& args, const std::vector<emulator::ChosenImage>& chosen,
                EmulatedBench& bench) {
    HeadlessStation station({bench.Directory(), bench.Serial(), bench.Bulk(),
                             bench.OffersBulkLinks(), bench.GetClock(), bench.Hotplug()},
                            args);
    QObject::connect(station.Dialog().Controls().As<QAbstractButton>(console::ctl::kDetect),
                     &QAbstractButton::clicked, [&bench] { bench.AnnounceTtyHandsets(); });
    console::StationScript& script = station.Script();
    if (const auto refused = station.Arm(chosen)) {
        return *refused;
    }

    // One after the other, as a hand plugs them, each attached before the next comes, in the
    // order the command line asks for. The external handsets present now were announced by
    // Detect.
    const milliseconds attachBound = AttachBound(bench.GetClock());
    const auto waitForAttached = [&](int count) {
        return console::StationScript::PumpUntil([&] { return script.AttachedCount() >= count; },
                                                 std::min(attachBound, station.Remaining()));
    };
    int present = 0;
    for (size_t tty = 0; tty < bench.TtyPaths().size(); ++tty) {
        present += bench.IsTtyPresent(static_cast<int>(tty)) ? 1 : 0;
    }
    waitForAttached(present);
    for (const int row : args.plugOrder) {
        const int attached = script.AttachedCount();
        bench.Plug(row);
        if (!bench.WaitUntilPlugged(row, std::chrono::seconds(5))) {
            Note("handset " + bench.PortName(row) + " could not be plugged in");
        }
        waitForAttached(attached + 1);
    }
    if (station.Dialog().m_bPipelined) {
        // Each handset started as it arrived; external ones may still come.
        const std::vector<ExpectedHandset> handsets = ExpectedHandsets(args, bench);
        const bool bEnded = console::StationScript::WaitUntil(
            [&] { return EveryHandsetEnded(station.Dialog(), handsets); }, station.Remaining());
        return station.Report(ExpectedHandsets(args, bench), chosen, bEnded);
    }
    // External handsets that appear later still get their time.
    const int expected = args.nHandsets + static_cast<int>(bench.TtyPaths().size());
    const bool bAllAttached = script.AttachedCount() >= expected ||
                              (!bench.TtyPaths().empty() && waitForAttached(expected));
    Note(std::to_string(script.AttachedCount()) + " of " + std::to_string(expected) +
         " handset(s) attached" + (bAllAttached ? "" : " before the attach time ran out"));
    const bool bEnded = station.DownloadAndWait();
    return station.Report(ExpectedHandsets(args, bench), chosen, bEnded);
}

}  // namespace vantorel::bench
