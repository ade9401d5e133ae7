#include "engine/slot_status.h"

#include <cstdarg>

#include "base/text_format.h"

namespace vantorel::engine {

void AppendMainLog(DownloadReporter& reporter, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatTextV(format, args);
    va_end(args);
    reporter.AppendMainLogText(text);
}

void AppendFailureLog(DownloadReporter& reporter, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatTextV(format, args);
    va_end(args);
    reporter.AppendFailureLogText(text);
}

}  // namespace vantorel::engine
