#include "link/platform/linux/tty_path_directory.h"

#include <sys/stat.h>

#include <algorithm>

namespace vantorel::link::linux_platform {

TtyPathDirectory::TtyPathDirectory(std::vector<std::string> paths) {
    for (const auto& path : paths) {
        Add(path);
    }
}

void TtyPathDirectory::Add(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end()) {
        m_paths.push_back(path);
    }
}

std::optional<std::vector<std::string>> TtyPathDirectory::ListPresent(const Guid& interfaceClass) {
    std::vector<std::string> present;
    if (interfaceClass != GUID_DEVINTERFACE_DOWNLOAD) {
        return present;
    }
    std::vector<std::string> configured;
    {
        std::lock_guard lock(m_mutex);
        configured = m_paths;
    }
    for (auto& path : configured) {
        struct stat status {};
        // stat follows symbolic links: a link whose tty went away is absent.
        if (::stat(path.c_str(), &status) == 0) {
            present.push_back(std::move(path));
        }
    }
    return present;
}

}  // namespace vantorel::link::linux_platform
