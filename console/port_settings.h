#pragma once

#include <filesystem>
#include <string>

#include "engine/slot_port_map.h"

namespace vantorel::console {

// What the station keeps of slots that follow ports from one run to the next.
struct PortSettings {
    bool bSlotsFollowPorts = false;
    engine::SlotPortMap map;
};

// The operator's settings file, the one the file dialogs remember their folders in:
// $XDG_CONFIG_HOME/vantorel/vantorel.ini, by default ~/.config/vantorel/vantorel.ini.
std::filesystem::path DefaultSettingsFile();

// The settings kept in `file`; the defaults (off, no port bound) for a missing file or an
// empty path. A kept map that no longer reads is dropped and `problem` says why.
PortSettings LoadPortSettings(const std::filesystem::path& file, std::string& problem);

// Keeps them in `file` beside its other settings; nothing happens for an empty path.
void SavePortSettings(const std::filesystem::path& file, const PortSettings& settings);

}  // namespace vantorel::console
