#include "bench/emulated_bench.h"

#include <sys/stat.h>

#include <filesystem>

#include "emulator/bus_handset.h"
#include "emulator/pty_handset.h"
#include "link/platform/device_path.h"

namespace vantorel::bench {

const char* HandsetStateText(HandsetState state) {
    switch (state) {
        case HandsetState::Unplugged:
            return "unplugged";
        case HandsetState::InDownloadMode:
            return "in download mode";
        case HandsetState::Rebooting:
            return "rebooting";
        case HandsetState::Launched:
            return "booted its system";
        case HandsetState::Gone:
            return "gone";
    }
    return "";
}

EmulatedBench::EmulatedBench(LinkChoice link, std::vector<std::string> ttyPaths,
                             std::vector<HandsetSetup> setups, double timeScale)
    : m_link(link),
      m_ttyPaths(std::move(ttyPaths)),
      m_nEmulated(kBenchSlots - static_cast<int>(m_ttyPaths.size())),
      m_clock(timeScale) {
    for (int row = 0; row < kBenchSlots && row < static_cast<int>(setups.size()); ++row) {
        m_rows[row].setup = std::move(setups[row]);
    }
    if (m_link == LinkChoice::Serial) {
        m_linkDirectory.emplace("vantorel-bench");
        std::vector<std::string> watched;
        for (int row = 0; row < m_nEmulated; ++row) {
            watched.push_back(PortName(row));
        }
        watched.insert(watched.end(), m_ttyPaths.begin(), m_ttyPaths.end());
        m_ttyMonitor = std::make_unique<link::linux_platform::TtyPathHotplugMonitor>(
            m_ttyDirectory, std::move(watched));
    }
}

EmulatedBench::~EmulatedBench() = default;

bool EmulatedBench::IsUsable(std::string& error) const {
    if (m_linkDirectory && m_linkDirectory->Path().empty()) {
        error = "cannot make a private directory for the pseudo-terminal links";
        return false;
    }
    return true;
}

link::DeviceDirectory& EmulatedBench::Directory() {
    if (m_link == LinkChoice::Bulk) {
        return m_bus;
    }
    return m_ttyDirectory;
}

link::SerialOpener& EmulatedBench::Serial() {
    if (m_link == LinkChoice::Bulk) {
        return m_bus;
    }
    return m_ttyOpener;
}

link::HotplugMonitor& EmulatedBench::Hotplug() {
    if (m_link == LinkChoice::Bulk) {
        return m_busMonitor;
    }
    return *m_ttyMonitor;
}

void EmulatedBench::Restart(double timeScale) {
    for (Row& row : m_rows) {
        row.runner.reset();
        row.bWanted = false;
    }
    m_clock = Clock(timeScale);
}

std::string EmulatedBench::PortName(int row) const {
    if (m_link == LinkChoice::Bulk) {
        return "1-" + std::to_string(row + 1);
    }
    return (std::filesystem::path(m_linkDirectory->Path()) / ("handset-" + std::to_string(row + 1)))
        .string();
}

std::string EmulatedBench::InstanceName(int row) const {
    if (m_link == LinkChoice::Bulk) {
        return link::InstancePartOf(link::emulated::EmulatedBus::DevicePathOf(PortName(row)));
    }
    return link::InstancePartOf(PortName(row));
}

void EmulatedBench::SetSetup(int row, HandsetSetup setup) {
    m_rows[row].setup = std::move(setup);
    m_rows[row].bSetupChanged = true;
}

std::unique_ptr<emulator::HandsetRunner> EmulatedBench::MakeRunner(int row) {
    const HandsetSetup& setup = m_rows[row].setup;
    if (m_link == LinkChoice::Bulk) {
        return std::make_unique<emulator::BusHandset>(m_bus, PortName(row), m_clock, setup.config,
                                                      setup.faults);
    }
    return std::make_unique<emulator::PtyHandset>(PortName(row), m_clock, setup.config,
                                                  setup.faults);
}

void EmulatedBench::Plug(int row) {
    Row& entry = m_rows[row];
    if (entry.runner && (entry.bSetupChanged || entry.runner->HasLeft())) {
        entry.runner.reset();
    }
    if (!entry.runner) {
        entry.runner = MakeRunner(row);
        entry.bSetupChanged = false;
    }
    entry.bWanted = true;
    entry.runner->Plug();
}

void EmulatedBench::Unplug(int row) {
    m_rows[row].bWanted = false;
    if (m_rows[row].runner) {
        m_rows[row].runner->Unplug();
    }
}

void EmulatedBench::Replace(int row) {
    Unplug(row);
    m_rows[row].bSetupChanged = true;  // a new handset, not the same one again
    Plug(row);
}

bool EmulatedBench::WaitUntilPlugged(int row, std::chrono::nanoseconds bound) const {
    return m_rows[row].runner && m_rows[row].runner->WaitUntilPlugged(bound);
}

bool EmulatedBench::IsPluggedIn(int row) const {
    return m_rows[row].bWanted && m_rows[row].runner && !m_rows[row].runner->HasLeft();
}

HandsetState EmulatedBench::State(int row) const {
    const auto& runner = m_rows[row].runner;
    if (!runner) {
        return HandsetState::Unplugged;
    }
    const auto end = runner->LastSessionEnd();
    if (runner->HasLeft()) {
        return end == emulator::SessionEnd::Launched ? HandsetState::Launched : HandsetState::Gone;
    }
    if (runner->IsPlugged()) {
        return HandsetState::InDownloadMode;
    }
    // Pulled out while rebooting, it does not come back.
    if (end == emulator::SessionEnd::Reboot && m_rows[row].bWanted) {
        return HandsetState::Rebooting;
    }
    return HandsetState::Unplugged;
}

std::optional<emulator::FlashRecord> EmulatedBench::Record(int row) const {
    if (!m_rows[row].runner) {
        return std::nullopt;
    }
    return m_rows[row].runner->Record();
}

bool EmulatedBench::IsTtyPresent(int index) const {
    struct stat status {};
    return ::stat(m_ttyPaths[index].c_str(), &status) == 0;
}

void EmulatedBench::AnnounceTtyHandsets() {
    if (m_ttyMonitor) {
        m_ttyMonitor->AnnouncePresent(m_ttyPaths);
    }
}

}  // namespace vantorel::bench
