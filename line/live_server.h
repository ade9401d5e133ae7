#pragma once

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <vector>

#include "line/request_guard.h"
#include "line/station_state.h"

class QTcpSocket;

namespace vantorel::line {

struct ServerBounds {
    RequestBounds request;
    int mostConnections = 96;
    int mostEventClients = 48;
    int headTimeoutMs = 5000;
    // A request handed to Qt's parser that is not answered by then (one the parser
    // refused: it then drops the socket's connections) is closed.
    int answerTimeoutMs = 10000;
    // An event client that leaves this much unread is dropped, not waited for.
    qint64 mostUnsentBytes = 1 << 20;
    int keepAliveMs = 15000;
};

class HeadReader;

// Takes connections and reads each request's head itself, within the bounds, before Qt's
// HTTP server sees the socket: a request that is too large, too slow, not a GET or aimed
// outside the routes is answered with a JSON error here and never parsed further.
class GuardedTcpServer : public QTcpServer {
    Q_OBJECT

public:
    GuardedTcpServer(const ServerBounds& bounds, QObject* parent = nullptr);
    // Connections not yet closed.
    int OpenConnections();

protected:
    void incomingConnection(qintptr handle) override;

private:
    void ReadHead(QTcpSocket* socket, HeadReader* reader);
    void HandOver(QTcpSocket* socket);
    // Closes what Qt's parser left unanswered past its bound and lets closed sockets go.
    void Sweep();

    const ServerBounds m_bounds;
    struct Connection {
        QPointer<QTcpSocket> socket;
        std::chrono::steady_clock::time_point answerBy;  // max(): still in the guard's hands
    };
    std::vector<Connection> m_connections;
    QTimer m_sweep{this};
};

// Marks a socket answered, so the sweep leaves it be.
void MarkAnswered(QTcpSocket* socket);

// Answers one socket with a JSON error and closes it.
void RefuseRequest(QTcpSocket* socket, int status, const std::string& code,
                   const std::string& detail);

// The station's read-only API and live page on Qt's HTTP server: the slots and counts from
// the model, handsets and batches from the records under `recordsRoot`, and the model's
// events as Server-Sent Events. Every answer but the event stream closes its connection.
class LiveServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    LiveServer(StationState& state, std::filesystem::path recordsRoot, const ServerBounds& bounds,
               QObject* parent = nullptr);
    int EventClients() const { return m_nEventClients; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    void Respond(const QHttpServerRequest& request, QTcpSocket* socket, const QByteArray& body,
                 const QByteArray& type, int status = 200);
    void RespondError(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                      const std::string& code, const std::string& detail);
    void StartEvents(QTcpSocket* socket);
    QByteArray Page() const;

    StationState& m_state;
    const std::filesystem::path m_recordsRoot;
    const ServerBounds m_bounds;
    int m_nEventClients = 0;
};

}  // namespace vantorel::line
