// The publisher against Debian's own broker, started by the test on a free localhost port:
// what arrives, in which order, and what happens while the broker is away.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <mutex>
#include <thread>

#include "base/unique_fd.h"
#include "line/mqtt/mqtt_publisher.h"
#include "tests/line_mqtt/test_broker.h"
#include "tests/support/temp_dir.h"

namespace vantorel::line::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Bounds for what a broker on localhost does at once: they guard a hang, not a speed.
constexpr auto kArrival = 30s;

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

// Whether `done` comes true within the bound, looked at every few milliseconds: for what is
// seen on disk or in the broker's log, which tell nobody when they change.
bool Eventually(const std::function<bool()>& done) {
    for (const auto until = std::chrono::steady_clock::now() + kArrival;
         std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(10ms)) {
        if (done()) {
            return true;
        }
    }
    return done();
}

// The messages waiting in an outbox folder, whole on disk.
size_t WaitingFiles(const fs::path& folder) {
    std::error_code error;
    size_t count = 0;
    for (const auto& item : fs::directory_iterator(folder, error)) {
        count += IsOutboxFileName(item.path().filename().string()) ? 1 : 0;
    }
    return count;
}

std::string HandsetLine(int slot) {
    return "{\"slot\":" + std::to_string(slot) + ",\"result\":\"done\",\"status\":518}\n";
}

// The main log lines a publisher says, kept for the test.
class SaidLines {
public:
    std::function<void(const std::string&)> Sink() {
        return [this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        };
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    int Count(const std::string& part) {
        const std::vector<std::string> lines = Lines();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
            return line.find(part) != std::string::npos;
        }));
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(broker.Start(error)) << error;
    }

    PublisherSettings Settings(const std::string& station = "s1") {
        PublisherSettings settings;
        settings.endpoint = {"127.0.0.1", broker.Port(), false};
        settings.stationId = station;
        settings.outboxFolder = scratch / ("outbox-" + station);
        settings.say = said.Sink();
        settings.firstRetry = 50ms;
        settings.lastRetry = 200ms;
        return settings;
    }

    static bool HasPayloads(const std::vector<ReceivedMessage>& messages, const std::string& topic,
                            size_t count) {
        return static_cast<size_t>(std::count_if(messages.begin(), messages.end(), [&](auto& m) {
                   return m.topic == topic;
               })) >= count;
    }

    vantorel::test::TempDir scratch;
    TestBroker broker{scratch / "broker"};
    SaidLines said;
};

TEST_F(MqttPublisherTest, LinesArriveOnceInOrderWithTheirFieldsAndAnIdTheSlotsRetained) {
    TestSubscriber dashboard(broker.Port(), "vantorel/#");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    {
        MqttPublisher publisher(Settings());
        for (int slot = 1; slot <= 8; ++slot) {
            publisher.SlotChanged(slot, "{\"caption\":\"PDA " + std::to_string(slot) + "\"}");
            publisher.SlotChanged(slot, "{\"caption\":\"OK " + std::to_string(slot) + "\"}");
            publisher.HandsetEnded(HandsetLine(slot));
        }
        publisher.BatchEnded("{\"detected\":8,\"succeeded\":8,\"end\":\"finished\"}");
        ASSERT_TRUE(dashboard.WaitUntil(
            [](const auto& messages) { return HasPayloads(messages, "vantorel/s1/batch", 1); },
            kArrival));
    }
    // The end says "offline" itself; every slot's last state stays with the broker.
    ASSERT_TRUE(dashboard.WaitUntil(
        [](const auto& messages) {
            return !messages.empty() && messages.back().topic == "vantorel/s1/status" &&
                   messages.back().payload == "offline";
        },
        kArrival));
    const std::vector<std::string> handsets = dashboard.PayloadsOf("vantorel/s1/handset");
    ASSERT_EQ(handsets.size(), 8u);
    std::vector<std::string> ids;
    for (size_t index = 0; index < handsets.size(); ++index) {
        const QJsonObject line = Json(handsets[index]);
        EXPECT_EQ(line.value("slot").toInt(), static_cast<int>(index + 1)) << handsets[index];
        EXPECT_EQ(line.value("result").toString(), "done");
        EXPECT_EQ(line.value("status").toInt(), 518);
        ids.push_back(line.value("message_id").toString().toStdString());
        EXPECT_EQ(ids.back().size(), 36u) << handsets[index];
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "every line has an id of its own";
    EXPECT_EQ(Json(dashboard.PayloadsOf("vantorel/s1/batch").at(0)).value("succeeded").toInt(), 8);
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/status").front(), "online");

    TestSubscriber later(broker.Port(), "vantorel/#");
    ASSERT_TRUE(later.WaitUntil(
        [](const auto& messages) { return HasPayloads(messages, "vantorel/s1/slot/8", 1); },
        kArrival));
    for (int slot = 1; slot <= 8; ++slot) {
        const auto states = later.PayloadsOf("vantorel/s1/slot/" + std::to_string(slot));
        ASSERT_EQ(states.size(), 1u);
        EXPECT_EQ(Json(states[0]).value("caption").toString().toStdString(),
                  "OK " + std::to_string(slot));
    }
    EXPECT_EQ(later.PayloadsOf("vantorel/s1/status"), std::vector<std::string>{"offline"});
    EXPECT_TRUE(later.PayloadsOf("vantorel/s1/handset").empty()) << "lines are not retained";
    EXPECT_EQ(WaitingFiles(scratch / "outbox-s1"), 0u) << "every acknowledged line is forgotten";
    EXPECT_EQ(said.Count("Publishing to " + broker.Url() + " as station s1."), 1);
    EXPECT_EQ(said.Lines().size(), 1u);
}

TEST_F(MqttPublisherTest, ABrokerAwayDuringTheBatchGetsEveryLineInOrderWhenBack) {
    // A dashboard whose session the broker keeps: it misses nothing while either is away.
    auto dashboard = std::make_unique<TestSubscriber>(broker.Port(), "vantorel/s1/handset", "d1");
    ASSERT_TRUE(dashboard->WaitSubscribed(kArrival));
    MqttPublisher publisher(Settings());
    publisher.HandsetEnded(HandsetLine(1));
    ASSERT_TRUE(dashboard->WaitUntil([](const auto& m) { return m.size() == 1; }, kArrival));
    const std::string firstId =
        Json(dashboard->Messages().front().payload).value("message_id").toString().toStdString();
    ASSERT_TRUE(Eventually([&] { return WaitingFiles(scratch / "outbox-s1") == 0; }));
    dashboard.reset();
    broker.Stop(true);
    for (int slot = 2; slot <= 8; ++slot) {
        publisher.HandsetEnded(HandsetLine(slot));
    }
    // On disk while the broker is away: a restart of the station would lose none.
    ASSERT_TRUE(Eventually([&] { return WaitingFiles(scratch / "outbox-s1") == 7; }));
    std::string error;
    ASSERT_TRUE(broker.Start(error)) << error;
    dashboard = std::make_unique<TestSubscriber>(broker.Port(), "vantorel/s1/handset", "d1");
    ASSERT_TRUE(Eventually([&] { return WaitingFiles(scratch / "outbox-s1") == 0; }));
    ASSERT_TRUE(dashboard->WaitUntil(
        [](const auto& m) { return !m.empty() && Json(m.back().payload).value("slot") == 8; },
        kArrival));
    // The first line may come again (the dashboard left before it acknowledged it): its id
    // tells it is the same line.
    std::vector<int> arrived;
    for (const std::string& line : dashboard->PayloadsOf("vantorel/s1/handset")) {
        if (Json(line).value("message_id").toString().toStdString() != firstId) {
            arrived.push_back(Json(line).value("slot").toInt());
        } else {
            EXPECT_EQ(Json(line).value("slot").toInt(), 1);
        }
    }
    EXPECT_EQ(arrived, (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(said.Count("not reachable"), 1) << "the outage is said once, however long";
    EXPECT_EQ(said.Count("reachable again: "), 1);
}

TEST_F(MqttPublisherTest, ARunShorterThanTheFirstConnectStillSendsItsLines) {
    TestSubscriber dashboard(broker.Port(), "vantorel/s1/+");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    {
        MqttPublisher publisher(Settings());
        publisher.HandsetEnded(HandsetLine(1));
    }
    ASSERT_TRUE(dashboard.WaitUntil(
        [](const auto& m) { return !m.empty() && m.back().payload == "offline"; }, kArrival));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/status"),
              (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/handset").size(), 1u);
    EXPECT_EQ(WaitingFiles(scratch / "outbox-s1"), 0u);
}

TEST_F(MqttPublisherTest, ABrokerThatNeverAnswersIsSaidOnceAndTheLineWaits) {
    // A listening socket that nobody accepts from: the connect goes through, no CONNACK comes.
    const UniqueFd silent(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(silent.Get(), reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(silent.Get(), 4), 0);
    ASSERT_EQ(::getsockname(silent.Get(), reinterpret_cast<sockaddr*>(&address), &size), 0);
    PublisherSettings settings = Settings();
    settings.endpoint.port = ntohs(address.sin_port);
    settings.connectBound = 300ms;
    {
        MqttPublisher publisher(settings);
        publisher.HandsetEnded(HandsetLine(1));
        ASSERT_TRUE(Eventually([&] { return said.Count("not reachable") > 0; }));
    }
    EXPECT_EQ(said.Lines(), std::vector<std::string>{"[MQTT] Broker mqtt://127.0.0.1:" +
                                                     std::to_string(settings.endpoint.port) +
                                                     " not reachable (no answer in 300 ms): "
                                                     "handset lines wait in the outbox.\r\n"});
    EXPECT_EQ(WaitingFiles(scratch / "outbox-s1"), 1u);
}

TEST(MqttPublisherTls, MqttsChecksTheBrokerAgainstTheGivenCaAndRefusesAnUnknownOne) {
    vantorel::test::TempDir scratch;
    TestBroker broker(scratch / "broker");
    std::string error;
    ASSERT_TRUE(broker.AddTlsListener(error)) << error;
    ASSERT_TRUE(broker.Start(error)) << error;
    TestSubscriber dashboard(broker.Port(), "vantorel/+/handset");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    for (const bool bKnownCa : {false, true}) {
        SaidLines said;
        PublisherSettings settings;
        settings.endpoint = {"127.0.0.1", broker.TlsPort(), true};
        settings.stationId = bKnownCa ? "known" : "unknown";
        settings.outboxFolder = scratch / settings.stationId;
        settings.say = said.Sink();
        // The system's CAs know nothing of the test's own.
        settings.login.caFile = bKnownCa ? broker.CaFile().string() : "";
        {
            MqttPublisher publisher(settings);
            publisher.HandsetEnded(HandsetLine(1));
            ASSERT_TRUE(Eventually([&] {
                return said.Count(bKnownCa ? "Publishing to mqtts://" : "not reachable") > 0;
            }));
        }
        EXPECT_EQ(said.Lines().size(), 1u);
        if (!bKnownCa) {
            EXPECT_NE(said.Lines()[0].find("certificate verify failed"), std::string::npos)
                << said.Lines()[0];
        }
        EXPECT_EQ(WaitingFiles(settings.outboxFolder), bKnownCa ? 0u : 1u);
    }
    ASSERT_TRUE(dashboard.WaitUntil([](const auto& m) { return !m.empty(); }, kArrival));
    for (const ReceivedMessage& message : dashboard.Messages()) {
        EXPECT_EQ(message.topic, "vantorel/known/handset");
    }
}

TEST(MqttPublisherLogin, ARefusedLoginIsSaidOnceAndTheRightOneDelivers) {
    vantorel::test::TempDir scratch;
    TestBroker broker(scratch / "broker");
    ASSERT_TRUE(broker.AddUser("station7", "right"));
    std::string error;
    ASSERT_TRUE(broker.Start(error)) << error;
    SaidLines said;
    PublisherSettings settings;
    settings.endpoint = {"127.0.0.1", broker.Port(), false};
    settings.stationId = "s7";
    settings.outboxFolder = scratch / "outbox";
    settings.say = said.Sink();
    settings.firstRetry = 20ms;
    settings.lastRetry = 20ms;
    settings.login = {"station7", "wrong", ""};
    {
        MqttPublisher publisher(settings);
        publisher.HandsetEnded(HandsetLine(1));
        // Several refusals at this pace, all in the broker's log, one in the station's.
        ASSERT_TRUE(Eventually([&] {
            const std::string log = broker.Log();
            size_t refusals = 0;
            for (size_t at = log.find("not authorised"); at != std::string::npos;
                 at = log.find("not authorised", at + 1)) {
                ++refusals;
            }
            return refusals >= 3;
        }));
    }
    ASSERT_EQ(said.Lines().size(), 1u);
    EXPECT_NE(said.Lines()[0].find("refused the login (Connection Refused: not authorised"),
              std::string::npos)
        << said.Lines()[0];

    settings.login.password = "right";
    TestSubscriber dashboard(broker.Port(), "#");  // anonymous: refused, sees nothing
    MqttPublisher publisher(settings);
    // The line of the refused run is still there, and goes out now.
    EXPECT_TRUE(Eventually([&] { return WaitingFiles(scratch / "outbox") == 0; }));
    EXPECT_EQ(said.Lines().size(), 3u) << "its earlier line, then publishing";
}

}  // namespace
}  // namespace vantorel::line::test
