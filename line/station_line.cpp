#include "line/station_line.h"

namespace vantorel::line {

bool StationLine::Serve(const ListenAddress& address, const std::filesystem::path& recordsRoot,
                        std::string& error) {
    auto http = std::make_unique<HttpService>(m_state, recordsRoot);
    if (!http->Start(address, error)) {
        return false;
    }
    m_http = std::move(http);
    return true;
}

}  // namespace vantorel::line
