#include "console/shift_counters.h"

#include "base/text_format.h"

namespace vantorel::console {

void ShiftCounters::Start(TimePoint now, double clockScale) {
    *this = {};
    m_started = now;
    m_clockScale = clockScale > 0 ? clockScale : 1.0;
}

void ShiftCounters::Count(bool bDone) {
    (bDone ? m_nDone : m_nFailed) += 1;
}

double ShiftCounters::DonePerHour(TimePoint now) const {
    const double realSeconds = std::chrono::duration<double>(now - m_started).count();
    const double protocolHours = realSeconds / m_clockScale / 3600.0;
    return protocolHours > 0 ? m_nDone / protocolHours : 0.0;
}

std::string ShiftCounters::Text(TimePoint now) const {
    return FormatText("%d done, %d failed, %.1f per hour", m_nDone, m_nFailed, DonePerHour(now));
}

}  // namespace vantorel::console
