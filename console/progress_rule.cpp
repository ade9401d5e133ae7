#include "console/progress_rule.h"

#include "base/text_format.h"

namespace vantorel::console {

double FilledFraction(int pos, int min, int max) {
    if (min >= max) {
        return 0.0;
    }
    return static_cast<double>(pos - min) / static_cast<double>(max - min);
}

int FilledWidth(int pos, int min, int max, int clientWidth) {
    return static_cast<int>(FilledFraction(pos, min, max) * clientWidth);
}

std::string PercentText(int pos, int min, int max) {
    return FormatText("%d%%", static_cast<int>(FilledFraction(pos, min, max) * 100));
}

}  // namespace vantorel::console
