#pragma once

#include <string>

namespace vantorel::console {

// The filled share of a bar with range min..max at `pos`; 0 for an empty range.
double FilledFraction(int pos, int min, int max);

// Width in pixels of the filled part of a bar `clientWidth` pixels wide (truncated).
int FilledWidth(int pos, int min, int max, int clientWidth);

// The bar's percentage text, shown when the bar has no text of its own.
std::string PercentText(int pos, int min, int max);

}  // namespace vantorel::console
