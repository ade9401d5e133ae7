#pragma once

#include <chrono>
#include <stop_token>

namespace vantorel {

// Sees every protocol sleep of a clock before it happens. Tests use it to check the
// protocol's pauses and to shorten the longest of them; production sets none.
class SleepObserver {
public:
    virtual ~SleepObserver() = default;
    // Called on the sleeping thread; returns the protocol time to sleep instead.
    virtual std::chrono::milliseconds OnSleep(std::chrono::milliseconds protocolTime) = 0;
};

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

    // The real bound of a wait for the other side to show a sign of life: ToReal, but never
    // below kShortestRealBound. A scaled-down clock shortens the protocol's waits; it must
    // not turn another thread's scheduling delay into a silent handset.
    std::chrono::nanoseconds ToRealBound(Duration protocolTime) const;
    static constexpr std::chrono::seconds kShortestRealBound{2};

    // Set before any thread sleeps on this clock; the observer must outlive those sleeps.
    void WatchSleeps(SleepObserver* observer) { m_observer = observer; }

    void Sleep(Duration protocolTime) const;

    // Sleeps unless a stop is requested first; false when the stop cut the sleep short.
    bool SleepUnlessStopped(Duration protocolTime, std::stop_token stop) const;

private:
    Duration Observed(Duration protocolTime) const {
        return m_observer != nullptr ? m_observer->OnSleep(protocolTime) : protocolTime;
    }

    double m_scale = 1.0;
    SleepObserver* m_observer = nullptr;
};

}  // namespace vantorel
