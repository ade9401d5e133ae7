#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>

namespace vantorel {

// An auto-reset event: Set wakes one waiter (or the next one to wait) and the event resets
// itself as that waiter returns. Every wait is bounded.
class AutoResetEvent {
public:
    void Set();
    void Reset();

    // True when the event was signalled within `timeout`; false on time-out or a stop request.
    bool WaitFor(std::chrono::nanoseconds timeout, std::stop_token stop = {});

private:
    std::mutex m_mutex;
    std::condition_variable_any m_signalled;
    bool m_bSet = false;
};

}  // namespace vantorel
