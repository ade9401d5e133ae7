#pragma once

#include <QThread>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "command_line/listen_address.h"
#include "line/live_server.h"
#include "line/station_state.h"

namespace vantorel::line {

using command_line::ListenAddress;

// The live page and API on a thread of their own, so that no client, however slow, and no
// request, however costly, touches the dialog thread: the server only reads the model.
class HttpService {
public:
    HttpService(StationState& state, std::filesystem::path recordsRoot, ServerBounds bounds = {});
    ~HttpService();  // closes every connection and ends the thread
    HttpService(const HttpService&) = delete;
    HttpService& operator=(const HttpService&) = delete;

    // False, with the reason, when the address cannot be listened on.
    bool Start(const ListenAddress& address, std::string& error);
    uint16_t Port() const { return m_port; }

private:
    StationState& m_state;
    const std::filesystem::path m_recordsRoot;
    const ServerBounds m_bounds;
    QThread m_thread;
    // Lives in m_thread: what calls into it go through.
    std::unique_ptr<QObject> m_inThread;
    // Made, used and deleted on m_thread only.
    std::unique_ptr<LiveServer> m_server;
    uint16_t m_port = 0;
};

}  // namespace vantorel::line
