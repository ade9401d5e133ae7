#include "emulator/handset_runner.h"

#include <cstdio>

namespace vantorel::emulator {

HandsetRunner::HandsetRunner(std::unique_ptr<HandsetPort> port, HandsetConfig config,
                             HandsetFaults faults, const Clock& clock)
    : m_port(std::move(port)),
      m_emulator(std::move(config), std::move(faults), clock),
      m_thread([this](std::stop_token stop) { Run(stop); }) {}

HandsetRunner::~HandsetRunner() {
    m_thread.request_stop();
    {
        std::lock_guard lock(m_mutex);
        m_sessionStop.request_stop();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void HandsetRunner::Plug() {
    {
        std::lock_guard lock(m_mutex);
        m_bWanted = true;
        m_bLeft = false;
    }
    m_changed.notify_all();
}

void HandsetRunner::Unplug() {
    std::unique_lock lock(m_mutex);
    m_bWanted = false;
    m_sessionStop.request_stop();
    m_changed.notify_all();
    // From the handset's own thread (a bus event handler) there is nobody to wait for.
    if (std::this_thread::get_id() != m_thread.get_id()) {
        m_changed.wait(lock, [this] { return !m_bOnBus; });
    }
}

bool HandsetRunner::IsPlugged() const {
    std::lock_guard lock(m_mutex);
    return m_bPlugged;
}

bool HandsetRunner::HasLeft() const {
    std::lock_guard lock(m_mutex);
    return m_bLeft;
}

std::optional<SessionEnd> HandsetRunner::LastSessionEnd() const {
    std::lock_guard lock(m_mutex);
    return m_lastEnd;
}

uint64_t HandsetRunner::PlugFailures() const {
    std::lock_guard lock(m_mutex);
    return m_plugFailures;
}

template <typename Condition>
bool HandsetRunner::WaitFor(std::chrono::nanoseconds bound, Condition condition) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, bound, condition);
}

bool HandsetRunner::WaitUntilPlugged(std::chrono::nanoseconds bound) const {
    return WaitFor(bound, [this] { return m_bPlugged; });
}

bool HandsetRunner::WaitUntilLeft(std::chrono::nanoseconds bound) const {
    return WaitFor(bound, [this] { return m_bLeft; });
}

bool HandsetRunner::WaitForReboots(uint64_t count, std::chrono::nanoseconds bound) const {
    return WaitFor(bound, [this, count] { return m_reboots >= count; });
}

void HandsetRunner::Run(std::stop_token stop) {
    for (;;) {
        std::stop_token sessionStop;
        {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait(lock, stop, [this] { return m_bWanted; })) {
                return;
            }
            m_sessionStop = std::stop_source();
            sessionStop = m_sessionStop.get_token();
            m_bOnBus = true;
        }
        // The session also ends when the whole handset is stopped.
        std::stop_callback forward(stop, [this] {
            std::lock_guard lock(m_mutex);
            m_sessionStop.request_stop();
        });

        const std::shared_ptr<PluggedSession> session = m_port->Plug(sessionStop);
        if (!session) {
            std::fprintf(stderr, "handset at %s: cannot plug in\n", m_port->Name().c_str());
            std::lock_guard lock(m_mutex);
            m_bWanted = false;
            m_bOnBus = false;
            ++m_plugFailures;
            m_changed.notify_all();
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            m_bPlugged = !sessionStop.stop_requested();
            m_changed.notify_all();
        }
        SessionEnd end = SessionEnd::Stopped;
        if (!sessionStop.stop_requested()) {
            end = m_emulator.Serve(*session, sessionStop);
        }
        session->Unplug();
        if (end == SessionEnd::Stopped && !stop.stop_requested()) {
            end = SessionEnd::WireLost;  // pulled by Unplug()
        }
        AfterSession(end);
        if (stop.stop_requested()) {
            return;
        }
        if (m_emulator.ComesBackAfter(end)) {
            std::unique_lock lock(m_mutex);
            const auto delay = m_emulator.GetClock().ToReal(m_emulator.Config().rebootDelay);
            // Pulled during the reboot: it stays off until plugged again.
            m_changed.wait_for(lock, stop, delay, [this] { return !m_bWanted; });
        }
    }
}

void HandsetRunner::AfterSession(SessionEnd end) {
    {
        std::lock_guard lock(m_mutex);
        m_bPlugged = false;
        m_bOnBus = false;
        m_lastEnd = end;
        if (end == SessionEnd::Reboot) {
            ++m_reboots;
        }
        if (!m_emulator.ComesBackAfter(end)) {
            m_bWanted = false;
            m_bLeft = end == SessionEnd::Launched || end == SessionEnd::InjectedUnplug ||
                      end == SessionEnd::Reboot;
        }
    }
    m_changed.notify_all();
}

}  // namespace vantorel::emulator
