#pragma once

#include <cstdarg>
#include <string>

namespace vantorel {

// printf-style formatting into a string of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args);

}  // namespace vantorel
