#include "console/caption_contrast.h"

#include <algorithm>
#include <cmath>

namespace vantorel::console {

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

double Linear(uint32_t channel) {
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(COLORREF colour) {
    return 0.2126 * Linear(colour & 0xFF) + 0.7152 * Linear((colour >> 8) & 0xFF) +
           0.0722 * Linear((colour >> 16) & 0xFF);
}

}  // namespace

double ContrastRatio(COLORREF first, COLORREF second) {
    const double a = RelativeLuminance(first);
    const double b = RelativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

COLORREF ReadableTextColour(COLORREF background) {
    return ContrastRatio(kWhite, background) > ContrastRatio(kBlack, background) ? kWhite : kBlack;
}

COLORREF DarkenedForContrast(COLORREF colour, COLORREF background, double ratio) {
    const auto scaled = [colour](double factor) {
        const auto channel = [&](int shift) {
            return static_cast<uint8_t>(std::lround(((colour >> shift) & 0xFF) * factor));
        };
        return RGB(channel(0), channel(8), channel(16));
    };
    // Each step takes 2 % off every channel: from any colour, black (21:1 on white) comes.
    for (double factor = 1.0; factor > 0.0; factor -= 0.02) {
        if (ContrastRatio(scaled(factor), background) >= ratio) {
            return scaled(factor);
        }
    }
    return kBlack;
}

}  // namespace vantorel::console
