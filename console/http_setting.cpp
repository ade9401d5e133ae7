#include "console/http_setting.h"

#include <QSettings>

#include "console/port_settings.h"

namespace vantorel::console {

std::string LoadHttpSetting(const std::filesystem::path& file) {
    std::string why;
    if (file.empty() || !std::filesystem::exists(file) || !IsSettingsFileUsable(file, why)) {
        return {};
    }
    const QSettings stored(QString::fromStdString(file.string()), QSettings::IniFormat);
    return stored.value(QStringLiteral("line/http")).toString().trimmed().toStdString();
}

}  // namespace vantorel::console
