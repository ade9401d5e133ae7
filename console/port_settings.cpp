#include "console/port_settings.h"

#include <QSettings>
#include <QStringList>

#include "base/bounded_file.h"
#include "base/xdg_folders.h"

namespace vantorel::console {

namespace {

const QString kFollowKey = QStringLiteral("ports/slots-follow-ports");
const QString kMapKey = QStringLiteral("ports/map");

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

// An ini value as the operator meant it: QSettings splits an unquoted value at its commas
// ("1=1-1, 2=1-2"), which for the map is one text again.
QString TextOf(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    return value.toString();
}

// true/false, 1/0, on/off, yes/no in any case; nullopt for anything else (QVariant takes every
// other non-empty text as true).
std::optional<bool> SwitchOf(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QStringList) {
        return std::nullopt;
    }
    const QString text = value.toString().trimmed().toLower();
    for (const char* on : {"true", "1", "on", "yes"}) {
        if (text == QLatin1String(on)) {
            return true;
        }
    }
    for (const char* off : {"false", "0", "off", "no"}) {
        if (text == QLatin1String(off)) {
            return false;
        }
    }
    return std::nullopt;
}

}  // namespace

std::filesystem::path DefaultSettingsFile() {
    return StationFolder(XdgFolder::kConfig, "vantorel.ini");
}

std::filesystem::path BenchSettingsFile() {
    return StationFolder(XdgFolder::kConfig, "vantorel-bench.ini");
}

bool IsSettingsFileUsable(const std::filesystem::path& file, std::string& why) {
    return CheckBoundedRegularFile(file.string(), kSettingsFileBytes, why) != FileCheck::Unusable;
}

PortSettings LoadPortSettings(const std::filesystem::path& file, std::vector<std::string>& notes) {
    PortSettings settings;
    if (file.empty()) {
        return settings;
    }
    std::string why;
    if (!IsSettingsFileUsable(file, why)) {
        notes.push_back("Settings file " + file.string() + " not read: " + why +
                        ". The defaults are used and nothing is kept in it.");
        return settings;
    }
    const QSettings stored(Q(file), QSettings::IniFormat);
    if (stored.contains(kFollowKey)) {
        const QVariant value = stored.value(kFollowKey);
        if (const auto bFollow = SwitchOf(value)) {
            settings.bSlotsFollowPorts = *bFollow;
        } else {
            notes.push_back("Settings file " + file.string() +
                            ": slots-follow-ports=" + TextOf(value).toStdString() +
                            " is unusable (true or false, 1 or 0, on or off, yes or no): slots "
                            "do not follow ports.");
        }
    }
    const std::string mapText = TextOf(stored.value(kMapKey)).toStdString();
    if (!engine::ParsePortMap(mapText, settings.map, why)) {
        settings.map.Clear();
        notes.push_back("The kept port map was dropped: " + why);
    }
    return settings;
}

void SavePortSettings(const std::filesystem::path& file, const PortSettings& settings) {
    std::string why;
    if (file.empty() || !IsSettingsFileUsable(file, why)) {
        return;
    }
    QSettings stored(Q(file), QSettings::IniFormat);
    stored.setValue(kFollowKey, settings.bSlotsFollowPorts);
    stored.setValue(kMapKey, QString::fromStdString(engine::FormatPortMap(settings.map)));
}

}  // namespace vantorel::console
