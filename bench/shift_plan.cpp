#include "bench/shift_plan.h"

#include <algorithm>
#include <random>

namespace vantorel::bench {

Clock::Duration ShiftFlashStep(int number, int spreadPercent) {
    const int spread = std::clamp(spreadPercent, 0, 100);
    // A generator of its own per handset: the variation does not depend on what was drawn
    // for the handsets before it, nor on the library's distributions.
    std::mt19937 generator(static_cast<std::mt19937::result_type>(number) * 2654435761u + 1u);
    const double unit = static_cast<double>(generator()) / std::mt19937::max();  // 0..1
    const double factor = 1.0 + spread / 100.0 * (2.0 * unit - 1.0);
    return Clock::Duration(static_cast<Clock::Duration::rep>(kShiftFlashStep.count() * factor));
}

double PerHour(int count, std::chrono::duration<double> protocolTime) {
    const double hours = protocolTime.count() / 3600.0;
    return hours > 0 ? count / hours : 0.0;
}

}  // namespace vantorel::bench
