#include "console/port_settings.h"

#include <QSettings>

namespace vantorel::console {

namespace {

const QString kFollowKey = QStringLiteral("ports/slots-follow-ports");
const QString kMapKey = QStringLiteral("ports/map");

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

std::filesystem::path DefaultSettingsFile() {
    const QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("vantorel"),
                         QStringLiteral("vantorel"));
    return user.fileName().toStdString();
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
