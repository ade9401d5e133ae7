#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace vantorel::link::linux_platform {

// The device paths this process holds open. The kernel refuses a second claim of a USB
// interface only once it is made; this refuses the second open itself, as a held device
// interface must be refused. Own it through a shared_ptr: every claim keeps it alive.
class HeldPaths : public std::enable_shared_from_this<HeldPaths> {
    struct PassKey {};

public:
    // Holds one path until it is dropped.
    class Claim {
    public:
        Claim(PassKey, std::shared_ptr<HeldPaths> registry, std::string path);
        ~Claim();
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;

        const std::string& Path() const { return m_path; }

    private:
        std::shared_ptr<HeldPaths> m_registry;
        std::string m_path;
    };

    // nullptr when `path` is held already.
    std::unique_ptr<Claim> TryHold(const std::string& path);
    bool IsHeld(const std::string& path) const;

private:
    void Release(const std::string& path);

    mutable std::mutex m_mutex;
    std::set<std::string> m_held;
};

}  // namespace vantorel::link::linux_platform
