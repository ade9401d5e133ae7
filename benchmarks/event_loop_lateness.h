#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <vector>

namespace vantorel::benchmarks {

// A timer on the calling thread's event loop that wants to fire every `period` ms and
// records how late each tick came: what an operator feels as a window that stutters.
class EventLoopLateness {
public:
    explicit EventLoopLateness(int periodMs);

    void Start();
    void Stop();

    // Over the ticks recorded so far, in ms; 0 without ticks.
    double Percentile(double fraction) const;
    double Max() const;
    size_t Ticks() const { return m_lateMs.size(); }

private:
    void Tick();

    const int m_nPeriodMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_armedAtNs = 0;
    std::vector<double> m_lateMs;
};

// Of `samples`, the value that `fraction` of them do not exceed (nearest rank); 0 when empty.
double PercentileOf(std::vector<double> samples, double fraction);

}  // namespace vantorel::benchmarks
