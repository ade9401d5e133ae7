// The built vantorel-bench publishing to Debian's own broker, started by the test on a free
// localhost port, as a station on a line does: what a dashboard sees, what a killed or
// restarted station leaves, and one clear line for each way the broker cannot be had.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <fstream>
#include <set>

#include "line/mqtt/mqtt_outbox.h"
#include "tests/line_mqtt/test_broker.h"
#include "tests/support/temp_dir.h"

namespace vantorel::line::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using bench::test::RunResult;

// Bounds that guard a hang, not a speed.
constexpr auto kRunBound = 120s;
constexpr auto kArrival = 30s;

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class MqttStationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(broker.Start(error)) << error;
    }

    // A station's folders: its own under `machine` when given.
    std::vector<std::string> Environment(const std::string& machine = {}) const {
        const fs::path home = machine.empty() ? scratch.Path() : scratch / machine;
        return {"XDG_DATA_HOME=" + (home / "data").string(),
                "XDG_STATE_HOME=" + (home / "state").string(),
                "XDG_CONFIG_HOME=" + (home / "config").string()};
    }
    std::vector<std::string> Arguments(int handsets, const std::string& url,
                                       const std::string& station) const {
        return {"--headless", "--handsets", std::to_string(handsets), "--time-scale", "0.01",
                "--mqtt",     url,          "--station-id",           station};
    }
    RunResult Bench(const std::vector<std::string>& args, const std::string& name = "run") {
        fs::create_directories(scratch / name);
        return bench::test::RunProgram(VANTOREL_BENCH_PROGRAM, args, Environment(),
                                       (scratch / name).string(), kRunBound);
    }
    fs::path Outbox(const std::string& station) const {
        return scratch / "state" / "vantorel" / "batches" / "mqtt-outbox" / station;
    }
    std::vector<std::string> OutboxPayloads(const std::string& station) const {
        std::vector<std::string> payloads;
        std::error_code error;
        for (const auto& item : fs::directory_iterator(Outbox(station), error)) {
            if (IsOutboxFileName(item.path().filename().string())) {
                payloads.push_back(Json(bench::test::ReadText(item.path().string()))
                                       .value("payload")
                                       .toString()
                                       .toStdString());
            }
        }
        return payloads;
    }
    static std::string IdOf(const std::string& payload) {
        return Json(payload).value("message_id").toString().toStdString();
    }

    vantorel::test::TempDir scratch;
    TestBroker broker{scratch / "broker"};
};

TEST_F(MqttStationTest, AnEightHandsetBatchReachesTheDashboardOnceWithItsFields) {
    TestSubscriber dashboard(broker.Port(), "vantorel/#");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    const RunResult run = Bench(Arguments(8, broker.Url(), "s1"));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(CountOf(run.out, "[MQTT] Publishing to " + broker.Url() + " as station s1."), 1)
        << run.out;
    ASSERT_TRUE(dashboard.WaitUntil(
        [](const auto& m) { return !m.empty() && m.back().payload == "offline"; }, kArrival));

    const std::vector<std::string> lines = dashboard.PayloadsOf("vantorel/s1/handset");
    ASSERT_EQ(lines.size(), 8u);
    std::set<int> slotsEnded;
    std::set<std::string> ids;
    for (const std::string& text : lines) {
        const QJsonObject line = Json(text);
        slotsEnded.insert(line.value("slot").toInt());
        ids.insert(IdOf(text));
        EXPECT_EQ(line.value("result").toString(), "done") << text;
        EXPECT_EQ(line.value("status").toInt(), 518) << text;
        EXPECT_GT(line.value("bytes").toInteger(), 0) << text;
        EXPECT_FALSE(line.value("images").toArray().isEmpty()) << text;
        EXPECT_TRUE(line.value("device").toString().contains("#1-")) << text;
    }
    EXPECT_EQ(slotsEnded, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(ids.size(), 8u);
    const std::vector<std::string> batches = dashboard.PayloadsOf("vantorel/s1/batch");
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(Json(batches[0]).value("done").toInt(), 8) << batches[0];
    EXPECT_EQ(Json(batches[0]).value("end").toString(), "finished");
    const std::vector<std::string> status = dashboard.PayloadsOf("vantorel/s1/status");
    EXPECT_EQ(status.front(), "online");
    EXPECT_EQ(status.back(), "offline");

    // What a dashboard opened afterwards sees: each slot's last state, kept by the broker.
    TestSubscriber later(broker.Port(), "vantorel/s1/slot/+");
    ASSERT_TRUE(later.WaitUntil([](const auto& m) { return m.size() == 8; }, kArrival));
    for (const ReceivedMessage& message : later.Messages()) {
        const QJsonObject slot = Json(message.payload);
        EXPECT_TRUE(message.bRetained);
        EXPECT_EQ(message.topic, "vantorel/s1/slot/" + std::to_string(slot.value("slot").toInt()));
        EXPECT_EQ(slot.value("state").toString(), "done") << message.payload;
        EXPECT_EQ(slot.value("caption").toString(),
                  "OK " + QString::number(slot.value("slot").toInt()));
        EXPECT_EQ(slot.value("background").toString(), "#0000ff");
    }
    EXPECT_TRUE(OutboxPayloads("s1").empty());
}

TEST_F(MqttStationTest, TwoStationsOnOneBrokerKeepToTheirOwnTopics) {
    TestSubscriber dashboard(broker.Port(), "vantorel/#");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    fs::create_directories(scratch / "s2");
    // Another machine on the same line.
    bench::test::ChildProcess second(VANTOREL_BENCH_PROGRAM, Arguments(3, broker.Url(), "s2"),
                                     Environment("s2"), (scratch / "s2" / "out").string(),
                                     (scratch / "s2" / "err").string());
    const RunResult first = Bench(Arguments(2, broker.Url(), "s1"));
    ASSERT_EQ(second.Wait(kRunBound), 0)
        << bench::test::ReadText((scratch / "s2" / "err").string());
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    ASSERT_TRUE(dashboard.WaitUntil(
        [](const auto& m) {
            return std::count_if(m.begin(), m.end(), [](const ReceivedMessage& message) {
                       return message.payload == "offline";
                   }) == 2;
        },
        kArrival));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/handset").size(), 2u);
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s2/handset").size(), 3u);
    EXPECT_EQ(Json(dashboard.PayloadsOf("vantorel/s2/batch").at(0)).value("done").toInt(), 3);
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/status"),
              (std::vector<std::string>{"online", "offline"}));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s2/status"),
              (std::vector<std::string>{"online", "offline"}));
}

TEST_F(MqttStationTest, AKilledStationIsShownOfflineByItsLastWill) {
    TestSubscriber dashboard(broker.Port(), "vantorel/s1/status");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    // Protocol time in real time: the batch is still running when it is killed.
    std::vector<std::string> args = Arguments(1, broker.Url(), "s1");
    args[4] = "1";
    bench::test::ChildProcess station(VANTOREL_BENCH_PROGRAM, args, Environment(),
                                      (scratch / "out").string(), (scratch / "err").string());
    ASSERT_TRUE(dashboard.WaitUntil([](const auto& m) { return !m.empty(); }, kArrival));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/status"), std::vector<std::string>{"online"});
    station.Terminate();  // SIGKILL: nothing of the station's own says goodbye
    ASSERT_TRUE(dashboard.WaitUntil([](const auto& m) { return m.size() == 2; }, kArrival));
    EXPECT_EQ(dashboard.PayloadsOf("vantorel/s1/status"),
              (std::vector<std::string>{"online", "offline"}));
}

TEST_F(MqttStationTest, AStationRestartedSendsWhatItsOutboxKeptFirst) {
    const std::string nobody = "mqtt://127.0.0.1:" + std::to_string(FreeLocalPort());
    const RunResult away = Bench(Arguments(2, nobody, "s1"), "away");
    ASSERT_EQ(away.exitCode, 0) << "the station works on without its broker\n" << away.out;
    EXPECT_EQ(CountOf(away.out + away.err, "[MQTT]"), 1) << away.out << away.err;
    EXPECT_EQ(CountOf(away.out + away.err, "not reachable (Connection refused)"), 1);
    const std::vector<std::string> kept = OutboxPayloads("s1");
    ASSERT_EQ(kept.size(), 3u) << "two handset lines and the batch's summary";

    TestSubscriber dashboard(broker.Port(), "vantorel/s1/+");
    ASSERT_TRUE(dashboard.WaitSubscribed(kArrival));
    const RunResult back = Bench(Arguments(1, broker.Url(), "s1"), "back");
    ASSERT_EQ(back.exitCode, 0) << back.out << back.err;
    EXPECT_EQ(CountOf(back.out, "3 line(s) of an earlier run wait in the outbox"), 1) << back.out;
    ASSERT_TRUE(dashboard.WaitUntil(
        [](const auto& m) { return !m.empty() && m.back().payload == "offline"; }, kArrival));
    std::vector<std::string> sent;
    for (const ReceivedMessage& message : dashboard.Messages()) {
        if (message.topic.ends_with("/handset") || message.topic.ends_with("/batch")) {
            sent.push_back(IdOf(message.payload));
        }
    }
    ASSERT_EQ(sent.size(), 5u);
    std::vector<std::string> keptIds;
    for (const std::string& payload : kept) {
        keptIds.push_back(IdOf(payload));
    }
    // The earlier run's lines first, in their order (the files' names keep it), then the new.
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 3), keptIds);
    EXPECT_TRUE(OutboxPayloads("s1").empty());
}

TEST_F(MqttStationTest, AWrongUrlAnUnknownHostAndARefusedLoginAreOneLineEachAndTheBatchRuns) {
    const RunResult wrong = Bench(Arguments(1, "http://127.0.0.1:1883", "s1"), "wrong");
    EXPECT_EQ(wrong.exitCode, 0) << wrong.out << wrong.err;
    EXPECT_EQ(CountOf(wrong.out + wrong.err, "[MQTT]"), 1) << wrong.out << wrong.err;
    EXPECT_EQ(CountOf(wrong.out,
                      "[MQTT] Not publishing: 'http://127.0.0.1:1883' is no broker "
                      "URL: mqtt://host:port, or mqtts://host:port for TLS."),
              1)
        << wrong.out;

    // .invalid never resolves (RFC 6761): the look-up fails at once, nothing is sent anywhere.
    const RunResult unknown =
        Bench(Arguments(1, "mqtt://no-such-broker.invalid:1883", "s1"), "unknown");
    EXPECT_EQ(unknown.exitCode, 0) << unknown.out << unknown.err;
    EXPECT_EQ(CountOf(unknown.out + unknown.err, "[MQTT]"), 1) << unknown.out << unknown.err;
    EXPECT_EQ(CountOf(unknown.out + unknown.err,
                      "Broker mqtt://no-such-broker.invalid:1883 not reachable ("),
              1);

    TestBroker guarded(scratch / "guarded");
    ASSERT_TRUE(guarded.AddUser("station7", "right"));
    std::string error;
    ASSERT_TRUE(guarded.Start(error)) << error;
    fs::create_directories(scratch / "config" / "vantorel");
    std::ofstream(scratch / "config" / "vantorel" / "vantorel.ini")
        << "[mqtt]\nuser=station7\npassword=wrong\n";
    const RunResult refused = Bench(Arguments(1, guarded.Url(), "s3"), "refused");
    EXPECT_EQ(refused.exitCode, 0) << refused.out << refused.err;
    EXPECT_EQ(CountOf(refused.out + refused.err, "[MQTT]"), 1) << refused.out << refused.err;
    EXPECT_EQ(CountOf(refused.out + refused.err, "Broker " + guarded.Url() +
                                                     " refused the login (Connection Refused: "
                                                     "not authorised.)"),
              1)
        << refused.out << refused.err;
    EXPECT_NE(guarded.Log().find("not authorised"), std::string::npos);
}

}  // namespace
}  // namespace vantorel::line::test
