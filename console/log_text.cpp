#include "console/log_text.h"

namespace vantorel::console {

QString LogTextForDisplay(std::string_view text) {
    return LogTextForDisplay(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QString LogTextForDisplay(const QString& text) {
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    return shown;
}

}  // namespace vantorel::console
