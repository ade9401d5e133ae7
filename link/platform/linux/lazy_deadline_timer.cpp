#include "link/platform/linux/lazy_deadline_timer.h"

#include <sys/timerfd.h>

#include <algorithm>
#include <cstdint>

#include "link/platform/linux/to_timespec.h"

namespace vantorel::link::linux_platform {

LazyDeadlineTimer::LazyDeadlineTimer()
    : m_timer(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK)) {}

bool LazyDeadlineTimer::FireBy(Clock::time_point deadline) {
    std::lock_guard lock(m_mutex);
    if (deadline >= m_armedFor) {
        return true;  // armed for this deadline or an earlier one already
    }
    return SetLocked(deadline);
}

void LazyDeadlineTimer::FireNow() {
    std::lock_guard lock(m_mutex);
    SetLocked(Clock::time_point::min());
}

bool LazyDeadlineTimer::SetLocked(Clock::time_point deadline) {
    // A time already past fires at once; zero would disarm the timer instead.
    itimerspec when{};
    when.it_value = ToTimespec(std::max(deadline.time_since_epoch(), Clock::duration(1)));
    if (::timerfd_settime(m_timer.Get(), TFD_TIMER_ABSTIME, &when, nullptr) != 0) {
        return false;
    }
    m_armedFor = deadline;
    return true;
}

void LazyDeadlineTimer::TakeExpiry() {
    std::lock_guard lock(m_mutex);
    uint64_t expirations = 0;
    // Another wait may have taken it first (EAGAIN): the timer is unarmed all the same,
    // unless that wait has set it again since.
    [[maybe_unused]] const ssize_t taken = ::read(m_timer.Get(), &expirations, sizeof expirations);
    itimerspec current{};
    if (::timerfd_gettime(m_timer.Get(), &current) == 0 && current.it_value.tv_sec == 0 &&
        current.it_value.tv_nsec == 0) {
        m_armedFor = Clock::time_point::max();
    }
}

}  // namespace vantorel::link::linux_platform
