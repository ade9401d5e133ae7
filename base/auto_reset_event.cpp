#include "base/auto_reset_event.h"

namespace vantorel {

void AutoResetEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_bSet = true;
    }
    m_signalled.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSet = false;
}

bool AutoResetEvent::WaitFor(std::chrono::nanoseconds timeout, std::stop_token stop) {
    std::unique_lock lock(m_mutex);
    if (!m_signalled.wait_for(lock, stop, timeout, [this] { return m_bSet; })) {
        return false;
    }
    m_bSet = false;
    return true;
}

}  // namespace vantorel
