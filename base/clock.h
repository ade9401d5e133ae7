#pragma once

#include <chrono>
#include <stop_token>

namespace vantorel {

// The one source of protocol time. Every protocol sleep and bounded wait is written in the
// protocol's own milliseconds and goes through here; production runs at scale 1, tests and
// the bench scale time down without touching a single protocol value.
class Clock {
public:
    using Duration = std::chrono::milliseconds;

    Clock() = default;
    explicit Clock(double scale);

    double scale() const { return m_scale; }

    // Real time that a protocol duration takes at this clock's scale.
    std::chrono::nanoseconds ToReal(Duration protocolTime) const;

    void Sleep(Duration protocolTime) const;

    // Sleeps unless a stop is requested first; false when the stop cut the sleep short.
    bool SleepUnlessStopped(Duration protocolTime, std::stop_token stop) const;

private:
    double m_scale = 1.0;
};

}  // namespace vantorel
