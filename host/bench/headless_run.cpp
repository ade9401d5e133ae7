#include "host/bench/headless_run.h"

#include <QAbstractButton>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <string>

#include "console/bench/console_prompts.h"
#include "console/bench/station_script.h"
#include "console/vantorel_dlg.h"
#include "host/bench/bench_verdict.h"

namespace vantorel::bench {

namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

// How long handsets may take to attach after the last was plugged in: several greetings
// with their waits, at the run's time scale, and real time for opening the links.
milliseconds AttachBound(const Clock& clock) {
    return std::chrono::duration_cast<milliseconds>(clock.ToReal(Clock::Duration(60000))) +
           std::chrono::seconds(3);
}

void Note(const std::string& text) {
    std::fprintf(stderr, "vantorel-bench: %s\n", text.c_str());
    std::fflush(stderr);
}

// The main log with its "\r\n" line ends as this system's.
std::string WithPlainLineEnds(const std::string& log) {
    std::string text;
    text.reserve(log.size());
    for (const char c : log) {
        if (c != '\r') {
            text += c;
        }
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    return text;
}

std::vector<ExpectedHandset> ExpectedHandsets(const BenchArguments& args, EmulatedBench& bench) {
    std::vector<ExpectedHandset> expected;
    for (int row = 0; row < args.nHandsets; ++row) {
        expected.push_back({bench.PortName(row), bench.InstanceName(row), bench.Record(row)});
    }
    for (const std::string& path : bench.TtyPaths()) {
        expected.push_back({path, path, std::nullopt});
    }
    return expected;
}

}  // namespace

int RunHeadless(const BenchArguments& args, const std::vector<ChosenImage>& chosen,
                EmulatedBench& bench) {
    console::ConsolePrompts prompts;
    console::BenchSyncService sync;
    const console::ConsoleEnvironment environment{
        bench.Directory(), bench.Serial(), bench.Bulk(), bench.OffersBulkLinks(),
        bench.GetClock(),  sync,           prompts,      &bench.Hotplug(),
    };
    console::CVantorelDlg dlg(environment);
    dlg.OnInitDialog();
    QObject::connect(dlg.Controls().As<QAbstractButton>(console::ctl::kDetect),
                     &QAbstractButton::clicked, [&bench] { bench.AnnounceTtyHandsets(); });
    console::StationScript script(dlg, prompts);

    std::string error;
    for (const ChosenImage& image : chosen) {
        if (!script.ChooseImage(image.kind, image.path, error)) {
            Note("cannot choose " + error);
            return kExitBadArguments;
        }
    }
    for (const OptionChoice& option : args.options) {
        if (!script.SetOption(option.caption, option.bChecked, error)) {
            Note(error);
            return kExitBadArguments;
        }
    }
    if (!script.PressDetect(error)) {
        Note(error);
        return kExitBadArguments;
    }

    const auto deadline = Steady::now() + args.timeout;
    const auto remaining = [&deadline] {
        return std::chrono::duration_cast<milliseconds>(deadline - Steady::now());
    };
    // One after the other, as a hand plugs them, each attached before the next comes: the
    // station binds an arrival to the first free handset its directory lists, so arrivals
    // out of that order would cross the slots' recorded paths (and a reboot would then wake
    // the wrong slot). The external handsets present now were announced by Detect.
    const milliseconds attachBound = AttachBound(bench.GetClock());
    const auto waitForAttached = [&](int count) {
        return console::StationScript::PumpUntil([&] { return script.AttachedCount() >= count; },
                                                 std::min(attachBound, remaining()));
    };
    int present = 0;
    for (size_t tty = 0; tty < bench.TtyPaths().size(); ++tty) {
        present += bench.IsTtyPresent(static_cast<int>(tty)) ? 1 : 0;
    }
    waitForAttached(present);
    for (int row = 0; row < args.nHandsets; ++row) {
        const int attached = script.AttachedCount();
        bench.Plug(row);
        if (!bench.WaitUntilPlugged(row, std::chrono::seconds(5))) {
            Note("handset " + bench.PortName(row) + " could not be plugged in");
        }
        waitForAttached(attached + 1);
    }
    // External handsets that appear later still get their time.
    const int expected = args.nHandsets + static_cast<int>(bench.TtyPaths().size());
    const bool bAllAttached = script.AttachedCount() >= expected ||
                              (!bench.TtyPaths().empty() && waitForAttached(expected));
    Note(std::to_string(script.AttachedCount()) + " of " + std::to_string(expected) +
         " handset(s) attached" + (bAllAttached ? "" : " before the attach time ran out"));
    if (script.PressStartIfReady()) {
        Note("pressed Start downloading");
    }
    const bool bEnded = console::StationScript::PumpUntil(
        [&] { return script.AttachedCount() == 0 || script.AllAttachedEnded(); }, remaining());

    const auto outcomes = script.Outcomes();
    for (const console::SlotOutcome& outcome : outcomes) {
        std::printf("%s\n", SlotLine(outcome).c_str());
    }
    std::fputs(WithPlainLineEnds(script.MainLog()).c_str(), stdout);
    const Verdict verdict = JudgeRun(outcomes, ExpectedHandsets(args, bench), chosen, !bEnded,
                                     static_cast<int>(args.timeout.count()));
    for (const std::string& line : verdict.lines) {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return verdict.bPassed ? kExitPassed : kExitFailed;
}

}  // namespace vantorel::bench
