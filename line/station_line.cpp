#include "line/station_line.h"

namespace vantorel::line {

bool StationLine::Serve(const ListenAddress& address, const std::filesystem::path& recordsRoot,
                        std::string& error) {
    auto http = std::make_unique<HttpService>(m_state, recordsRoot);
    if (!http->Start(address, error)) {
        return false;
    }
    m_http = std::move(http);
    m_served = address;
    m_served.port = m_http->Port();
    return true;
}

std::string StationLine::Url() const {
    return m_http ? "http://" + m_served.Text() + "/" : std::string();
}

}  // namespace vantorel::line
