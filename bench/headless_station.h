#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <vector>

#include "bench/bench_arguments.h"
#include "bench/bench_verdict.h"
#include "console/console_environment.h"
#include "console/console_prompts.h"
#include "console/station_script.h"
#include "console/vantorel_dlg.h"
#include "emulator/flash_check.h"
#include "line/mqtt/mqtt_line.h"
#include "line/station_line.h"
#include "link/message_sink.h"

namespace vantorel::bench {

// Exit codes of the bench.
inline constexpr int kExitPassed = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadArguments = 2;

// What the station runs on: the links' openers, the clock and the hot-plug source.
struct StationPlatform {
    link::DeviceDirectory& directory;
    link::SerialOpener& serial;
    link::BulkOpener& bulk;
    bool bOffersBulkLinks;
    const Clock& clock;
    link::HotplugMonitor& hotplug;
};

// The real station window, not shown, worked by a script: the part of a headless run that
// does not depend on where the handsets come from.
class HeadlessStation {
public:
    HeadlessStation(const StationPlatform& platform, const BenchArguments& args);
    // The broker hears the last lines after the window has gone: on standard error.
    ~HeadlessStation();

    console::CVantorelDlg& Dialog() { return m_dlg; }
    console::StationScript& Script() { return m_script; }

    // Chooses the images and options and presses Detect; the exit code when that fails.
    std::optional<int> Arm(const std::vector<emulator::ChosenImage>& chosen);
    // Real time left of the run's timeout.
    std::chrono::milliseconds Remaining() const;
    // Presses Start downloading unless the station started by itself, and waits for the
    // batch to end; false when the timeout passed first.
    bool DownloadAndWait();
    // Prints one line per slot, the main log and the verdict; returns the exit code.
    int Report(const std::vector<ExpectedHandset>& expected,
               const std::vector<emulator::ChosenImage>& chosen, bool bEnded);

private:
    const BenchArguments& m_args;
    const std::chrono::steady_clock::time_point m_deadline;
    // The station's diagnostics would break up the report: they are counted in it instead.
    std::atomic<int> m_nDiagnostics{0};
    std::atomic<int> m_nFailedOpens{0};
    link::DiagnosticCapture m_diagnostics;
    console::ConsolePrompts m_prompts;
    console::BenchSyncService m_sync;
    // Before the dialog: it is told until the dialog has gone.
    line::StationLine m_line;
    // Publishing to the line's broker, fed by the model: it hears the last report lines
    // as the dialog closes.
    std::unique_ptr<line::MqttLine> m_mqtt;
    console::CVantorelDlg m_dlg;
    console::StationScript m_script;
};

// Writes "vantorel-bench: TEXT" to standard error at once.
void Note(const std::string& text);

}  // namespace vantorel::bench
