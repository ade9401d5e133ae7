#pragma once

#include <filesystem>

#include "emulator/handset_runner.h"

namespace vantorel::emulator {

// An emulated handset on a pseudo-terminal: its device path is a symbolic link, at a path
// the caller chooses, to the /dev/pts node. Unplugging removes the link and closes the
// pseudo-terminal; a reboot unplugs, waits, and plugs a fresh pseudo-terminal in at the same
// link path. The pseudo-terminal is a byte stream, so the boot loader frames what it reads
// by its state: 4 bytes while it waits for the greeting, 2048 after that.
class PtyHandset : public HandsetRunner {
public:
    PtyHandset(std::filesystem::path linkPath, const Clock& clock, HandsetConfig config = {},
               HandsetFaults faults = {});

    const std::filesystem::path& LinkPath() const { return m_linkPath; }

private:
    const std::filesystem::path m_linkPath;
};

}  // namespace vantorel::emulator
