#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/slot_port_map.h"

namespace vantorel::console {

// What the station keeps of slots that follow ports from one run to the next.
struct PortSettings {
    bool bSlotsFollowPorts = false;
    engine::SlotPortMap map;
};

// The operator's settings file, the one the file dialogs remember their folders in:
// $XDG_CONFIG_HOME/vantorel/vantorel.ini, by default ~/.config/vantorel/vantorel.ini
// (base/xdg_folders.h); empty, and then nothing is read or kept, when there is no home.
std::filesystem::path DefaultSettingsFile();
// The bench's own file beside it: emulated ports never reach the station's real map.
std::filesystem::path BenchSettingsFile();

// The settings file is read and written only while it is a regular file of at most this many
// bytes (or missing, to be written): a FIFO or a device there would block or flood the reader.
inline constexpr size_t kSettingsFileBytes = 1024 * 1024;
// False, with the reason, for a settings file that exists and is no such file.
bool IsSettingsFileUsable(const std::filesystem::path& file, std::string& why);

// The settings kept in `file`; the defaults (off, no port bound) for a missing file, an empty
// path or a file that is not usable. What the operator should hear of goes to `notes`, one
// sentence each: a file that is not read, a key present but unusable, a map that no longer
// reads (dropped).
PortSettings LoadPortSettings(const std::filesystem::path& file, std::vector<std::string>& notes);

// Keeps them in `file` beside its other settings; nothing happens for an empty path or a file
// that is not usable.
void SavePortSettings(const std::filesystem::path& file, const PortSettings& settings);

}  // namespace vantorel::console
