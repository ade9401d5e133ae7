#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/pda_detect.h"
#include "console/vantorel_dlg.h"
#include "emulator/bus_handset.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/platform/emulated/emulated_hotplug_monitor.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {

// The whole station on the emulated bench: the real dialog offscreen, its hot-plug monitor
// on the emulated bus, and emulated handsets plugged in as a test needs them. Protocol time
// runs at a small scale, so the sleeps of a whole run take milliseconds.
class StationTest : public ::testing::TestWithParam<bool> {
protected:
    static constexpr double kTimeScale = 0.0005;

    StationTest() : StationTest(kTimeScale) {}
    explicit StationTest(double timeScale) : clock(timeScale) {}

    void SetUp() override { MakeDialog(GetParam()); }
    void TearDown() override;

    void MakeDialog(bool bBulkLinkOffered);

    // Handles the dialog's events until `done` holds; false when `bound` passed first.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds bound = std::chrono::seconds(30));
    void Pump(std::chrono::milliseconds duration);

    // Plugs in a handset at port "1-<n>" (or `port`) and returns it.
    emulator::BusHandset& Plug(const std::string& port, emulator::HandsetConfig config = {},
                               emulator::HandsetFaults faults = {});
    // Waits until `count` slots are ready (or downloading, once a batch started by itself).
    bool WaitForAttached(int count);
    int CountSlots(int32_t state) const;

    std::string MainLog() const { return dlg->m_logs.Text(ShownLog::Main); }
    std::string SlotLog(int slot) const;

    const Clock clock;
    // Where the dialog keeps the operator's settings; empty: nowhere.
    std::filesystem::path settingsFile;
    link::emulated::EmulatedBus bus;
    link::emulated::EmulatedHotplugMonitor hotplug{bus};
    ScriptedPrompts prompts;
    RecordingSync sync;
    std::unique_ptr<CVantorelDlg> dlg;
    std::vector<std::unique_ptr<emulator::BusHandset>> handsets;
};

}  // namespace vantorel::console::test
