#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <optional>
#include "bench/bench_arguments.h"
#include "bench/bench_control.h"
#include "bench/emulated_bench.h"
#include "console/console_prompts.h"
#include "console/operator_prompts.h"
#include "line/mqtt/mqtt_line.h"
#include "line/station_line.h"

#include "console/port_settings.h"
#include "emulator/flash_check.h"

namespace vantorel::console {
class CVantorelDlg;
}  // namespace vantorel::console

namespace vantorel::bench {

class BenchPanel;

// The bench with windows: the station window and the bench panel beside it. The panel
// plugs the emulated handsets; a change of speed starts the station afresh on a new clock,
// with the image choices (the CSC entry and the language picked included) and the options
// it had.
class BenchStation final : public QObject, public bench::BenchControl {
public:
    BenchStation(EmulatedBench& bench, const BenchArguments& args, std::string sampleDirectory);
    ~BenchStation() override;

    // Opens the station with `images` and the command line's options chosen, and the panel.
    void Open(const std::vector<emulator::ChosenImage>& images);
    // Opens them and runs until the station closes. Returns the exit code.
    int Run(const std::vector<emulator::ChosenImage>& images);

    console::CVantorelDlg* Station() const { return m_dlg.get(); }
    bench::BenchPanel* Panel() const { return m_panel.get(); }

    // --- BenchControl ---
    int EmulatedCount() const override { return m_bench.EmulatedCount(); }
    bench::BenchHandsetView Handset(int row) const override;
    void Plug(int row) override { m_bench.Plug(row); }
    void Unplug(int row) override { m_bench.Unplug(row); }
    void Replace(int row) override { m_bench.Replace(row); }
    bool SetHandsetSetup(int row, uint32_t protocolVersion, const std::string& bootLoaderVersion,
                         int faultChoice, std::string& error) override;
    std::vector<std::string> FaultCaptions() const override;
    std::vector<bench::BenchExternalView> ExternalHandsets() const override;
    double TimeScale() const override { return m_bench.GetClock().scale(); }
    bool CanChangeTimeScale() const override;
    void SetTimeScale(double scale) override;
    std::string SampleDirectory() const override { return m_sampleDirectory; }
    bool IsStationShown() const override;

private:
    // A fresh station window on the bench's clock, initialised and hooked to the bench.
    void CreateStation();
    // Chooses `images` in it as the open-file dialog would.
    void ChooseImages(const std::vector<emulator::ChosenImage>& images);
    // Sets its option boxes, places it and shows it.
    void ShowStation(const std::vector<OptionChoice>& options);
    void CloseStation();
    void PlaceWindows();
    int SlotOf(int row) const;

    EmulatedBench& m_bench;
    const std::string m_sampleDirectory;
    std::vector<OptionChoice> m_startOptions;
    // Whether slots follow ports and the map: from the command line, then carried from one
    // station window to the next. The bench keeps them for its own run only.
    std::optional<console::PortSettings> m_ports;
    const std::filesystem::path m_recordsRoot;
    const std::optional<command_line::ListenAddress> m_http;
    std::vector<int> m_faultChoice;  // per row
    std::vector<std::string> m_customSettings;
    // Its file dialogs start in the sample folder and remember folders for this run only:
    // the bench leaves the station's settings file alone.
    console::QtOperatorPrompts m_prompts;
    console::BenchSyncService m_sync;
    // Before the dialog: it is told until the dialog has gone.
    line::StationLine m_line;
    // Publishing to the line's broker, fed by the model, over every station window in turn.
    const line::MqttOptions m_mqttOptions;
    bool m_bMqttStarted = false;
    std::unique_ptr<line::MqttLine> m_mqtt;
    std::unique_ptr<console::CVantorelDlg> m_dlg;
    std::unique_ptr<bench::BenchPanel> m_panel;
};

}  // namespace vantorel::bench
