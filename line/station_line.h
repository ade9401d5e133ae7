#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "command_line/listen_address.h"
#include "line/http_service.h"
#include "line/station_state.h"

namespace vantorel::line {

// What a station program keeps for the line: the model its dialog feeds and, when asked, the
// live page and API over it. The program hands State() to its dialog as the observer and
// keeps this alive longer than the dialog.
class StationLine {
public:
    StationLine() = default;
    StationLine(const StationLine&) = delete;
    StationLine& operator=(const StationLine&) = delete;

    StationState& State() { return m_state; }
    // Serves the page and the API at `address`; false, with the reason, when it cannot listen.
    bool Serve(const ListenAddress& address, const std::filesystem::path& recordsRoot,
               std::string& error);
    // The port served on; 0 when none.
    uint16_t Port() const { return m_http ? m_http->Port() : 0; }

private:
    StationState m_state;
    std::unique_ptr<HttpService> m_http;
};

}  // namespace vantorel::line
