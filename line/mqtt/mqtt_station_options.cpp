#include "line/mqtt/mqtt_station_options.h"

#include <unistd.h>

#include <climits>

namespace vantorel::line {

namespace {

// The settings file is read only up to this size, as the station reads it elsewhere.
constexpr size_t kSettingsFileBytes = 1024 * 1024;

std::string MainLogLine(const std::string& text) {
    return "[MQTT] " + text + "\r\n";
}

}  // namespace

std::string DefaultStationId() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && IsUsableStationId(name)) {
        return name;
    }
    return "station";
}

std::optional<PublisherSettings> PublisherSettingsFor(const MqttOptions& options,
                                                      const std::filesystem::path& settingsFile,
                                                      const std::filesystem::path& recordsRoot,
                                                      std::vector<std::string>& notes) {
    std::string error;
    const std::optional<MqttEndpoint> endpoint = ParseMqttUrl(options.url, error);
    if (!endpoint) {
        notes.push_back(MainLogLine("Not publishing: " + error + "."));
        return std::nullopt;
    }
    PublisherSettings settings;
    settings.endpoint = *endpoint;
    settings.stationId = options.stationId.empty() ? DefaultStationId() : options.stationId;
    if (!IsUsableStationId(settings.stationId)) {
        notes.push_back(MainLogLine("Not publishing: the station id '" + settings.stationId +
                                    "' cannot stand in a topic (1 to 64 bytes, no '/', '+', "
                                    "'#' or control character)."));
        return std::nullopt;
    }
    std::vector<std::string> loginNotes;
    settings.login = LoadMqttLogin(settingsFile, kSettingsFileBytes, loginNotes);
    for (const std::string& note : loginNotes) {
        notes.push_back(MainLogLine(note));
    }
    if (!recordsRoot.empty()) {
        settings.outboxFolder = recordsRoot / "mqtt-outbox" / settings.stationId;
    }
    return settings;
}

}  // namespace vantorel::line
