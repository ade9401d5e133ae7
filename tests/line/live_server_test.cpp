// The live page and API as a client meets them, over real sockets: the routes, the paging of
// the records, the event stream, and every kind of request the station refuses.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <fstream>

#include "line/http_service.h"
#include "line/request_guard.h"
#include "tests/support/temp_dir.h"

namespace vantorel::line {
namespace {

namespace fs = std::filesystem;

// Generous: they bound a hang, they do not time the server.
constexpr int kBoundMs = 10000;

struct Reply {
    int status = 0;
    std::string head;
    QByteArray body;
    QJsonObject Json() const { return QJsonDocument::fromJson(body).object(); }
    std::string ErrorCode() const {
        return Json()["error"].toObject()["code"].toString().toStdString();
    }
};

Reply Parse(const QByteArray& bytes) {
    Reply reply;
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    reply.head = bytes.left(end).toStdString();
    reply.body = end < 0 ? QByteArray() : bytes.mid(end + 4);
    if (bytes.startsWith("HTTP/1.1 ")) {
        reply.status = bytes.mid(9, 3).toInt();
    }
    return reply;
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReportLine(int slot, const std::string& ended, const char* result = "done") {
    return R"({"slot":)" + std::to_string(slot) + R"(,"ended":")" + ended + R"(","result":")" +
           result + "\"}\n";
}

class LiveServerTest : public ::testing::Test {
protected:
    void SetUp() override { Start({}); }

    void Start(const ServerBounds& bounds) {
        service.reset();
        service = std::make_unique<HttpService>(state, records.Path(), bounds);
        std::string error;
        ASSERT_TRUE(service->Start({"127.0.0.1", 0}, error)) << error;
    }
    // Sends `request` and reads until the server closes the connection.
    Reply Exchange(const QByteArray& request) const {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", service->Port());
        EXPECT_TRUE(socket.waitForConnected(kBoundMs));
        socket.write(request);
        QByteArray received;
        while (socket.state() == QAbstractSocket::ConnectedState &&
               socket.waitForReadyRead(kBoundMs)) {
            received += socket.readAll();
        }
        received += socket.readAll();
        return Parse(received);
    }
    Reply Get(const std::string& target) const {
        return Exchange(
            QByteArray::fromStdString("GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n"));
    }

    vantorel::test::TempDir records;
    StationState state;
    std::unique_ptr<HttpService> service;
};

TEST_F(LiveServerTest, SlotsAreTheModelsEightSlotsWithTheirCounts) {
    console::ShownSlot slot;
    slot.slot = 2;
    slot.caption = "PDA 3";
    slot.background = "#0000ff";
    slot.barText = "Job Done.Launched!!";
    slot.progress = 100;
    slot.port = "1-3";
    slot.state = "done";
    state.SlotShown(slot);
    state.CountsShown({3, 1, 0});

    const Reply reply = Get("/api/v1/slots");
    ASSERT_EQ(reply.status, 200) << reply.head;
    EXPECT_NE(reply.head.find("Content-Type: application/json"), std::string::npos);
    const QJsonArray shown = reply.Json()["slots"].toArray();
    ASSERT_EQ(shown.size(), 8);
    const QJsonObject third = shown[2].toObject();
    EXPECT_EQ(third["slot"].toInt(), 3);
    EXPECT_EQ(third["caption"].toString(), "PDA 3");
    EXPECT_EQ(third["background"].toString(), "#0000ff");
    EXPECT_EQ(third["bar_text"].toString(), "Job Done.Launched!!");
    EXPECT_EQ(third["port"].toString(), "1-3");
    EXPECT_EQ(reply.Json()["counts"].toObject()["detected"].toInt(), 3);
}

TEST_F(LiveServerTest, HandsetsComeNewestFirstInPagesAcrossBatches) {
    const fs::path root = records.Path();
    WriteFile(root / "2026-12-08T10-00-00Z" / "report.jsonl",
              ReportLine(1, "2026-12-08T10:01:00.000Z") +
                  ReportLine(2, "2026-12-08T10:02:00.000Z") + "{\"torn\":");
    WriteFile(root / "2026-12-08T11-00-00Z" / "report.jsonl",
              ReportLine(1, "2026-12-08T11:01:00.000Z", "failed"));
    WriteFile(root / "2026-12-08T11-00-00Z" / "summary.json", R"({"done":0,"failed":1})");
    WriteFile(root / "not-a-batch" / "report.jsonl", ReportLine(9, "2030-01-01T00:00:00.000Z"));
    fs::create_directories(root / "2026-12-08T12-00-00Z");  // running: no handset ended yet

    Reply page = Get("/api/v1/handsets?limit=2");
    ASSERT_EQ(page.status, 200) << page.body.toStdString();
    QJsonArray handsets = page.Json()["handsets"].toArray();
    ASSERT_EQ(handsets.size(), 2);
    EXPECT_EQ(handsets[0].toObject()["ended"].toString(), "2026-12-08T11:01:00.000Z");
    EXPECT_EQ(handsets[0].toObject()["batch"].toString(), "2026-12-08T11-00-00Z");
    EXPECT_EQ(handsets[1].toObject()["ended"].toString(), "2026-12-08T10:02:00.000Z");
    const QString before = page.Json()["next"].toObject()["before"].toString();
    ASSERT_FALSE(before.isEmpty());

    page = Get("/api/v1/handsets?limit=2&before=" + before.toStdString());
    handsets = page.Json()["handsets"].toArray();
    ASSERT_EQ(handsets.size(), 1);
    EXPECT_EQ(handsets[0].toObject()["ended"].toString(), "2026-12-08T10:01:00.000Z");
    EXPECT_TRUE(page.Json()["next"].isNull());

    page = Get("/api/v1/handsets?since=2026-12-08T10:01:30Z");
    EXPECT_EQ(page.Json()["handsets"].toArray().size(), 2) << page.body.toStdString();

    const Reply batches = Get("/api/v1/batches");
    ASSERT_EQ(batches.status, 200);
    const QJsonArray list = batches.Json()["batches"].toArray();
    ASSERT_EQ(list.size(), 3) << "a folder that is not a batch's is not listed";
    EXPECT_TRUE(list[0].toObject()["summary"].isNull()) << "the running batch";
    EXPECT_EQ(list[1].toObject()["summary"].toObject()["failed"].toInt(), 1);
    EXPECT_TRUE(list[2].toObject()["summary"].isNull()) << "a batch without its summary";
    EXPECT_EQ(list[2].toObject()["handsets"].toInt(), 2) << "a torn line is no handset";
}

TEST_F(LiveServerTest, BadQueriesAreRefusedWithAJsonError) {
    for (const char* target : {"/api/v1/handsets?limit=0", "/api/v1/handsets?limit=501",
                               "/api/v1/handsets?limit=-1", "/api/v1/handsets?limit=1e3",
                               "/api/v1/handsets?limit=", "/api/v1/handsets?since=yesterday",
                               "/api/v1/handsets?limit=5&limit=6", "/api/v1/handsets?offset=3",
                               "/api/v1/batches?before=2026-12-08T10:00:00Z", "/api/v1/slots?all=1",
                               "/api/v1/events?from=3"}) {
        const Reply reply = Get(target);
        EXPECT_EQ(reply.status, 400) << target;
        EXPECT_EQ(reply.ErrorCode(), "bad_query") << target << " " << reply.body.toStdString();
    }
}

TEST_F(LiveServerTest, MalformedAndHostileRequestsGetTheirFourHundreds) {
    struct Case {
        QByteArray request;
        int status;
        const char* code;
    };
    const QByteArray hugeHeader = "X-Big: " + QByteArray(20000, 'a') + "\r\n";
    QByteArray manyHeaders;
    for (int n = 0; n < 60; ++n) {
        manyHeaders += "X-" + QByteArray::number(n) + ": 1\r\n";
    }
    const std::vector<Case> cases{
        {"POST /api/v1/slots HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405, "method_not_allowed"},
        {"DELETE /api/v1/slots HTTP/1.1\r\n\r\n", 405, "method_not_allowed"},
        {"BREW / HTTP/1.1\r\n\r\n", 405, "method_not_allowed"},
        {"GET /api/v1/slots HTTP/1.1\r\n" + hugeHeader + "\r\n", 431, "head_too_large"},
        {"GET /api/v1/slots HTTP/1.1\r\n" + manyHeaders + "\r\n", 431, "too_many_headers"},
        {"GET /api/v1/slots HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 413, "body_not_accepted"},
        {"GET /api/v1/slots HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 413,
         "body_not_accepted"},
        {"GET /../../etc/passwd HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET /api/v1%2fslots HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET /..\\..\\etc\\passwd HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET /live.js%00.png HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET //etc/passwd HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET http://elsewhere/ HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET / HTTP/2.0\r\n\r\n", 505, "bad_version"},
        {"GET /" + QByteArray(5000, 'a') + " HTTP/1.1\r\n\r\n", 414, "target_too_long"},
        {"garbage\r\n\r\n", 400, "bad_request_line"},
        {"GET / HTTP/1.1\r\nno colon here\r\n\r\n", 400, "bad_header"},
        {"GET / HTTP/1.1\r\nBad Name: x\r\n\r\n", 400, "bad_header"},
        {"GET / HTTP/1.1\r\nX-Bell: \a\r\n\r\n", 400, "bad_header"},
        {"GET /api/v1/slots?\x01 HTTP/1.1\r\n\r\n", 400, "bad_path"},
        {"GET /etc/passwd HTTP/1.1\r\n\r\n", 404, "not_found"},
        {"GET /api/v1/../../live.js HTTP/1.1\r\n\r\n", 400, "bad_path"},
    };
    for (const Case& c : cases) {
        const Reply reply = Exchange(c.request);
        EXPECT_EQ(reply.status, c.status) << c.request.left(80).toStdString();
        EXPECT_EQ(reply.ErrorCode(), c.code) << c.request.left(80).toStdString();
    }
    EXPECT_EQ(Get("/api/v1/slots").status, 200) << "the server serves on after all of them";
}

TEST_F(LiveServerTest, AClientThatNeverFinishesItsHeadIsToldAndLetGo) {
    ServerBounds bounds;
    bounds.headTimeoutMs = 200;
    Start(bounds);
    const Reply reply = Exchange("GET /api/v1/slots HTTP/1.1\r\nHost: x\r\n");
    EXPECT_EQ(reply.status, 408);
    EXPECT_EQ(reply.ErrorCode(), "request_timeout");
}

TEST_F(LiveServerTest, ThePageComesWithTheStationsStateAndFetchesNothingElsewhere) {
    console::ShownSlot slot;
    slot.slot = 0;
    slot.caption = "PDA 1</script><script>alert(1)</script>";
    slot.background = "#00ff00";
    state.SlotShown(slot);
    const Reply page = Get("/");
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.head.find("text/html"), std::string::npos);
    const std::string html = page.body.toStdString();
    EXPECT_NE(html.find("#00ff00"), std::string::npos);
    EXPECT_EQ(html.find("</script><script>alert"), std::string::npos)
        << "a caption cannot close the state's script element";
    EXPECT_EQ(html.find("http://"), std::string::npos);
    EXPECT_EQ(html.find("https://"), std::string::npos);
    const Reply script = Get("/live.js");
    EXPECT_EQ(script.status, 200);
    EXPECT_NE(script.body.indexOf("EventSource"), -1);
    EXPECT_EQ(script.body.indexOf("http"), -1) << "the script names no other host";
}

TEST_F(LiveServerTest, EventsStartWithASnapshotAndFollowTheModel) {
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", service->Port());
    ASSERT_TRUE(socket.waitForConnected(kBoundMs));
    socket.write("GET /api/v1/events HTTP/1.1\r\n\r\n");
    QByteArray received;
    const auto readUntil = [&](const QByteArray& part) {
        while (!received.contains(part) && socket.waitForReadyRead(kBoundMs)) {
            received += socket.readAll();
        }
        return received.contains(part);
    };
    ASSERT_TRUE(readUntil("event: snapshot\n"));
    EXPECT_TRUE(received.startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(received.contains("Content-Type: text/event-stream"));

    console::ShownSlot slot;
    slot.slot = 4;
    slot.barText = "Writing eboot to flash ...";
    state.SlotShown(slot);
    state.HandsetEnded("{\"slot\":5,\n\"result\":\"done\"}\n");
    ASSERT_TRUE(readUntil("event: handset\n")) << received.toStdString();
    EXPECT_TRUE(received.contains("event: slot\ndata: {")) << received.toStdString();
    EXPECT_TRUE(received.contains("Writing eboot to flash ..."));
    EXPECT_TRUE(received.contains("data: {\"result\":\"done\",\"slot\":5}\n\n"));
}

TEST_F(LiveServerTest, EventClientsAreBoundedAndOneThatGoesFreesItsPlace) {
    ServerBounds bounds;
    bounds.mostEventClients = 2;
    Start(bounds);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int n = 0; n < 2; ++n) {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost("127.0.0.1", service->Port());
        ASSERT_TRUE(client->waitForConnected(kBoundMs));
        client->write("GET /api/v1/events HTTP/1.1\r\n\r\n");
        ASSERT_TRUE(client->waitForReadyRead(kBoundMs));
        clients.push_back(std::move(client));
    }
    Reply refused = Get("/api/v1/events");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.ErrorCode(), "too_many_clients");

    clients.front()->disconnectFromHost();
    clients.front().reset();
    // The server notices the close in its own time: a fresh client is taken once it has.
    Reply taken;
    for (int attempt = 0; attempt < 100 && taken.status != 200; ++attempt) {
        QTcpSocket client;
        client.connectToHost("127.0.0.1", service->Port());
        ASSERT_TRUE(client.waitForConnected(kBoundMs));
        client.write("GET /api/v1/events HTTP/1.1\r\n\r\n");
        QByteArray bytes;
        while (!bytes.contains("\r\n\r\n") && client.waitForReadyRead(kBoundMs)) {
            bytes += client.readAll();
        }
        taken = Parse(bytes);
    }
    EXPECT_EQ(taken.status, 200);
}

TEST(RequestGuardTest, AHeadIsTakenOnlyWhenWholeAndLeavesWhatFollows) {
    EXPECT_EQ(CheckRequestHead("GET /api/v1/slots HTTP/1.1\r\nHost: x\r\n").kind,
              HeadVerdict::Kind::Incomplete);
    const HeadVerdict whole = CheckRequestHead("GET / HTTP/1.1\r\nHost: x\r\n\r\nextra");
    EXPECT_EQ(whole.kind, HeadVerdict::Kind::Accept);
    EXPECT_EQ(whole.headBytes, std::string("GET / HTTP/1.1\r\nHost: x\r\n\r\n").size());
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\n\r\n").kind, HeadVerdict::Kind::Accept);
    EXPECT_EQ(CheckRequestHead("GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n").kind,
              HeadVerdict::Kind::Accept);
    // A refusal comes as soon as the line that earns it is in, not at the head's end.
    EXPECT_EQ(CheckRequestHead("PUT / HTTP/1.1\r\n").kind, HeadVerdict::Kind::Refuse);
    EXPECT_FALSE(IsHostilePath("/api/v1/handsets?since=2026-12-08T10:00:00Z&x=../.."))
        << "a query is not a path";
    EXPECT_TRUE(IsHostilePath("/%2E%2E/secret"));
    EXPECT_TRUE(IsHostilePath("/%252e%252e/secret")) << "double encoding";
    EXPECT_TRUE(IsHostilePath("/a%"));
}

}  // namespace
}  // namespace vantorel::line
