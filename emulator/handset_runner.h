#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "emulator/handset_emulator.h"

namespace vantorel::emulator {

// One plugged-in session on a port: the wire the boot loader talks through.
class PluggedSession : public HandsetWire {
public:
    // Takes the handset off the bus; harmless when it is off already.
    virtual void Unplug() = 0;
};

// Where a handset plugs in: a port of the emulated bus, or a pseudo-terminal at a link path.
class HandsetPort {
public:
    virtual ~HandsetPort() = default;

    // Puts the handset on the bus for one session whose waits all end on `sessionStop`;
    // nullptr when it cannot be plugged in now.
    virtual std::shared_ptr<PluggedSession> Plug(std::stop_token sessionStop) = 0;
    // For diagnostics: the port path or the link path.
    virtual std::string Name() const = 0;
};

// Runs a HandsetEmulator on a port with a thread of its own: plugs in, serves, and after a
// reboot goes off the bus, waits the reboot delay and plugs in again on the same port; after
// booting its own system (or an injected unplug) it stays off the bus.
//
// The test or the bench plugs and pulls it at will; a pulled handset (or one that left) can
// be plugged in again, and keeps its record. The destructor stops the thread, which takes the
// handset off the bus, and joins it. The clock must outlive the handset.
class HandsetRunner {
public:
    HandsetRunner(std::unique_ptr<HandsetPort> port, HandsetConfig config, HandsetFaults faults,
                  const Clock& clock);
    virtual ~HandsetRunner();

    HandsetRunner(const HandsetRunner&) = delete;
    HandsetRunner& operator=(const HandsetRunner&) = delete;

    // Plugs the handset in (the thread does it at once); nothing happens while it is in.
    void Plug();
    // Pulls the handset: returns once it is off the bus, and it stays off until Plug().
    void Unplug();

    bool IsPlugged() const;
    // Left the bus for good: booted its own system, an injected unplug, or a reboot it did
    // not come back from.
    bool HasLeft() const;
    // How the last session ended, if one did.
    std::optional<SessionEnd> LastSessionEnd() const;
    // How many plug attempts the port refused (the port was taken, no pseudo-terminal).
    uint64_t PlugFailures() const;

    // Bounded waits; true when the condition holds.
    bool WaitUntilPlugged(std::chrono::nanoseconds bound) const;
    bool WaitUntilLeft(std::chrono::nanoseconds bound) const;
    bool WaitForReboots(uint64_t count, std::chrono::nanoseconds bound) const;

    FlashRecord Record() const { return m_emulator.Record(); }
    const HandsetEmulator& Emulator() const { return m_emulator; }
    const HandsetPort& Port() const { return *m_port; }

private:
    void Run(std::stop_token stop);
    void AfterSession(SessionEnd end);
    template <typename Condition>
    bool WaitFor(std::chrono::nanoseconds bound, Condition condition) const;

    const std::unique_ptr<HandsetPort> m_port;
    HandsetEmulator m_emulator;

    mutable std::mutex m_mutex;
    mutable std::condition_variable_any m_changed;
    bool m_bWanted = false;   // the test or bench wants it on the bus
    bool m_bPlugged = false;  // a session is being served
    bool m_bOnBus = false;    // from plugging in until it is off the bus again
    bool m_bLeft = false;
    std::optional<SessionEnd> m_lastEnd;
    uint64_t m_reboots = 0;
    uint64_t m_plugFailures = 0;
    std::stop_source m_sessionStop;  // of the session being served

    std::jthread m_thread;  // last: it runs on everything above
};

}  // namespace vantorel::emulator
