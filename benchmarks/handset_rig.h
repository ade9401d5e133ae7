#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "emulator/handset_config.h"
#include "emulator/handset_runner.h"
#include "link/link_platform.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/linux/tty_serial_opener.h"
#include "link/usb_interface.h"

namespace vantorel::benchmarks {

// Which wire carries a run: the in-process emulated bus, or a pseudo-terminal per handset
// reached through the real tty channel.
enum class LinkKind { Bus, Pty };

const char* LinkKindName(LinkKind kind);

// Macro runs use protocol time at scale 0: every protocol sleep is a yield, so a run
// measures the station's work and the wire, not the protocol's waits.
inline const Clock kRunClock{0.0};

// `count` emulated handsets, plugged in and waiting for their greeting. Pseudo-terminal
// handsets put their link paths into `linkDir`.
class HandsetRig {
public:
    HandsetRig(LinkKind kind, int count, const emulator::HandsetConfig& config,
               const std::string& linkDir);
    ~HandsetRig();
    HandsetRig(const HandsetRig&) = delete;
    HandsetRig& operator=(const HandsetRig&) = delete;

    // Plugs every handset in; false unless all are on the bus within a few seconds.
    bool PlugAll();

    LinkKind Kind() const { return m_kind; }
    int Count() const { return static_cast<int>(m_handsets.size()); }
    // The path a station link opens: the bus's device path, or the pseudo-terminal's link.
    const std::string& DevicePath(int slot) const { return m_paths.at(slot); }
    const std::vector<std::string>& DevicePaths() const { return m_paths; }
    emulator::HandsetRunner& Handset(int slot) { return *m_handsets.at(slot); }
    link::emulated::EmulatedBus& Bus() { return m_bus; }

private:
    const LinkKind m_kind;
    link::emulated::EmulatedBus m_bus;  // outlives the handsets on it
    std::vector<std::string> m_paths;
    std::vector<std::unique_ptr<emulator::HandsetRunner>> m_handsets;
};

// The station's side: one serial-style link per slot, as the console creates them, over
// the emulated bus or over named ttys.
class StationLinks {
public:
    StationLinks(LinkKind kind, link::emulated::EmulatedBus* bus, std::vector<std::string> paths);
    ~StationLinks();
    StationLinks(const StationLinks&) = delete;
    StationLinks& operator=(const StationLinks&) = delete;

    // Opens every slot's link by its path and greets the handset, as attaching does; false
    // when one does not answer "OKUD".
    bool AttachAll();
    link::CUsbInterface& Link(int slot) { return *m_links.at(slot); }
    int Count() const { return static_cast<int>(m_links.size()); }

private:
    class QuietMessages final : public link::MessageSink {
    public:
        void ShowMessage(const std::string& text, const std::string& caption) override;
    };
    class NoBulkDevices final : public link::BulkOpener {
    public:
        std::shared_ptr<link::BulkDevice> Open(const std::string&) override { return nullptr; }
    };

    const std::vector<std::string> m_paths;
    QuietMessages m_messages;
    NoBulkDevices m_noBulk;
    link::linux_platform::TtyPathDirectory m_ttys;
    link::linux_platform::TtySerialOpener m_ttyOpener;
    link::LinkPlatform m_platform;
    std::vector<std::unique_ptr<link::CUsbInterface>> m_links;
};

}  // namespace vantorel::benchmarks
