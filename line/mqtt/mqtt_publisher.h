#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "line/mqtt/mosquitto_client.h"
#include "line/mqtt/mqtt_login.h"
#include "line/mqtt/mqtt_outbox.h"
#include "line/mqtt/mqtt_url.h"

namespace vantorel::line {

inline constexpr int kPublishedSlots = 8;

struct PublisherSettings {
    MqttEndpoint endpoint;
    MqttLogin login;
    std::string stationId;  // IsUsableStationId
    // Where handset lines and summaries wait for the broker; empty: in memory only.
    std::filesystem::path outboxFolder;
    size_t mostWaiting = 10000;
    // Puts a line ("...\r\n") in the station's main log; called from the publisher's thread.
    std::function<void(const std::string&)> say;
    // A slot's state goes out at most once in this time; its last state always goes out.
    std::chrono::milliseconds slotInterval{250};
    // After a failed or lost connection the next try waits the first time, doubling to the
    // last.
    std::chrono::milliseconds firstRetry{500};
    std::chrono::milliseconds lastRetry{5000};
    // A broker that has not answered a connect in this time is taken as unreachable.
    std::chrono::milliseconds connectBound{10000};
    // At the end, how long the lines still waiting and "offline" may take to go out.
    std::chrono::milliseconds flushBound{3000};
    int keepAliveSeconds = 30;
};

// What the station tells the line's broker, under vantorel/<station>/:
//   status     "online" (retained); "offline" at the end, or as the broker's last will when
//              the station dies
//   slot/<n>   each slot's state as JSON (retained), when it changes, a few times a second
//   handset    each handset's report line (QoS 1) with a "message_id" of its own, the same
//              in every copy sent, so that a receiver recognises a duplicate
//   batch      each batch's summary (QoS 1), with a "message_id" too
// Handset lines and summaries wait in an outbox on disk until the broker acknowledged them,
// and go out in order; the station restarted sends what an earlier run left.
//
// Everything network or disk happens on the publisher's own thread: the calls below only
// queue, so an absent or slow broker never holds up the caller. A broker that goes away is
// said once in the main log, and once when it is back.
class MqttPublisher {
public:
    explicit MqttPublisher(PublisherSettings settings);
    // Sends "offline" and what still waits, for at most the flush bound when connected.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    void SlotChanged(int slot, std::string json);  // slot 1 to 8
    void HandsetEnded(std::string reportLine);
    void BatchEnded(std::string summary);

    // "vantorel/<station>/<leaf>".
    std::string Topic(const std::string& leaf) const;

private:
    struct Line {
        std::string leaf;
        std::string json;
    };
    struct SlotShown {
        std::optional<std::string> json;
        bool bDirty = false;
        std::chrono::steady_clock::time_point sent{};
    };
    using Clock = std::chrono::steady_clock;

    void Queue(std::string leaf, std::string json);
    void Run(std::stop_token stop);

    // The publisher's thread only.
    void OpenOutbox();
    void TakeQueued();
    void StartConnecting(Clock::time_point now);
    void OnConnected(int code);
    void Lose(std::string reason, bool bRefused = false);
    // One pass of the network loop; a failure loses the connection.
    void LoopOnce();
    void PublishSlots(Clock::time_point now);
    void PublishWaiting();
    void Finish();
    void Say(const std::string& text) const;

    const PublisherSettings m_settings;
    const std::string m_url;

    std::mutex m_mutex;
    std::condition_variable_any m_queued;
    std::array<std::optional<std::string>, kPublishedSlots> m_queuedSlots;
    std::vector<Line> m_queuedLines;

    // The publisher's thread only.
    MqttOutbox m_outbox;
    std::unique_ptr<MosquittoClient> m_client;
    bool m_bConnected = false;
    bool m_bEverConnected = false;
    std::optional<std::string> m_lost;  // why the connection ended, until it is dropped
    bool m_bLostRefused = false;
    bool m_bSaidDown = false;
    bool m_bSaidFull = false;
    bool m_bSaidUnwritten = false;
    Clock::time_point m_attemptStarted{};
    Clock::time_point m_nextAttempt{};
    std::chrono::milliseconds m_retry;
    std::array<SlotShown, kPublishedSlots> m_slots;
    std::map<int, uint64_t> m_inflight;  // message id -> outbox sequence
    uint64_t m_nextToSend = 0;
    bool m_bClosing = false;
    std::optional<int> m_offlineId;  // the "offline" of the end, until acknowledged

    std::jthread m_thread;  // last: it starts when everything else exists
};

}  // namespace vantorel::line
