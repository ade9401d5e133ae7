#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "line/mqtt/mqtt_publisher.h"

namespace vantorel::line {

// What a command line says of publishing: --mqtt URL and --station-id NAME.
struct MqttOptions {
    std::string url;        // empty: no publishing
    std::string stationId;  // empty: the host name
};

// The machine's host name as a station id, or "station" when it is none that a topic takes.
std::string DefaultStationId();

// The publisher's settings for `options`: the login from the [mqtt] group of
// `settingsFile`, the outbox in "mqtt-outbox/<station>" under `recordsRoot` (beside the
// batch folders). Nothing, with one line in `notes` saying why the station does not publish,
// for a URL or station id that cannot be used; `notes` also gets what the settings file
// says. The lines end in "\r\n" and are the main log's.
std::optional<PublisherSettings> PublisherSettingsFor(const MqttOptions& options,
                                                      const std::filesystem::path& settingsFile,
                                                      const std::filesystem::path& recordsRoot,
                                                      std::vector<std::string>& notes);

}  // namespace vantorel::line
