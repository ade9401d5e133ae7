#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantorel::line {

// Where the line's broker listens, as --mqtt names it: mqtt://host[:port] or, over TLS,
// mqtts://host[:port]. A user and password never go in the URL (a command line is seen by
// every user of the machine); they come from the settings file.
struct MqttEndpoint {
    std::string host;
    uint16_t port = 1883;
    bool bTls = false;

    // The URL again, with its port: "mqtt://127.0.0.1:1883".
    std::string Url() const;
};

// The endpoint of `url`; nullopt with `error` in words for the operator for anything else:
// another scheme, a missing host, a bad port, a path, a user or password in the URL.
std::optional<MqttEndpoint> ParseMqttUrl(std::string_view url, std::string& error);

// Whether `name` can stand in a topic as a station's id: not empty, at most 64 bytes, no
// '/', '+', '#' and no control character (which would split or widen the topics), and
// neither "." nor ".." (its outbox folder is named by it).
bool IsUsableStationId(std::string_view name);

}  // namespace vantorel::line
