#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vantorel::link {

// Where a modal message box for the operator goes. The console shows it on the dialog
// thread while the calling thread waits; tests record it.
class MessageSink {
public:
    virtual ~MessageSink() = default;

    // Shows `text` with an OK button and returns once the operator has dismissed it.
    // An empty caption means the application's name.
    virtual void ShowMessage(const std::string& text, const std::string& caption = {}) = 0;
};

// Diagnostics the operator never sees ("FAILED to open %s\n", ...), on standard output.
void WriteDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While one lives, diagnostics go to it instead of standard output, so that a program that
// prints a report of its own on standard output can count them rather than interleave them.
// `receive` may be called from any thread, one call at a time.
class DiagnosticCapture {
public:
    explicit DiagnosticCapture(std::function<void(std::string_view)> receive);
    ~DiagnosticCapture();
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

private:
    std::function<void(std::string_view)> m_previous;
};

}  // namespace vantorel::link
