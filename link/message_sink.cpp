#include "link/message_sink.h"

#include <cstdarg>
#include <cstdio>

namespace vantorel::link {

void WriteDiagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace vantorel::link
