#include "bench/headless_station.h"

#include <cstdio>
#include <string>

#include "console/port_settings.h"

namespace vantorel::bench {

namespace {

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

}  // namespace

void Note(const std::string& text) {
    std::fprintf(stderr, "vantorel-bench: %s\n", text.c_str());
    std::fflush(stderr);
}

HeadlessStation::HeadlessStation(const StationPlatform& platform, const BenchArguments& args)
    : m_args(args),
      m_deadline(std::chrono::steady_clock::now() + args.timeout),
      m_diagnostics([this](std::string_view line) {
          ++m_nDiagnostics;
          if (line.starts_with("FAILED to open ")) {
              ++m_nFailedOpens;
          }
      }),
      m_dlg(console::ConsoleEnvironment{platform.directory, platform.serial, platform.bulk,
                                        platform.bOffersBulkLinks, platform.clock, m_sync,
                                        m_prompts, &platform.hotplug, RecordsRoot(args)}),
      m_script(m_dlg, m_prompts) {
    m_dlg.OnInitDialog();
    if (m_dlg.Records() != nullptr) {
        m_dlg.Records()->CopyReportTo(args.reportFile);
    }
    m_dlg.SetStationObserver(&m_line.State());
    m_mqtt = line::StartMqttLine(
        m_line.State(), {args.line.mqttUrl, args.line.stationId}, console::DefaultSettingsFile(),
        RecordsRoot(args), [this](const std::string& text) { m_dlg.AppendMainLogText(text); });
}

HeadlessStation::~HeadlessStation() {
    if (m_mqtt) {
        m_mqtt->SayTo(line::SayOnStandardError("vantorel-bench"));
    }
}

std::optional<int> HeadlessStation::Arm(const std::vector<emulator::ChosenImage>& chosen) {
    std::string error;
    if (m_args.http) {
        if (!m_line.Serve(*m_args.http, RecordsRoot(m_args), error)) {
            Note(error);
            return kExitBadArguments;
        }
        Note("live page and API: " + m_line.Url());
    }
    for (const emulator::ChosenImage& image : chosen) {
        if (!m_script.ChooseImage(image.kind, image.path, error)) {
            Note("cannot choose " + error);
            return kExitBadArguments;
        }
    }
    for (const OptionChoice& option : m_args.options) {
        if (!m_script.SetOption(option.caption, option.bChecked, error)) {
            Note(error);
            return kExitBadArguments;
        }
    }
    if (m_args.bSlotsFollowPorts) {
        m_dlg.SetPortMap(BenchPortMap(m_args));
        m_dlg.SetSlotsFollowPorts(true);
    }
    if (!m_script.PressDetect(error)) {
        Note(error);
        return kExitBadArguments;
    }
    return std::nullopt;
}

std::chrono::milliseconds HeadlessStation::Remaining() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline -
                                                                 std::chrono::steady_clock::now());
}

bool HeadlessStation::DownloadAndWait() {
    if (m_script.PressStartIfReady()) {
        Note("pressed Start downloading");
    }
    // Waits as the application does, so that what the process spends is the station's.
    return console::StationScript::WaitUntil(
        [&] { return m_script.AttachedCount() == 0 || m_script.AllAttachedEnded(); }, Remaining());
}

int HeadlessStation::Report(const std::vector<ExpectedHandset>& expected,
                            const std::vector<emulator::ChosenImage>& chosen, bool bEnded) {
    const auto outcomes = m_script.Outcomes();
    for (const console::SlotOutcome& outcome : outcomes) {
        std::printf("%s\n", SlotLine(outcome).c_str());
    }
    if (m_args.bSlotsFollowPorts) {
        for (const ExpectedHandset& handset : expected) {
            std::printf("%s\n", PlacementLine(outcomes, handset).c_str());
        }
    }
    std::fputs(WithPlainLineEnds(m_script.MainLog()).c_str(), stdout);
    if (m_nDiagnostics > 0) {
        std::printf("diagnostics: %d line(s) not shown, %d of them \"FAILED to open ...\"\n",
                    m_nDiagnostics.load(), m_nFailedOpens.load());
    }
    const Verdict verdict =
        JudgeRun(outcomes, expected, chosen, !bEnded, static_cast<int>(m_args.timeout.count()));
    for (const std::string& line : verdict.lines) {
        std::printf("%s\n", line.c_str());
    }
    if (m_dlg.Records() != nullptr && !m_dlg.Records()->Folder().empty()) {
        std::printf("Records: %s\n", m_dlg.Records()->Folder().c_str());
    }
    std::fflush(stdout);
    return verdict.bPassed ? kExitPassed : kExitFailed;
}

}  // namespace vantorel::bench
