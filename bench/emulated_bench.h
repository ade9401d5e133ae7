#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "bench/bench_arguments.h"
#include "bench/handset_setup.h"
#include "bench/private_directory.h"
#include "emulator/flash_record.h"
#include "emulator/handset_runner.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/platform/emulated/emulated_hotplug_monitor.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/linux/tty_path_hotplug_monitor.h"
#include "link/platform/linux/tty_serial_opener.h"

namespace vantorel::bench {

// Where one emulated handset of the bench is now.
enum class HandsetState {
    Unplugged,
    InDownloadMode,  // on the bus, its boot loader serving
    Rebooting,       // off the bus for a moment, coming back on the same port
    Launched,        // booted its own system and left
    Gone,            // left for good otherwise (an injected unplug, no return after reboot)
};

const char* HandsetStateText(HandsetState state);

// The platform the station runs on in the bench, and the handsets on it. With the bulk link
// the handsets sit on ports "1-1".."1-8" of an in-process bus; with the serial-style link
// each serves a pseudo-terminal behind a symbolic link in a private directory, reached
// through the real tty code, and so do the external handsets named by --tty.
class EmulatedBench {
public:
    EmulatedBench(LinkChoice link, std::vector<std::string> ttyPaths,
                  std::vector<HandsetSetup> setups, double timeScale);
    ~EmulatedBench();
    EmulatedBench(const EmulatedBench&) = delete;
    EmulatedBench& operator=(const EmulatedBench&) = delete;

    // False, with the reason, when the bench cannot run (no private directory).
    bool IsUsable(std::string& error) const;

    // --- What the station is composed of -----------------------------------------------
    link::DeviceDirectory& Directory();
    link::SerialOpener& Serial();
    link::BulkOpener& Bulk() { return m_bus; }
    bool OffersBulkLinks() const { return m_link == LinkChoice::Bulk; }
    link::HotplugMonitor& Hotplug();
    const Clock& GetClock() const { return m_clock; }
    LinkChoice Link() const { return m_link; }

    // Takes every emulated handset off and sets a new time scale. Only while no station
    // runs: the handsets and the station must share one clock.
    void Restart(double timeScale);

    // --- Emulated handsets, rows 0 .. EmulatedCount()-1 ---------------------------------
    int EmulatedCount() const { return m_nEmulated; }
    // The port it plugs into: "1-3", or the path of its pseudo-terminal's link.
    std::string PortName(int row) const;
    // The name the station records for the device once attached.
    std::string InstanceName(int row) const;
    const HandsetSetup& Setup(int row) const { return m_rows[row].setup; }
    // Takes effect at the next plug.
    void SetSetup(int row, HandsetSetup setup);
    // A handset that left, or whose setup changed, comes back fresh, with an empty record.
    void Plug(int row);
    void Unplug(int row);
    // Pulls the handset, if plugged, and plugs a new one with the same setup into its socket.
    void Replace(int row);
    bool WaitUntilPlugged(int row, std::chrono::nanoseconds bound) const;
    // Plugged in by the operator and not gone since (it may be rebooting).
    bool IsPluggedIn(int row) const;
    HandsetState State(int row) const;
    // What it has flashed; nullopt for a handset never plugged.
    std::optional<emulator::FlashRecord> Record(int row) const;

    // --- External handsets (--tty) -------------------------------------------------------
    const std::vector<std::string>& TtyPaths() const { return m_ttyPaths; }
    bool IsTtyPresent(int index) const;
    // Announces the external handsets present now to the station, as arrivals: the ones
    // that were there before Detect was pressed are attached too.
    void AnnounceTtyHandsets();

private:
    struct Row {
        HandsetSetup setup;
        bool bSetupChanged = false;
        bool bWanted = false;  // plugged in by the operator, not pulled since
        std::unique_ptr<emulator::HandsetRunner> runner;
    };

    std::unique_ptr<emulator::HandsetRunner> MakeRunner(int row);

    const LinkChoice m_link;
    const std::vector<std::string> m_ttyPaths;
    const int m_nEmulated;
    Clock m_clock;

    link::emulated::EmulatedBus m_bus;
    link::emulated::EmulatedHotplugMonitor m_busMonitor{m_bus};

    std::optional<PrivateDirectory> m_linkDirectory;  // serial: the pseudo-terminal links
    link::linux_platform::TtyPathDirectory m_ttyDirectory;
    link::linux_platform::TtySerialOpener m_ttyOpener;
    std::unique_ptr<link::linux_platform::TtyPathHotplugMonitor> m_ttyMonitor;

    std::array<Row, kBenchSlots> m_rows;  // last: handsets leave before the bus
};

}  // namespace vantorel::bench
