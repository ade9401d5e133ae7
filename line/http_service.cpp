#include "line/http_service.h"

#include <QHostAddress>
#include <atomic>

namespace vantorel::line {

HttpService::HttpService(StationState& state, std::filesystem::path recordsRoot,
                         ServerBounds bounds)
    : m_state(state),
      m_recordsRoot(std::move(recordsRoot)),
      m_bounds(bounds),
      m_inThread(std::make_unique<QObject>()) {
    m_thread.setObjectName("http");
    m_inThread->moveToThread(&m_thread);
    m_thread.start();
}

HttpService::~HttpService() {
    // Qt's blocking hand-over orders the thread's work before what follows here, but through
    // code ThreadSanitizer cannot see; the flag says the same in a way it can.
    std::atomic<bool> bServerGone{false};
    QMetaObject::invokeMethod(
        m_inThread.get(),
        [this, &bServerGone] {
            m_server.reset();
            bServerGone.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    [[maybe_unused]] const bool bGone = bServerGone.load(std::memory_order_acquire);
    m_thread.quit();
    m_thread.wait();
}

bool HttpService::Start(const ListenAddress& address, std::string& error) {
    bool bListening = false;
    QMetaObject::invokeMethod(
        m_inThread.get(),
        [&] {
            auto server = std::make_unique<LiveServer>(m_state, m_recordsRoot, m_bounds);
            // The HTTP server owns the listener, and the listener its sockets.
            auto* listener = new GuardedTcpServer(m_bounds, server.get());
            if (!listener->listen(QHostAddress(QString::fromStdString(address.host)),
                                  address.port)) {
                error = "cannot listen on " + address.host + ":" + std::to_string(address.port) +
                        ": " + listener->errorString().toStdString();
                return;
            }
            server->bind(listener);
            m_port = listener->serverPort();
            m_server = std::move(server);
            bListening = true;
        },
        Qt::BlockingQueuedConnection);
    return bListening;
}

}  // namespace vantorel::line
