#include "command_line/listen_address.h"

#include <arpa/inet.h>

#include <charconv>

namespace vantorel::command_line {

namespace {

// A host that is no address would be listened on as a null address, which is every
// interface; names are not looked up either, so what is written is what is listened on.
bool IsAddress(const std::string& host) {
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

}  // namespace

std::string ListenAddress::Text() const {
    const bool bIpv6 = host.find(':') != std::string::npos;
    return (bIpv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error) {
    ListenAddress address;
    std::string portText = text;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find("]:");
        if (close == std::string::npos || close == 1) {
            error = "an IPv6 address is written [ADDRESS]:PORT";
            return std::nullopt;
        }
        address.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon) {
            error = "an IPv6 address is written [ADDRESS]:PORT";
            return std::nullopt;
        }
        if (colon > 0) {
            address.host = text.substr(0, colon);
        }
        portText = text.substr(colon + 1);
    }
    unsigned port = 0;
    const auto [end, failed] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || failed != std::errc() || end != portText.data() + portText.size() ||
        port > 65535) {
        error = "ADDRESS:PORT, the port a number from 0 to 65535";
        return std::nullopt;
    }
    if (!IsAddress(address.host)) {
        error = "'" + address.host + "' is no IPv4 or IPv6 address (host names are not looked up)";
        return std::nullopt;
    }
    address.port = static_cast<uint16_t>(port);
    return address;
}

}  // namespace vantorel::command_line
