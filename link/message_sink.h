#pragma once

#include <string>

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

// Diagnostics the operator never sees, one line on standard error.
void WriteDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vantorel::link
