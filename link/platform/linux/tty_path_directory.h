#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/platform/device_directory.h"

namespace vantorel::link::linux_platform {

// Handsets reached through explicitly named ttys (a serial device given on the command line,
// a pseudo-terminal): lists those of the configured paths that exist now, in the configured
// order. Paths may be added while links use the directory.
class TtyPathDirectory final : public DeviceDirectory {
public:
    TtyPathDirectory() = default;
    explicit TtyPathDirectory(std::vector<std::string> paths);

    // A path configured already is not added twice.
    void Add(const std::string& path);

    std::optional<std::vector<std::string>> ListPresent(const Guid& interfaceClass) override;

private:
    std::mutex m_mutex;
    std::vector<std::string> m_paths;
};

}  // namespace vantorel::link::linux_platform
