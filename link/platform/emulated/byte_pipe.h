#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace vantorel::link::emulated {

// One direction of an emulated cable: bytes written at one end, read at the other, until
// the cable is cut. Readers may also give up through a stop token or a caller's flag.
//
// A pipe with a packet size also keeps the packets a USB pipe would carry: each push is one
// transfer, cut into packets of that size, with a zero-length packet behind a transfer that
// fills its last packet. Stream readers (Take) see the bytes alone; packet readers
// (TakePacket) see one packet at a time.
class BytePipe {
public:
    explicit BytePipe(size_t packetSize = 0) : m_packetSize(packetSize) {}

    // False once the pipe is cut.
    bool Push(const uint8_t* data, size_t length);

    // Waits until bytes are queued; false when the pipe was cut, the stop was requested,
    // `abandon()` turned true or the timeout passed with nothing queued.
    template <typename AbandonFn>
    bool WaitForBytes(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                      AbandonFn abandon) {
        return WaitUntilQueued(timeout, stop, abandon, false);
    }
    // The same for a whole packet, a zero-length one included.
    template <typename AbandonFn>
    bool WaitForPacket(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                       AbandonFn abandon) {
        return WaitUntilQueued(timeout, stop, abandon, true);
    }

    size_t Queued() const;
    // Takes up to `length` queued bytes without waiting.
    size_t Take(uint8_t* data, size_t length);

    struct Packet {
        bool bTaken = false;     // false: no packet was queued
        bool bOverflow = false;  // it held more than `room`: its bytes are dropped
        size_t length = 0;
    };
    // Takes the next whole packet without waiting.
    Packet TakePacket(uint8_t* data, size_t room);

    void Cut();
    bool IsCut() const;
    // Wakes every waiter so it re-checks its own reasons to give up.
    void WakeAll();

private:
    template <typename AbandonFn>
    bool WaitUntilQueued(std::optional<std::chrono::nanoseconds> timeout, std::stop_token stop,
                         AbandonFn abandon, bool bWholePacket);
    // Under the lock: queued in the unit the reader waits for.
    bool HasQueued(bool bWholePacket) const {
        return bWholePacket ? !m_packets.empty() : m_readOffset < m_bytes.size();
    }
    // Under the lock: the packets behind `count` bytes that a stream reader took.
    void DropPackets(size_t count);

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
    const size_t m_packetSize;  // 0: a plain byte stream
    std::vector<uint8_t> m_bytes;
    size_t m_readOffset = 0;
    std::deque<size_t> m_packets;  // bytes left in each queued packet, in order
    bool m_bCut = false;
    std::atomic<uint64_t> m_changes{0};  // bytes pushed, the cut, a wake-up: what spinners watch
};

template <typename AbandonFn>
bool BytePipe::WaitUntilQueued(std::optional<std::chrono::nanoseconds> timeout,
                               std::stop_token stop, AbandonFn abandon, bool bWholePacket) {
    // Registered before the lock is taken: a stop that comes now runs the callback here and
    // is seen by the first check; a later one takes the lock, so it cannot slip in between a
    // check and the sleep.
    const std::stop_callback wakeOnStop(stop, [this] { WakeAll(); });
    std::unique_lock lock(m_mutex);
    const auto ready = [&] {
        return HasQueued(bWholePacket) || m_bCut || stop.stop_requested() || abandon();
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
    return HasQueued(bWholePacket) && !abandon();
}

}  // namespace vantorel::link::emulated
