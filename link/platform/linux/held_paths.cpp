#include "link/platform/linux/held_paths.h"

namespace vantorel::link::linux_platform {

HeldPaths::Claim::Claim(PassKey, std::shared_ptr<HeldPaths> registry, std::string path)
    : m_registry(std::move(registry)), m_path(std::move(path)) {}

HeldPaths::Claim::~Claim() {
    m_registry->Release(m_path);
}

std::unique_ptr<HeldPaths::Claim> HeldPaths::TryHold(const std::string& path) {
    auto self = shared_from_this();
    {
        std::lock_guard lock(m_mutex);
        if (!m_held.insert(path).second) {
            return nullptr;
        }
    }
    return std::make_unique<Claim>(PassKey{}, std::move(self), path);
}

bool HeldPaths::IsHeld(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    return m_held.contains(path);
}

void HeldPaths::Release(const std::string& path) {
    std::lock_guard lock(m_mutex);
    m_held.erase(path);
}

}  // namespace vantorel::link::linux_platform
