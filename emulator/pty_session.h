#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "emulator/handset_runner.h"
#include "link/platform/linux/unique_fd.h"

namespace vantorel::emulator {

// One session on a fresh pseudo-terminal: the handset serves the master side, the station
// opens the slave through the link. The handset keeps a slave descriptor of its own open,
// so a station that closes and opens the link again does not hang the master up; closing
// the master is what the station sees as the handset leaving.
class PtySession final : public PluggedSession {
public:
    // Opens the pseudo-terminal in raw mode on both sides and only then points the link at
    // it; nullptr (with errno) on failure.
    static std::shared_ptr<PtySession> Open(const std::filesystem::path& linkPath,
                                            std::stop_token sessionStop);
    ~PtySession() override;

    bool ReadExact(uint8_t* data, size_t length, std::stop_token stop) override;
    bool Write(const uint8_t* data, size_t length) override;
    // Removes the link (when it is still ours) and closes the pseudo-terminal.
    void Unplug() override;

    const std::string& SlaveName() const { return m_slaveName; }

private:
    using UniqueFd = link::linux_platform::UniqueFd;

    PtySession(std::filesystem::path linkPath, std::stop_token sessionStop);
    bool Start();
    void PointLinkAtSlave();
    // Waits until the master is ready for `events`; false when the session is stopped or the
    // pseudo-terminal failed.
    bool WaitFor(short events);
    void Wake();

    const std::filesystem::path m_linkPath;
    std::string m_slaveName;
    UniqueFd m_master;
    UniqueFd m_slave;
    UniqueFd m_wake;  // an eventfd that a stop makes readable for good
    std::stop_callback<std::function<void()>> m_onStop;
    std::mutex m_unplugMutex;
    bool m_bUnplugged = false;
};

}  // namespace vantorel::emulator
