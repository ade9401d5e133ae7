#include "bench/bench_station.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "bench/bench_panel.h"
#include "console/options_record.h"
#include "console/station_script.h"
#include "console/vantorel_dlg.h"
#include "console/window_fit.h"
#include "emulator/flash_check.h"
#include "engine/attach_handshake.h"

namespace vantorel::bench {

namespace {

constexpr QSize kStationPreferred{1180, 760};
constexpr int kPanelWidth = 560;  // before the panel exists
constexpr int kPlaceAgainMs = 300;

// The emulator settings that the panel's choices stand for; later words win.
std::string ComposeSettings(const std::string& custom, uint32_t protocolVersion,
                            const std::string& bootLoaderVersion, const char* fault) {
    std::string settings = custom;
    settings += " --protocol-version " + std::to_string(protocolVersion);
    settings += " --eboot-version " + bootLoaderVersion;
    if (fault != nullptr && fault[0] != '\0') {
        settings += " ";
        settings += fault;
    }
    return settings;
}

// The image choices of a station window and the log lines that came with them, handed to
// the window that replaces it.
struct CarriedChoices {
    images::ImageSelection selection;
    std::string mainLog;
    std::string auxLog;
};

CarriedChoices TakeChoices(console::CVantorelDlg& dlg) {
    return {std::move(dlg.m_selection), dlg.m_logs.Text(console::ShownLog::Main),
            dlg.m_logs.Text(console::ShownLog::Aux)};
}

// Shows them as the old window did; Detect is armed for them as by a fresh choice.
void GiveChoices(console::CVantorelDlg& dlg, CarriedChoices chosen) {
    dlg.m_selection = std::move(chosen.selection);
    dlg.AppendMainLogText(chosen.mainLog);
    dlg.AppendAuxLogText(chosen.auxLog);
    dlg.ShowImageSelection();
    dlg.Controls().Enable(console::ctl::kDetect, dlg.HasChosenImages());
}

}  // namespace

BenchStation::BenchStation(EmulatedBench& bench, const BenchArguments& args,
                           std::string sampleDirectory)
    : m_bench(bench),
      m_sampleDirectory(std::move(sampleDirectory)),
      m_startOptions(args.options),
      m_ports(args.bSlotsFollowPorts
                  ? std::optional(console::PortSettings{true, BenchPortMap(args)})
                  : std::nullopt),
      m_recordsRoot(RecordsRoot(args)),
      m_http(args.http),
      m_faultChoice(kBenchSlots, 0),
      m_customSettings(kBenchSlots),
      m_prompts(QString::fromStdString(m_sampleDirectory), {}),
      m_mqttOptions{args.line.mqttUrl, args.line.stationId} {
    for (int row = 0; row < kBenchSlots; ++row) {
        m_customSettings[row] =
            m_bench.EmulatedCount() > row ? m_bench.Setup(row).strSettings : std::string();
        if (!m_customSettings[row].empty()) {
            m_faultChoice[row] = static_cast<int>(FaultChoices().size());
        }
    }
}

BenchStation::~BenchStation() {
    CloseStation();
}

int BenchStation::Run(const std::vector<emulator::ChosenImage>& images) {
    if (m_http) {
        std::string error;
        if (!m_line.Serve(*m_http, m_recordsRoot, error)) {
            std::fprintf(stderr, "vantorel-bench: %s\n", error.c_str());
            return command_line::kExitBadCommandLine;
        }
        std::printf("Live page and API: %s\n", m_line.Url().c_str());
    }
    Open(images);
    return QApplication::exec();
}

void BenchStation::Open(const std::vector<emulator::ChosenImage>& images) {
    CreateStation();
    ChooseImages(images);
    ShowStation(m_startOptions);
    m_panel = std::make_unique<bench::BenchPanel>(*this);
    connect(m_panel.get(), &bench::BenchPanel::closeRequested, this, [this] {
        if (m_dlg) {
            m_dlg->reject();
        }
    });
    PlaceWindows();
    // The operator works in the station: the panel beside it does not take the focus.
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating);
    m_panel->show();
    m_dlg->activateWindow();
    m_dlg->raise();
    // Once shown, the window manager's real frames are known: placed again to fit them.
    QTimer::singleShot(kPlaceAgainMs, this, [this] { PlaceWindows(); });
}

void BenchStation::CreateStation() {
    const console::ConsoleEnvironment environment{
        m_bench.Directory(), m_bench.Serial(),
        m_bench.Bulk(),      m_bench.OffersBulkLinks(),
        m_bench.GetClock(),  m_sync,
        m_prompts,           &m_bench.Hotplug(),
        m_recordsRoot,       console::BenchSettingsFile(),
    };
    m_dlg = std::make_unique<console::CVantorelDlg>(environment);
    m_dlg->OnInitDialog();
    m_dlg->SetStationObserver(&m_line.State());
    const auto say = [dlg = m_dlg.get()](const std::string& text) { dlg->AppendMainLogText(text); };
    if (m_mqtt) {
        m_mqtt->SayTo(say);
    } else if (!m_bMqttStarted) {
        m_bMqttStarted = true;
        m_mqtt = line::StartMqttLine(m_line.State(), m_mqttOptions, console::DefaultSettingsFile(),
                                     m_recordsRoot, say);
    }
    // Ports given on the command line (or carried over a restart) win over the kept ones.
    if (m_ports) {
        m_dlg->SetPortMap(m_ports->map);
        m_dlg->SetSlotsFollowPorts(m_ports->bSlotsFollowPorts);
    }
    connect(m_dlg.get(), &QDialog::finished, qApp, &QCoreApplication::quit);
    // After the dialog's own handler: the station is armed when the handsets arrive.
    connect(m_dlg->Controls().As<QAbstractButton>(console::ctl::kDetect), &QAbstractButton::clicked,
            this, [this] { m_bench.AnnounceTtyHandsets(); });
}

void BenchStation::ChooseImages(const std::vector<emulator::ChosenImage>& images) {
    console::StationScript script(*m_dlg, m_prompts);
    std::string error;
    for (const emulator::ChosenImage& image : images) {
        if (!script.ChooseImage(image.kind, image.path, error)) {
            std::fprintf(stderr, "vantorel-bench: cannot choose %s\n", error.c_str());
        }
    }
}

void BenchStation::ShowStation(const std::vector<OptionChoice>& options) {
    console::StationScript script(*m_dlg, m_prompts);
    std::string error;
    for (const OptionChoice& option : options) {
        if (!script.SetOption(option.caption, option.bChecked, error)) {
            std::fprintf(stderr, "vantorel-bench: %s\n", error.c_str());
        }
    }
    PlaceWindows();
    m_dlg->show();
}

void BenchStation::CloseStation() {
    if (!m_dlg) {
        return;
    }
    disconnect(m_dlg.get(), nullptr, qApp, nullptr);
    if (m_mqtt) {
        m_mqtt->SayTo(line::SayOnStandardError("vantorel-bench"));
    }
    m_dlg.reset();  // its destructor stops the workers and closes the links
}

// Side by side, so both fit a laptop's screen whole: the station on the left, the panel on
// the right at its natural width.
void BenchStation::PlaceWindows() {
    if (!m_dlg) {
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
    const QMargins frame = console::FrameOf(*m_dlg);
    const QSize panelHint = m_panel ? m_panel->sizeHint() : QSize(kPanelWidth, 0);
    const QSize panelMinimum = m_panel ? m_panel->minimumSizeHint() : QSize(kPanelWidth, 0);
    const console::SideBySide placed = console::PlaceSideBySide(
        area, frame, kStationPreferred, m_dlg->minimumSizeHint(), panelHint, panelMinimum);
    m_dlg->resize(placed.station.size());
    m_dlg->move(placed.station.topLeft() - QPoint(frame.left(), frame.top()));
    if (m_panel) {
        m_panel->resize(placed.panel.size());
        m_panel->move(placed.panel.topLeft() - QPoint(frame.left(), frame.top()));
    }
}

bool BenchStation::IsStationShown() const {
    return m_dlg && m_dlg->isVisible();
}

bench::BenchHandsetView BenchStation::Handset(int row) const {
    const HandsetSetup& setup = m_bench.Setup(row);
    const auto record = m_bench.Record(row);
    return bench::BenchHandsetView{
        m_bench.PortName(row),
        m_bench.IsPluggedIn(row),
        HandsetStateText(m_bench.State(row)),
        record ? emulator::DescribeFlashed(*record) : std::string(),
        setup.config.protocolVersion,
        setup.config.bootLoaderVersion,
        m_faultChoice[row],
        m_customSettings[row],
        SlotOf(row),
    };
}

int BenchStation::SlotOf(int row) const {
    const std::string instance = m_bench.InstanceName(row);
    if (!m_dlg || instance.empty()) {
        return -1;
    }
    for (int slot = 0; slot < console::kSlotCount; ++slot) {
        if (m_dlg->m_aSlotStatus[slot].nState != console::SLOT_WAITING &&
            engine::SameDeviceName(m_dlg->m_strDeviceName[slot], instance)) {
            return slot;
        }
    }
    return -1;
}

bool BenchStation::SetHandsetSetup(int row, uint32_t protocolVersion,
                                   const std::string& bootLoaderVersion, int faultChoice,
                                   std::string& error) {
    const auto choices = FaultChoices();
    const bool bCustom = faultChoice >= static_cast<int>(choices.size());
    const std::string settings = ComposeSettings(
        bCustom ? m_customSettings[row] : std::string(), protocolVersion, bootLoaderVersion,
        bCustom || faultChoice < 0 ? nullptr : choices[static_cast<size_t>(faultChoice)].settings);
    HandsetSetup setup;
    if (!ParseHandsetSettings(settings, setup, error)) {
        return false;
    }
    const HandsetSetup& current = m_bench.Setup(row);
    if (setup.strSettings != current.strSettings || m_faultChoice[row] != faultChoice) {
        m_bench.SetSetup(row, std::move(setup));
        m_faultChoice[row] = faultChoice;
    }
    return true;
}

std::vector<std::string> BenchStation::FaultCaptions() const {
    std::vector<std::string> captions;
    for (const FaultChoice& choice : FaultChoices()) {
        captions.emplace_back(choice.caption);
    }
    return captions;
}

std::vector<bench::BenchExternalView> BenchStation::ExternalHandsets() const {
    std::vector<bench::BenchExternalView> external;
    for (size_t i = 0; i < m_bench.TtyPaths().size(); ++i) {
        external.push_back({m_bench.TtyPaths()[i], m_bench.IsTtyPresent(static_cast<int>(i))});
    }
    return external;
}

bool BenchStation::CanChangeTimeScale() const {
    if (!m_dlg || m_dlg->m_bDetecting != 0) {
        return false;
    }
    for (const console::SLOT_STATUS& status : m_dlg->m_aSlotStatus) {
        if (status.nState == console::SLOT_READY || status.nState == console::SLOT_DOWNLOADING) {
            return false;
        }
    }
    return true;
}

void BenchStation::SetTimeScale(double scale) {
    if (!CanChangeTimeScale()) {
        return;
    }
    m_dlg->UpdateData(true);
    std::vector<OptionChoice> options;
    for (const console::OptionCheckBox& box : console::OptionCheckBoxes()) {
        options.push_back({box.caption, m_dlg->m_options.*box.member != 0});
    }
    // The choices go over as they stand. Choosing the files again by their paths would drop
    // the integrated image, the CSC entry and the language the operator picked: the boxes
    // would show, and the handsets get, something the operator never chose.
    CarriedChoices chosen = TakeChoices(*m_dlg);
    m_ports = console::PortSettings{m_dlg->m_options.m_bSlotsFollowPorts != 0, m_dlg->m_portMap};
    CloseStation();
    m_bench.Restart(scale);
    CreateStation();
    GiveChoices(*m_dlg, std::move(chosen));
    ShowStation(options);
}

}  // namespace vantorel::bench
