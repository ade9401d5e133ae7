#include "console/port_settings.h"

#include <QSettings>
#include <cstdlib>

namespace vantorel::console {

namespace {

const QString kFollowKey = QStringLiteral("ports/slots-follow-ports");
const QString kMapKey = QStringLiteral("ports/map");

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

std::filesystem::path DefaultSettingsFile(const std::string& fileName) {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config != 0) {
        return std::filesystem::path(config) / "vantorel" / fileName;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
        return std::filesystem::path(home) / ".config" / "vantorel" / fileName;
    }
    return {};
}

PortSettings LoadPortSettings(const std::filesystem::path& file, std::string& problem) {
    PortSettings settings;
    if (file.empty()) {
        return settings;
    }
    const QSettings stored(Q(file), QSettings::IniFormat);
    settings.bSlotsFollowPorts = stored.value(kFollowKey, false).toBool();
    const std::string mapText = stored.value(kMapKey).toString().toStdString();
    if (!engine::ParsePortMap(mapText, settings.map, problem)) {
        settings.map.Clear();
    }
    return settings;
}

void SavePortSettings(const std::filesystem::path& file, const PortSettings& settings) {
    if (file.empty()) {
        return;
    }
    QSettings stored(Q(file), QSettings::IniFormat);
    stored.setValue(kFollowKey, settings.bSlotsFollowPorts);
    stored.setValue(kMapKey, QString::fromStdString(engine::FormatPortMap(settings.map)));
}

}  // namespace vantorel::console
