#pragma once

#include <time.h>

#include <chrono>

namespace vantorel::link::linux_platform {

// A duration (or a time since the clock's epoch) as the kernel's timespec.
inline timespec ToTimespec(std::chrono::nanoseconds duration) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((duration - seconds).count())};
}

}  // namespace vantorel::link::linux_platform
