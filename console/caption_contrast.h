#pragma once

#include "console/colorref.h"

namespace vantorel::console {

// Slot captions stay readable on every background the slot table gives them: the text is
// black or white, whichever stands out more from the background.

// The contrast ratio of two colours as the web accessibility guidelines define it, from 1
// (the same) to 21 (black on white).
double ContrastRatio(COLORREF first, COLORREF second);

// Black or white, whichever contrasts more with `background`.
COLORREF ReadableTextColour(COLORREF background);

// The text contrast the web accessibility guidelines ask of normal text.
inline constexpr double kReadableContrast = 4.5;

// `colour` darkened, hue kept, just enough to reach `ratio` against a light `background`
// (unchanged when it does already).
COLORREF DarkenedForContrast(COLORREF colour, COLORREF background, double ratio);

}  // namespace vantorel::console
