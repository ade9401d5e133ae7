#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vantorel::console {

// Without a progress report for this long, a moving slot is shown as stalled.
inline constexpr std::chrono::seconds kStallShownAfter{10};

// How a slot is getting on in time, shown beside its bar: the rate and the time left while
// an image's data moves, the time waited and the time left at most while the slot sits in
// one of the station's waits (the reboot, the re-connection tries, the wait after the
// download). Blank otherwise. Times are real time, as the operator waits them.
class SlotPace {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::steady_clock::duration;

    // A progress report of `percent` of a part of `partBytes` bytes. A new `partKey`, or a
    // percentage lower than the last, starts the part afresh.
    void Progress(TimePoint now, int percent, uint64_t partBytes, uint32_t partKey);
    // The slot begins a wait of at most `bound`.
    void Wait(TimePoint now, Duration bound);
    // Neither: the text is blank.
    void Idle();

    bool IsIdle() const { return m_mode == Mode::Idle; }
    std::string Text(TimePoint now) const;

private:
    enum class Mode { Idle, Moving, Waiting };

    Mode m_mode = Mode::Idle;
    TimePoint m_start{};
    // Moving: where the part stood when first seen, and where it stands now.
    uint32_t m_partKey = 0;
    uint64_t m_partBytes = 0;
    int m_startPercent = 0;
    int m_percent = 0;
    TimePoint m_lastReport{};
    // Waiting.
    Duration m_bound{};
};

// "0:07", "12:30", "1:02:03".
std::string FormatDuration(std::chrono::steady_clock::duration duration);
// "850 KB/s", "12.4 MB/s".
std::string FormatRate(double bytesPerSecond);

}  // namespace vantorel::console
