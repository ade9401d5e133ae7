#include "console/slot_pace.h"

#include <algorithm>

#include "base/text_format.h"

namespace vantorel::console {

using std::chrono::duration_cast;
using std::chrono::seconds;

void SlotPace::Progress(TimePoint now, int percent, uint64_t partBytes, uint32_t partKey) {
    if (m_mode != Mode::Moving || partKey != m_partKey || percent < m_percent) {
        m_mode = Mode::Moving;
        m_start = now;
        m_partKey = partKey;
        m_partBytes = partBytes;
        m_startPercent = percent;
    }
    m_percent = percent;
    m_lastReport = now;
}

void SlotPace::Wait(TimePoint now, Duration bound) {
    m_mode = Mode::Waiting;
    m_start = now;
    m_bound = bound;
}

void SlotPace::Idle() {
    m_mode = Mode::Idle;
}

std::string SlotPace::Text(TimePoint now) const {
    switch (m_mode) {
        case Mode::Idle:
            return {};
        case Mode::Waiting: {
            const Duration waited = std::max(Duration::zero(), now - m_start);
            const Duration left = std::max(Duration::zero(), m_bound - waited);
            return FormatDuration(waited) + " waited, " + FormatDuration(left) + " left";
        }
        case Mode::Moving:
            break;
    }
    // A slot whose data stopped moving says so and counts, instead of going on measuring or
    // promising a time left from a rate it no longer has.
    if (const Duration silent = now - m_lastReport; silent >= kStallShownAfter) {
        return "no progress for " + FormatDuration(silent);
    }
    // The rate over the part so far, as of the last report; nothing to tell before the
    // second report of a part.
    const double moved = (m_percent - m_startPercent) / 100.0;
    const double elapsed = std::chrono::duration<double>(m_lastReport - m_start).count();
    if (moved <= 0.0 || elapsed <= 0.0) {
        return "measuring...";
    }
    const double fractionPerSecond = moved / elapsed;
    const double leftSeconds = ((100 - m_percent) / 100.0) / fractionPerSecond;
    const auto left = duration_cast<Duration>(std::chrono::duration<double>(leftSeconds)) -
                      std::max(Duration::zero(), now - m_lastReport);
    return FormatRate(fractionPerSecond * static_cast<double>(m_partBytes)) + ", " +
           FormatDuration(std::max(Duration::zero(), left)) + " left";
}

std::string FormatDuration(std::chrono::steady_clock::duration duration) {
    const auto total = duration_cast<seconds>(duration).count();
    const long long hours = total / 3600;
    const long long minutes = (total / 60) % 60;
    const long long secs = total % 60;
    if (hours > 0) {
        return FormatText("%lld:%02lld:%02lld", hours, minutes, secs);
    }
    return FormatText("%lld:%02lld", minutes, secs);
}

std::string FormatRate(double bytesPerSecond) {
    if (bytesPerSecond >= 1024.0 * 1024.0) {
        return FormatText("%.1f MB/s", bytesPerSecond / (1024.0 * 1024.0));
    }
    return FormatText("%.0f KB/s", bytesPerSecond / 1024.0);
}

}  // namespace vantorel::console
