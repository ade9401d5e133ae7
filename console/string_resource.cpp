#include "console/string_resource.h"

#include "resources/string_table.h"

namespace vantorel::console {

QString StringResource(unsigned id) {
    const std::string_view text = resources::LoadString(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QIcon StationIcon() {
    return QIcon(QStringLiteral(":/vantorel/vantorel.png"));
}

}  // namespace vantorel::console
