#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace vantorel::test {

// A handset at the far end of a pseudo-terminal. The test holds the master side in raw mode;
// the station reaches the slave (/dev/pts/N) through a symbolic link, the handset's path.
class PtyHandset {
public:
    // Plugs in: a new pty with `linkPath` pointing at its slave.
    explicit PtyHandset(std::filesystem::path linkPath);
    ~PtyHandset();
    PtyHandset(const PtyHandset&) = delete;
    PtyHandset& operator=(const PtyHandset&) = delete;

    std::string Path() const { return m_linkPath.string(); }
    const std::string& SlaveNode() const { return m_slaveNode; }

    // Closes the master side, which hangs up the slave: the handset is pulled out.
    void Unplug();
    // Plugs in again: a fresh pty behind the same path.
    void Plug();
    void RemoveLink();

    // Bytes to the station; false when they cannot go within a few seconds.
    bool Send(const void* data, size_t length);
    bool Send(std::string_view text) { return Send(text.data(), text.size()); }
    // Exactly `length` bytes from the station; false when the stop came or the time ran out.
    bool Receive(void* data, size_t length, std::stop_token stop = {},
                 std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Runs `serve` on a thread of its own until it returns or the serving is stopped (by
    // StopServing, Unplug or the destructor).
    void Serve(std::function<void(PtyHandset&, std::stop_token)> serve);
    void StopServing();
    // Waits until the serving function has returned by itself.
    void WaitUntilServed();

private:
    void OpenPty();
    void CloseMaster();

    std::filesystem::path m_linkPath;
    std::string m_slaveNode;
    int m_master = -1;
    std::jthread m_server;
};

}  // namespace vantorel::test
