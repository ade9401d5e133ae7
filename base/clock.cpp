#include "base/clock.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace vantorel {

Clock::Clock(double scale) : m_scale(scale) {
    if (!(scale >= 0.0)) {
        throw std::invalid_argument("clock scale must be zero or positive");
    }
}

std::chrono::nanoseconds Clock::ToReal(Duration protocolTime) const {
    const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(protocolTime);
    if (m_scale == 1.0) {
        return nanos;
    }
    return std::chrono::nanoseconds(
        static_cast<long long>(static_cast<double>(nanos.count()) * m_scale));
}

std::chrono::nanoseconds Clock::ToRealBound(Duration protocolTime) const {
    return std::max<std::chrono::nanoseconds>(ToReal(protocolTime), kShortestRealBound);
}

void Clock::Sleep(Duration protocolTime) const {
    const auto real = ToReal(Observed(protocolTime));
    if (real.count() > 0) {
        std::this_thread::sleep_for(real);
    } else {
        std::this_thread::yield();
    }
}

bool Clock::SleepUnlessStopped(Duration protocolTime, std::stop_token stop) const {
    if (stop.stop_requested()) {
        return false;
    }
    const auto real = ToReal(Observed(protocolTime));
    if (real.count() <= 0) {
        std::this_thread::yield();
        return !stop.stop_requested();
    }
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, real, [] { return false; });
    return !stop.stop_requested();
}

}  // namespace vantorel
