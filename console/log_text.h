#pragma once

#include <QString>
#include <string_view>

namespace vantorel::console {

// Log lines carry Windows line breaks; the logs are shown with plain ones. A carriage return is
// dropped on its own, so a "\r\n" split across two appends still reads as one break.
QString LogTextForDisplay(std::string_view text);
QString LogTextForDisplay(const QString& text);

}  // namespace vantorel::console
