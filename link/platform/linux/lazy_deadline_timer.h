#pragma once

#include <chrono>
#include <mutex>

#include "link/platform/linux/unique_fd.h"

namespace vantorel::link::linux_platform {

// The one timerfd a channel's waits poll beside the tty: it ends bounded waits, and a cancel
// fires it at once. A reply comes long before its bound, so the timer is not armed and
// cancelled for each wait (as a poll timeout is, once per reply): it is moved only when a
// wait's deadline comes before the one it is armed for, or after it fired, about once per
// bound. It never fires later than the earliest deadline asked since it last fired, so a
// wait that sees it fire checks its own deadline and, when that is still ahead, asks again.
class LazyDeadlineTimer {
public:
    using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the timerfd's clock

    LazyDeadlineTimer();

    bool Valid() const { return static_cast<bool>(m_timer); }
    int Fd() const { return m_timer.Get(); }

    // Makes the timer fire no later than `deadline`; false when it could not be set.
    bool FireBy(Clock::time_point deadline);
    // Fires it now: every wait polling it wakes.
    void FireNow();
    // Called by a wait that saw Fd() readable: takes the expiry, so the timer is unarmed.
    void TakeExpiry();

private:
    bool SetLocked(Clock::time_point deadline);

    UniqueFd m_timer;
    std::mutex m_mutex;  // a write's wait and a read's may overlap, and a cancel comes from afar
    Clock::time_point m_armedFor = Clock::time_point::max();
};

}  // namespace vantorel::link::linux_platform
