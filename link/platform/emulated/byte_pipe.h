#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace vantorel::link::emulated {

// One direction of an emulated cable: bytes written at one end, read at the other, until
// the cable is cut. Readers may also give up through a stop token or a caller's flag.
class BytePipe {
public:
    // False once the pipe is cut.
    bool Push(const uint8_t* data, size_t length);

    // Waits until bytes are queued; false when the pipe was cut, the stop was requested,
    // `abandon()` turned true or the timeout passed with nothing queued.
    template <typename AbandonFn>
    bool WaitForBytes(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                      AbandonFn abandon);

    size_t Queued() const;
    // Takes up to `length` queued bytes without waiting.
    size_t Take(uint8_t* data, size_t length);

    void Cut();
    bool IsCut() const;
    // Wakes every waiter so it re-checks its own reasons to give up.
    void WakeAll();

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::vector<uint8_t> m_bytes;
    size_t m_readOffset = 0;
    bool m_bCut = false;
};

template <typename AbandonFn>
bool BytePipe::WaitForBytes(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                            AbandonFn abandon) {
    std::unique_lock lock(m_mutex);
    const auto ready = [&] { return m_readOffset < m_bytes.size() || m_bCut || abandon(); };
    if (timeout) {
        m_changed.wait_for(lock, stop, *timeout, ready);
    } else {
        m_changed.wait(lock, stop, ready);
    }
    return m_readOffset < m_bytes.size() && !abandon();
}

}  // namespace vantorel::link::emulated
