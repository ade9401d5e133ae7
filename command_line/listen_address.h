#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantorel::command_line {

// Where a server listens: "ADDRESS:PORT", "[IPv6]:PORT", or ":PORT" and "PORT" for
// 127.0.0.1, so that nothing is reachable from elsewhere unless an address is given.
struct ListenAddress {
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port

    std::string Text() const;
};

// nullopt, with the reason, for text of another shape or a host that is no IP address;
// whether the address is one this machine has is only known when it is listened on.
std::optional<ListenAddress> ParseListenAddress(const std::string& text, std::string& error);

}  // namespace vantorel::command_line
