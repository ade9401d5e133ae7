#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "link/platform/linux/lazy_deadline_timer.h"
#include "link/platform/linux/unique_fd.h"
#include "link/platform/serial_channel.h"

namespace vantorel::link::linux_platform {

// One tty held exclusively in raw mode. Exclusive twice over: an flock on the open file
// (which also holds against root and within this process) and TIOCEXCL (which makes the
// kernel refuse other unprivileged opens). Every wait polls one timer beside the tty: it ends
// a bounded wait, and Cancel fires it, so a cancel wakes a blocked wait or write at once.
class TtySerialChannel final : public SerialChannel {
    struct PassKey {};

public:
    // nullptr when the node cannot be opened, is no tty, or is held already.
    static std::shared_ptr<TtySerialChannel> Open(const std::string& node);

    TtySerialChannel(PassKey, UniqueFd tty);
    ~TtySerialChannel() override;

    size_t Write(const uint8_t* data, size_t length) override;
    WaitOutcome WaitForData(std::optional<std::chrono::nanoseconds> timeout) override;
    size_t QueuedBytes() override;
    size_t Read(uint8_t* data, size_t length) override;
    void Cancel() override;

private:
    enum class Readiness { Ready, HungUp, Cancelled, TimedOut };
    // Waits for `events` on the tty, a hang-up, a cancel or the timeout.
    Readiness Poll(short events, std::optional<std::chrono::nanoseconds> timeout);

    UniqueFd m_tty;
    LazyDeadlineTimer m_timer;
    std::atomic<bool> m_bCancelled{false};
};

}  // namespace vantorel::link::linux_platform
