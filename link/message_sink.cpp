#include "link/message_sink.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace vantorel::link {

namespace {

std::mutex g_diagnosticMutex;
std::function<void(std::string_view)> g_diagnosticCapture;

}  // namespace

void WriteDiagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(static_cast<size_t>(length > 0 ? length : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);

    std::lock_guard lock(g_diagnosticMutex);
    if (g_diagnosticCapture) {
        g_diagnosticCapture(std::string_view(text.data(), text.size() - 1));
        return;
    }
    std::fputs(text.data(), stdout);
    std::fflush(stdout);
}

DiagnosticCapture::DiagnosticCapture(std::function<void(std::string_view)> receive) {
    std::lock_guard lock(g_diagnosticMutex);
    m_previous = std::exchange(g_diagnosticCapture, std::move(receive));
}

DiagnosticCapture::~DiagnosticCapture() {
    std::lock_guard lock(g_diagnosticMutex);
    g_diagnosticCapture = std::move(m_previous);
}

}  // namespace vantorel::link
