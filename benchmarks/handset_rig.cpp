#include "benchmarks/handset_rig.h"

#include "emulator/bus_handset.h"
#include "emulator/pty_handset.h"
#include "engine/boot_loader_protocol.h"
#include "link/interface_class.h"

namespace vantorel::benchmarks {

namespace {
constexpr auto kPlugBound = std::chrono::seconds(10);
}

const char* LinkKindName(LinkKind kind) {
    return kind == LinkKind::Bus ? "bus" : "pty";
}

HandsetRig::HandsetRig(LinkKind kind, int count, const emulator::HandsetConfig& config,
                       const std::string& linkDir)
    : m_kind(kind) {
    for (int slot = 0; slot < count; ++slot) {
        if (kind == LinkKind::Bus) {
            const std::string port = "1-" + std::to_string(slot + 1);
            auto handset = std::make_unique<emulator::BusHandset>(m_bus, port, kRunClock, config);
            m_paths.push_back(handset->DevicePath());
            m_handsets.push_back(std::move(handset));
        } else {
            const std::filesystem::path linkPath =
                std::filesystem::path(linkDir) / ("handset-" + std::to_string(slot + 1));
            m_paths.push_back(linkPath.string());
            m_handsets.push_back(
                std::make_unique<emulator::PtyHandset>(linkPath, kRunClock, config));
        }
    }
}

HandsetRig::~HandsetRig() {
    // Each handset's destructor takes it off the bus and joins its thread; the bus goes last.
    m_handsets.clear();
}

bool HandsetRig::PlugAll() {
    for (auto& handset : m_handsets) {
        handset->Plug();
    }
    for (auto& handset : m_handsets) {
        if (!handset->WaitUntilPlugged(kPlugBound)) {
            return false;
        }
    }
    return true;
}

void StationLinks::QuietMessages::ShowMessage(const std::string& text, const std::string&) {
    link::WriteDiagnostic("message box: %s\n", text.c_str());
}

StationLinks::StationLinks(LinkKind kind, link::emulated::EmulatedBus* bus,
                           std::vector<std::string> paths)
    : m_paths(std::move(paths)),
      m_ttys(kind == LinkKind::Pty ? m_paths : std::vector<std::string>{}),
      m_platform{kind == LinkKind::Bus ? static_cast<link::DeviceDirectory&>(*bus) : m_ttys,
                 kind == LinkKind::Bus ? static_cast<link::SerialOpener&>(*bus) : m_ttyOpener,
                 m_noBulk, m_messages, kRunClock} {
    for (size_t slot = 0; slot < m_paths.size(); ++slot) {
        m_links.push_back(std::make_unique<link::CUsbInterface>(m_platform));
    }
}

StationLinks::~StationLinks() {
    for (auto& link : m_links) {
        link->Close();
    }
}

bool StationLinks::AttachAll() {
    for (int slot = 0; slot < Count(); ++slot) {
        link::CUsbInterface& link = *m_links[slot];
        if (!link.Open(&link::GUID_DEVINTERFACE_DOWNLOAD, slot, m_paths[slot].c_str())) {
            return false;
        }
        engine::Reply4 reply{};
        // A blocking read: at clock scale 0 a greeting read's passes would not wait at all.
        if (engine::WriteGreeting(link) != engine::kReplySize ||
            engine::ReadReply4(link, reply) != engine::kReplySize || reply != engine::kReplyOkud) {
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::benchmarks
