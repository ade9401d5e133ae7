#include "bench/bench_station.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>
#include <cstdio>

#include "bench/bench_panel.h"
#include "bench/station_script.h"
#include "console/options_record.h"
#include "console/vantorel_dlg.h"
#include "emulator/flash_check.h"

namespace vantorel::bench {

namespace {

constexpr int kStationHeight = 640;

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
      m_recordsRoot(RecordsRoot(args)),
      m_faultChoice(kBenchSlots, 0),
      m_customSettings(kBenchSlots) {
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
    Open(images);
    return QApplication::exec();
}

void BenchStation::Open(const std::vector<emulator::ChosenImage>& images) {
    CreateStation();
    ChooseImages(images);
    ShowStation(m_startOptions);
    m_panel = std::make_unique<console::BenchPanel>(*this);
    connect(m_panel.get(), &console::BenchPanel::closeRequested, this, [this] {
        if (m_dlg) {
            m_dlg->reject();
        }
    });
    PlaceWindows();
    m_panel->show();
}

void BenchStation::CreateStation() {
    const console::ConsoleEnvironment environment{
        m_bench.Directory(), m_bench.Serial(), m_bench.Bulk(), m_bench.OffersBulkLinks(),
        m_bench.GetClock(),  m_sync,           m_prompts,      &m_bench.Hotplug(),
        m_recordsRoot,
    };
    m_dlg = std::make_unique<console::CVantorelDlg>(environment);
    m_dlg->OnInitDialog();
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
    m_dlg.reset();  // its destructor stops the workers and closes the links
}

void BenchStation::PlaceWindows() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    if (m_dlg) {
        m_dlg->resize(std::min(area.width(), 1180), kStationHeight);
        m_dlg->move(area.topLeft());
    }
    if (m_panel) {
        m_panel->resize(std::min(area.width(), 1180), m_panel->sizeHint().height());
        m_panel->move(area.left(), area.top() + kStationHeight + 40);
    }
}

console::BenchHandsetView BenchStation::Handset(int row) const {
    const HandsetSetup& setup = m_bench.Setup(row);
    const auto record = m_bench.Record(row);
    return console::BenchHandsetView{
        m_bench.PortName(row),
        m_bench.IsPluggedIn(row),
        HandsetStateText(m_bench.State(row)),
        record ? emulator::DescribeFlashed(*record) : std::string(),
        setup.config.protocolVersion,
        setup.config.bootLoaderVersion,
        m_faultChoice[row],
        m_customSettings[row],
    };
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

std::vector<console::BenchExternalView> BenchStation::ExternalHandsets() const {
    std::vector<console::BenchExternalView> external;
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
    CloseStation();
    m_bench.Restart(scale);
    CreateStation();
    GiveChoices(*m_dlg, std::move(chosen));
    ShowStation(options);
}

}  // namespace vantorel::bench
