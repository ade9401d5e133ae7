#pragma once

#include <QColor>
#include <cstdint>

namespace vantorel::console {

// A colour as the display controls store it: 0x00BBGGRR. -1 passed to a setter asks for
// the control's system colour.
using COLORREF = uint32_t;
inline constexpr COLORREF kSystemColour = 0xFFFFFFFFu;

constexpr COLORREF RGB(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<COLORREF>(red) | (static_cast<COLORREF>(green) << 8) |
           (static_cast<COLORREF>(blue) << 16);
}

inline QColor ToQColor(COLORREF colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

inline COLORREF FromQColor(const QColor& colour) {
    return RGB(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
               static_cast<uint8_t>(colour.blue()));
}

// The slot label colours.
inline constexpr COLORREF kWaitingColour = RGB(255, 255, 0);
inline constexpr COLORREF kReadyColour = RGB(0, 255, 0);
inline constexpr COLORREF kFinishedColour = RGB(0, 0, 255);
inline constexpr COLORREF kFailedColour = RGB(255, 0, 0);

}  // namespace vantorel::console
