#include "line/mqtt/mqtt_url.h"

#include <charconv>

namespace vantorel::line {

namespace {

constexpr std::string_view kPlain = "mqtt://";
constexpr std::string_view kTls = "mqtts://";
constexpr size_t kMostStationIdBytes = 64;

}  // namespace

std::string MqttEndpoint::Url() const {
    const bool bBracketed = host.find(':') != std::string::npos;  // an IPv6 address
    return std::string(bTls ? kTls : kPlain) + (bBracketed ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

std::optional<MqttEndpoint> ParseMqttUrl(std::string_view url, std::string& error) {
    const std::string shown = "'" + std::string(url) + "'";
    MqttEndpoint endpoint;
    if (url.starts_with(kPlain)) {
        url.remove_prefix(kPlain.size());
    } else if (url.starts_with(kTls)) {
        url.remove_prefix(kTls.size());
        endpoint.bTls = true;
        endpoint.port = 8883;
    } else {
        error = shown + " is no broker URL: mqtt://host:port, or mqtts://host:port for TLS";
        return std::nullopt;
    }
    if (url.ends_with('/')) {
        url.remove_suffix(1);
    }
    if (url.find('@') != std::string_view::npos) {
        error = shown + ": a user and password go in the settings file, never in the URL";
        return std::nullopt;
    }
    if (url.find_first_of("/?#") != std::string_view::npos) {
        error = shown + ": a broker URL has no path";
        return std::nullopt;
    }
    std::optional<std::string_view> port;  // after a colon, when there is one
    if (url.starts_with('[')) {
        const size_t close = url.find(']');
        if (close == std::string_view::npos) {
            error = shown + ": the IPv6 address has no closing ']'";
            return std::nullopt;
        }
        endpoint.host = url.substr(1, close - 1);
        const std::string_view rest = url.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            error = shown + ": nothing but a port may follow the address";
            return std::nullopt;
        }
        if (!rest.empty()) {
            port = rest.substr(1);
        }
    } else {
        const size_t colon = url.find(':');
        endpoint.host = url.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = url.substr(colon + 1);
        }
    }
    if (endpoint.host.empty()) {
        error = shown + " names no host";
        return std::nullopt;
    }
    for (const char c : endpoint.host) {
        if (static_cast<unsigned char>(c) <= ' ') {
            error = shown + ": the host name has a space or control character";
            return std::nullopt;
        }
    }
    if (port) {
        unsigned value = 0;
        const char* const last = port->data() + port->size();
        const auto [end, fault] = std::from_chars(port->data(), last, value);
        if (port->empty() || fault != std::errc() || end != last || value == 0 || value > 65535) {
            error = shown + ": the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        endpoint.port = static_cast<uint16_t>(value);
    }
    return endpoint;
}

bool IsUsableStationId(std::string_view name) {
    // "." and ".." would name other folders than the station's outbox.
    if (name.empty() || name.size() > kMostStationIdBytes || name == "." || name == "..") {
        return false;
    }
    for (const char c : name) {
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < ' ' || c == 0x7f) {
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::line
