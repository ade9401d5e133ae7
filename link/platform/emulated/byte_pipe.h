#pragma once

#include <atomic>
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
    // The other end answers within microseconds on this in-process wire. Before a waiter
    // goes to sleep it spins briefly, handing the processor over between looks, so a prompt
    // answer costs neither end a sleep, a wake-up and their system calls (on a virtual
    // machine several times the spin). A late answer costs the spin once per wait.
    static constexpr int kPauseRounds = 12;
    static constexpr int kYieldRounds = 8;
    void SpinWhileUnchanged(uint64_t seen) const;
    // Under the lock: a change that a waiter must look at.
    void Changed() { m_changes.fetch_add(1, std::memory_order_release); }

    mutable std::mutex m_mutex;
    // A plain condition variable: a stop token is served by a callback instead, which keeps
    // the hand-over of every packet to one lock and one wake-up.
    std::condition_variable m_changed;
    std::vector<uint8_t> m_bytes;
    size_t m_readOffset = 0;
    bool m_bCut = false;
    std::atomic<uint64_t> m_changes{0};  // bytes pushed, the cut, a wake-up: what spinners watch
};

template <typename AbandonFn>
bool BytePipe::WaitForBytes(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                            AbandonFn abandon) {
    // Registered before the lock is taken: a stop that comes now runs the callback here and
    // is seen by the first check; a later one takes the lock, so it cannot slip in between a
    // check and the sleep.
    const std::stop_callback wakeOnStop(stop, [this] { WakeAll(); });
    std::unique_lock lock(m_mutex);
    const auto ready = [&] {
        return m_readOffset < m_bytes.size() || m_bCut || stop.stop_requested() || abandon();
    };
    if (!ready()) {
        const uint64_t seen = m_changes.load(std::memory_order_relaxed);
        lock.unlock();
        SpinWhileUnchanged(seen);
        lock.lock();
        if (timeout) {
            m_changed.wait_for(lock, *timeout, ready);
        } else {
            m_changed.wait(lock, ready);
        }
    }
    return m_readOffset < m_bytes.size() && !abandon();
}

}  // namespace vantorel::link::emulated
