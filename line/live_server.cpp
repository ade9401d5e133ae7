#include "line/live_server.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

#include "line/record_pages.h"
#include "line/station_json.h"

namespace vantorel::line {

// The head a client has sent so far, and its deadline; a child of its socket.
class HeadReader : public QObject {
public:
    using QObject::QObject;
    // Its head is dealt with: it reads no more.
    void Done() {
        deadline.stop();
        deleteLater();
    }
    QByteArray received;
    QTimer deadline{this};
};

namespace {

constexpr const char* kAnswered = "vantorelAnswered";

// What a client may send on a connection once its request was taken: nothing, really.
constexpr qint64 kMostIgnoredBytes = 4096;
constexpr int kHandsetsOnPage = 10;

// The socket's request is answered: what the client still sends is read and dropped, up to a
// bound, and never parsed.
void IgnoreFurtherInput(QTcpSocket* socket) {
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    auto ignored = std::make_shared<qint64>(0);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, ignored] {
        *ignored += socket->readAll().size();
        if (*ignored > kMostIgnoredBytes) {
            socket->abort();
        }
    });
}

QByteArray RawResponse(int status, const QByteArray& type, const QByteArray& body) {
    return "HTTP/1.1 " + QByteArray::number(status) + " " + StatusTitle(status) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + body;
}

QByteArray Resource(const char* name) {
    QFile file(QStringLiteral(":/line/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A client of /api/v1/events: the model's events as they come, written without waiting.
class EventClient : public QObject {
public:
    EventClient(QTcpSocket* socket, StationState& state, const ServerBounds& bounds)
        : QObject(socket), m_socket(socket), m_state(state), m_bounds(bounds) {
        const StationSnapshot snapshot = state.Snapshot();
        m_subscription = state.Subscribe(snapshot.lastSequence);
        Write(SnapshotFrame(snapshot));
        connect(m_subscription.get(), &StationSubscription::EventsAdded, this, [this] { Pump(); });
        m_keepAlive.setInterval(bounds.keepAliveMs);
        connect(&m_keepAlive, &QTimer::timeout, this, [this] { Write(": keep-alive\n\n"); });
        m_keepAlive.start();
    }

private:
    void Pump() {
        for (;;) {
            const TakenEvents taken = m_subscription->Take();
            if (taken.events.empty()) {
                return;
            }
            if (taken.bMissed) {
                Write(SnapshotFrame(m_state.Snapshot()));  // it starts over from the whole
            }
            QByteArray frames;
            for (const StationEvent& event : taken.events) {
                frames += EventFrame(event);
            }
            if (!Write(frames)) {
                return;
            }
        }
    }
    bool Write(const QByteArray& bytes) {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            return false;
        }
        m_socket->write(bytes);
        if (m_socket->bytesToWrite() > m_bounds.mostUnsentBytes) {
            m_socket->abort();  // a client that does not read is not waited for
            return false;
        }
        return true;
    }

    QTcpSocket* m_socket;
    StationState& m_state;
    const ServerBounds& m_bounds;
    std::unique_ptr<StationSubscription> m_subscription;
    QTimer m_keepAlive{this};
};

QByteArray SlotsBody(const StationState& state) {
    return QJsonDocument(SnapshotJson(state.Snapshot())).toJson(QJsonDocument::Compact);
}

}  // namespace

void MarkAnswered(QTcpSocket* socket) {
    socket->setProperty(kAnswered, true);
}

void RefuseRequest(QTcpSocket* socket, int status, const std::string& code,
                   const std::string& detail) {
    MarkAnswered(socket);
    if (socket->isTransactionStarted()) {
        socket->commitTransaction();
    }
    IgnoreFurtherInput(socket);
    socket->write(RawResponse(status, "application/json", ErrorBody(status, code, detail)));
    socket->disconnectFromHost();
}

GuardedTcpServer::GuardedTcpServer(const ServerBounds& bounds, QObject* parent)
    : QTcpServer(parent), m_bounds(bounds) {
    connect(&m_sweep, &QTimer::timeout, this, [this] { Sweep(); });
    m_sweep.start(std::max(50, std::min(1000, m_bounds.answerTimeoutMs / 4)));
}

int GuardedTcpServer::OpenConnections() {
    Sweep();
    return static_cast<int>(m_connections.size());
}

void GuardedTcpServer::Sweep() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(m_connections, [&](const Connection& connection) {
        QTcpSocket* socket = connection.socket.data();
        if (!socket) {
            return true;
        }
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            socket->deleteLater();
            return true;
        }
        if (!socket->property(kAnswered).toBool() && now >= connection.answerBy) {
            socket->abort();
            socket->deleteLater();
            return true;
        }
        return false;
    });
}

void GuardedTcpServer::incomingConnection(qintptr handle) {
    // Owned by this server until Qt's takes it; every socket deletes itself once closed.
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        socket->deleteLater();
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    const bool bFull = OpenConnections() >= m_bounds.mostConnections;
    m_connections.push_back({socket, std::chrono::steady_clock::time_point::max()});
    if (bFull) {
        RefuseRequest(socket, 503, "too_many_clients", "the station serves no more clients now");
        return;
    }
    auto* reader = new HeadReader(socket);
    reader->deadline.setSingleShot(true);
    connect(&reader->deadline, &QTimer::timeout, socket, [socket, reader] {
        reader->Done();
        RefuseRequest(socket, 408, "request_timeout", "the request did not arrive in time");
    });
    reader->deadline.start(m_bounds.headTimeoutMs);
    // What is read here is given back to Qt's parser once the head is accepted.
    socket->startTransaction();
    connect(socket, &QTcpSocket::readyRead, this,
            [this, socket, reader] { ReadHead(socket, reader); });
    if (socket->bytesAvailable() > 0) {
        ReadHead(socket, reader);
    }
}

void GuardedTcpServer::ReadHead(QTcpSocket* socket, HeadReader* reader) {
    // Read no further than the bound allows, and keep it all to give back to Qt's parser.
    const qint64 room =
        static_cast<qint64>(m_bounds.request.mostHeadBytes) + 1 - reader->received.size();
    reader->received += socket->read(std::max<qint64>(room, 0));
    const HeadVerdict verdict =
        CheckRequestHead(std::string_view(reader->received.constData(),
                                          static_cast<size_t>(reader->received.size())),
                         m_bounds.request);
    switch (verdict.kind) {
        case HeadVerdict::Kind::Incomplete:
            if (reader->received.size() > static_cast<qint64>(m_bounds.request.mostHeadBytes)) {
                reader->Done();
                RefuseRequest(socket, 431, "head_too_large", "the request's headers are too large");
            }
            return;
        case HeadVerdict::Kind::Refuse:
            reader->Done();
            RefuseRequest(socket, verdict.status, verdict.code, verdict.detail);
            return;
        case HeadVerdict::Kind::Accept:
            reader->Done();
            HandOver(socket);
            return;
    }
}

void GuardedTcpServer::HandOver(QTcpSocket* socket) {
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    for (Connection& connection : m_connections) {
        if (connection.socket == socket) {
            connection.answerBy = std::chrono::steady_clock::now() +
                                  std::chrono::milliseconds(m_bounds.answerTimeoutMs);
        }
    }
    // Qt's parser reads the request from the start, as if nothing had looked at it.
    socket->rollbackTransaction();
    addPendingConnection(socket);
    emit newConnection();
    QMetaObject::invokeMethod(
        socket, [socket] { emit socket->readyRead(); }, Qt::QueuedConnection);
}

LiveServer::LiveServer(StationState& state, std::filesystem::path recordsRoot,
                       const ServerBounds& bounds, QObject* parent)
    : QAbstractHttpServer(parent),
      m_state(state),
      m_recordsRoot(std::move(recordsRoot)),
      m_bounds(bounds) {}

bool LiveServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QString path = request.url().path();
    const QUrlQuery query = request.query();
    if (path == "/" || path == "/index.html") {
        Respond(request, socket, Page(), "text/html; charset=utf-8");
    } else if (path == "/live.js") {
        Respond(request, socket, Resource("live.js"), "text/javascript; charset=utf-8");
    } else if (path == "/live.css") {
        Respond(request, socket, Resource("live.css"), "text/css; charset=utf-8");
    } else if (path == "/api/v1/slots") {
        if (!query.isEmpty()) {
            RespondError(request, socket, 400, "bad_query", "/api/v1/slots takes no parameters");
        } else {
            Respond(request, socket, SlotsBody(m_state), "application/json");
        }
    } else if (path == "/api/v1/handsets" || path == "/api/v1/batches") {
        const bool bHandsets = path == "/api/v1/handsets";
        std::string error;
        const std::optional<PageQuery> page = ParsePageQuery(query, bHandsets, error);
        if (!page) {
            RespondError(request, socket, 400, "bad_query", error);
        } else {
            const QJsonObject body =
                bHandsets ? HandsetsPage(m_recordsRoot, *page) : BatchesPage(m_recordsRoot, *page);
            Respond(request, socket, QJsonDocument(body).toJson(QJsonDocument::Compact),
                    "application/json");
        }
    } else if (path == "/api/v1/events") {
        if (!query.isEmpty()) {
            RespondError(request, socket, 400, "bad_query", "/api/v1/events takes no parameters");
        } else {
            StartEvents(socket);
        }
    } else {
        return false;
    }
    return true;
}

void LiveServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    RespondError(request, socket, 404, "not_found", "no such resource");
}

void LiveServer::Respond(const QHttpServerRequest&, QTcpSocket* socket, const QByteArray& body,
                         const QByteArray& type, int status) {
    MarkAnswered(socket);
    IgnoreFurtherInput(socket);
    socket->write(RawResponse(status, type, body));
    socket->disconnectFromHost();
}

void LiveServer::RespondError(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                              const std::string& code, const std::string& detail) {
    Respond(request, socket, ErrorBody(status, code, detail), "application/json", status);
}

void LiveServer::StartEvents(QTcpSocket* socket) {
    if (m_nEventClients >= m_bounds.mostEventClients) {
        RefuseRequest(socket, 503, "too_many_clients", "the station serves no more event clients");
        return;
    }
    MarkAnswered(socket);
    IgnoreFurtherInput(socket);
    ++m_nEventClients;
    connect(socket, &QObject::destroyed, this, [this] { --m_nEventClients; });
    socket->write(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
        "Connection: close\r\n\r\n");
    new EventClient(socket, m_state, m_bounds);  // a child of the socket
}

QByteArray LiveServer::Page() const {
    PageQuery last;
    last.limit = kHandsetsOnPage;
    const QJsonObject initial{{"station", SnapshotJson(m_state.Snapshot())},
                              {"handsets", HandsetsPage(m_recordsRoot, last).value("handsets")}};
    // Inside a script element nothing may close it early.
    QByteArray json = QJsonDocument(initial).toJson(QJsonDocument::Compact);
    json.replace("</", "<\\/");
    QByteArray page = Resource("index.html");
    page.replace("/*INITIAL*/null", json);
    return page;
}

}  // namespace vantorel::line
