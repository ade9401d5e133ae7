#pragma once

#include <chrono>
#include <string>

namespace vantorel::console {

// What a shift of slots that run on their own has done so far: handsets done and failed,
// and the done ones per hour of protocol time since the shift began (a clock running at a
// scale below 1 makes an hour pass sooner).
class ShiftCounters {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    void Start(TimePoint now, double clockScale);
    void Count(bool bDone);
    int Done() const { return m_nDone; }
    int Failed() const { return m_nFailed; }
    // 0 until any protocol time has passed.
    double DonePerHour(TimePoint now) const;
    // "12 done, 1 failed, 95.3 per hour"
    std::string Text(TimePoint now) const;

private:
    TimePoint m_started{};
    double m_clockScale = 1.0;
    int m_nDone = 0;
    int m_nFailed = 0;
};

}  // namespace vantorel::console
