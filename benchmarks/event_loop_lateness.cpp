#include "benchmarks/event_loop_lateness.h"

#include <algorithm>
#include <cmath>

namespace vantorel::benchmarks {

EventLoopLateness::EventLoopLateness(int periodMs) : m_nPeriodMs(periodMs) {
    // Armed anew at each tick: a late tick delays the next instead of being skipped, so
    // each sample is the wait of one tick alone.
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_clock.start();
}

void EventLoopLateness::Start() {
    m_armedAtNs = m_clock.nsecsElapsed();
    m_timer.start(m_nPeriodMs);
}

void EventLoopLateness::Stop() {
    m_timer.stop();
}

void EventLoopLateness::Tick() {
    const qint64 now = m_clock.nsecsElapsed();
    const double late =
        static_cast<double>(now - m_armedAtNs) / 1e6 - static_cast<double>(m_nPeriodMs);
    m_lateMs.push_back(std::max(late, 0.0));
    Start();
}

double EventLoopLateness::Percentile(double fraction) const {
    return PercentileOf(m_lateMs, fraction);
}

double EventLoopLateness::Max() const {
    return m_lateMs.empty() ? 0.0 : *std::max_element(m_lateMs.begin(), m_lateMs.end());
}

double PercentileOf(std::vector<double> samples, double fraction) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(fraction * static_cast<double>(samples.size()));
    const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, double(samples.size()))) - 1;
    return samples[index];
}

}  // namespace vantorel::benchmarks
