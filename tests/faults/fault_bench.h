#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "console/colorref.h"
#include "console/vantorel_dlg.h"
#include "emulator/bus_handset.h"
#include "emulator/flash_check.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/platform/emulated/emulated_hotplug_monitor.h"
#include "tests/console/console_fixture.h"

namespace vantorel::faults {

using namespace std::chrono_literals;

// The whole station on the emulated bus for reliability runs: the real dialog offscreen,
// its hot-plug monitor, either link variant, and protocol time at a scale the run chooses
// (a small one for whole batches, 1.0 where real protocol sleeps must be cut short).
// Images are chosen through the browse buttons and the operator's buttons are clicked, as
// an operator would; the test thread is the dialog thread and handles its events while it
// waits.
class FaultBench {
public:
    FaultBench(bool bBulkLink, double timeScale);
    // Stops the workers, takes the handsets off the bus, then closes the dialog.
    ~FaultBench();

    FaultBench(const FaultBench&) = delete;
    FaultBench& operator=(const FaultBench&) = delete;

    console::CVantorelDlg& Dlg() { return *m_dlg; }
    const console::CVantorelDlg& Dlg() const { return *m_dlg; }
    // Closes and destroys the dialog now, as the end of the program does.
    void DestroyDialog() { m_dlg.reset(); }

    // Presses each image's browse button and answers its open-file dialog.
    void ChooseImages(const std::vector<emulator::ChosenImage>& chosen);
    void SetWaitAfterDownload(bool bWait);
    // Clicks a button; a disabled button ignores the click, as on screen.
    void Click(int id);

    // Plugs a handset in at `port` ("1-3").
    emulator::BusHandset& Plug(const std::string& port, emulator::HandsetConfig config = {},
                               emulator::HandsetFaults faults = {});
    // Presses Detect and plugs the handsets in one after another, each once the one before
    // is attached, so that handset i lands in slot i. False when one did not attach.
    bool AttachInOrder(const std::vector<std::string>& ports,
                       const std::vector<emulator::HandsetConfig>& configs,
                       const std::vector<emulator::HandsetFaults>& faults);
    emulator::BusHandset& Handset(int index) { return *m_handsets.at(index); }
    // Takes every handset off the bus and forgets it (their ports are free again).
    void ClearHandsets() { m_handsets.clear(); }

    // Handles the dialog's events until `done` holds; false when `bound` passed first.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 30s);
    void Pump(std::chrono::milliseconds duration);

    // Every detected slot has ended, well or not.
    bool BatchEnded() const;
    // No slot's worker runs any more. A worker still closes its slot's link after the
    // notification that ends the slot, so a batch can have ended while this is false.
    bool WorkersEnded() const;
    int CountSlots(int32_t state) const;

    std::string MainLog() const;
    std::string BarText(int slot) const;
    std::string LabelText(int slot) const;
    console::COLORREF LabelColour(int slot) const;
    // How often `line` occurs in the main log.
    size_t MainLogCount(const std::string& line) const;
    // The same, once `line` is there: a worker writes some lines after the notification that
    // ends its slot, so they may not be in yet when the batch is seen to end. Handles the
    // dialog's events until then, for at most `bound`.
    size_t MainLogCountOnceLogged(const std::string& line, std::chrono::milliseconds bound = 10s);
    // What the handset in `slot` flashed, compared with the chosen files; empty when exact.
    std::vector<std::string> CheckFlashed(const emulator::BusHandset& handset,
                                          const std::vector<emulator::ChosenImage>& chosen) const;

    const Clock clock;
    link::emulated::EmulatedBus bus;
    link::emulated::EmulatedHotplugMonitor hotplug{bus};
    console::test::ScriptedPrompts prompts;
    console::test::RecordingSync sync;

private:
    std::unique_ptr<console::CVantorelDlg> m_dlg;
    std::vector<std::unique_ptr<emulator::BusHandset>> m_handsets;
};

}  // namespace vantorel::faults
