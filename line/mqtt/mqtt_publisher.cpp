#include "line/mqtt/mqtt_publisher.h"

#include <mosquitto.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <algorithm>

namespace vantorel::line {

namespace {

// How long one pass of the network loop waits for the socket: the most a queued message
// waits before it goes out.
constexpr int kLoopMs = 50;
// Lines sent but not yet acknowledged at a time; they arrive in the order sent.
constexpr size_t kInflightLines = 16;
constexpr int kQosAtLeastOnce = 1;

const std::string kOnline = "online";
const std::string kOffline = "offline";

// `json` with a "message_id" first; a text that is no JSON object goes in as "text".
std::string WithMessageId(const std::string& json) {
    const std::string id = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json));
    if (!document.isObject()) {
        const QJsonObject wrapped{{"message_id", QString::fromStdString(id)},
                                  {"text", QString::fromStdString(json)}};
        return QJsonDocument(wrapped).toJson(QJsonDocument::Compact).toStdString();
    }
    // The line as it came, its fields in their order, with the id put in front.
    std::string line = json;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    const size_t brace = line.find('{');
    const bool bEmpty = document.object().isEmpty();
    return "{\"message_id\":\"" + id + "\"" + (bEmpty ? "}" : "," + line.substr(brace + 1));
}

std::string NoAnswerIn(std::chrono::milliseconds bound) {
    return "no answer in " + (bound.count() % 1000 == 0
                                  ? std::to_string(bound.count() / 1000) + " s"
                                  : std::to_string(bound.count()) + " ms");
}

}  // namespace

MqttPublisher::MqttPublisher(PublisherSettings settings)
    : m_settings(std::move(settings)),
      m_url(m_settings.endpoint.Url()),
      m_outbox(m_settings.outboxFolder, m_settings.mostWaiting),
      m_retry(m_settings.firstRetry),
      m_thread([this](std::stop_token stop) { Run(stop); }) {}

MqttPublisher::~MqttPublisher() {
    m_thread.request_stop();
    m_queued.notify_all();
    m_thread.join();
}

std::string MqttPublisher::Topic(const std::string& leaf) const {
    return "vantorel/" + m_settings.stationId + "/" + leaf;
}

void MqttPublisher::SlotChanged(int slot, std::string json) {
    if (slot < 1 || slot > kPublishedSlots) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_queuedSlots[static_cast<size_t>(slot - 1)] = std::move(json);
    }
    m_queued.notify_all();
}

void MqttPublisher::HandsetEnded(std::string reportLine) {
    Queue("handset", std::move(reportLine));
}

void MqttPublisher::BatchEnded(std::string summary) {
    Queue("batch", std::move(summary));
}

void MqttPublisher::Queue(std::string leaf, std::string json) {
    {
        std::lock_guard lock(m_mutex);
        m_queuedLines.push_back({std::move(leaf), std::move(json)});
    }
    m_queued.notify_all();
}

void MqttPublisher::Say(const std::string& text) const {
    if (m_settings.say) {
        m_settings.say("[MQTT] " + text + "\r\n");
    }
}

void MqttPublisher::Run(std::stop_token stop) {
    OpenOutbox();
    while (!stop.stop_requested()) {
        TakeQueued();
        const Clock::time_point now = Clock::now();
        if (!m_client && now >= m_nextAttempt) {
            StartConnecting(now);
        }
        if (m_client && !m_bConnected && !m_lost &&
            now - m_attemptStarted > m_settings.connectBound) {
            Lose(NoAnswerIn(m_settings.connectBound));
        }
        if (m_bConnected) {
            PublishSlots(now);
            PublishWaiting();
        }
        if (m_client && !m_lost) {
            LoopOnce();
        }
        if (m_lost) {
            m_client.reset();
            m_bConnected = false;
            m_lost.reset();
        }
        if (!m_client) {
            std::unique_lock lock(m_mutex);
            m_queued.wait_until(lock, stop, m_nextAttempt, [&] {
                return !m_queuedLines.empty() ||
                       std::any_of(m_queuedSlots.begin(), m_queuedSlots.end(),
                                   [](const auto& slot) { return slot.has_value(); });
            });
        }
    }
    TakeQueued();
    Finish();
}

void MqttPublisher::OpenOutbox() {
    std::string error;
    if (!m_outbox.Open(error)) {
        Say(error + ": handset lines wait in memory only.");
    } else if (!m_outbox.Entries().empty()) {
        Say(std::to_string(m_outbox.Entries().size()) +
            " line(s) of an earlier run wait in the outbox " + m_outbox.Folder().string() + ".");
    }
}

void MqttPublisher::TakeQueued() {
    std::vector<Line> lines;
    {
        std::lock_guard lock(m_mutex);
        lines.swap(m_queuedLines);
        for (size_t slot = 0; slot < m_queuedSlots.size(); ++slot) {
            if (m_queuedSlots[slot]) {
                m_slots[slot].json = std::move(*m_queuedSlots[slot]);
                m_slots[slot].bDirty = true;
                m_queuedSlots[slot].reset();
            }
        }
    }
    for (Line& line : lines) {
        bool bDropped = false;
        std::string error;
        if (!m_outbox.Add(Topic(line.leaf), WithMessageId(line.json), bDropped, error) &&
            !m_bSaidUnwritten) {
            Say("A line could not be kept in the outbox (" + error + "): it waits in memory.");
            m_bSaidUnwritten = true;
        }
        if (bDropped && !m_bSaidFull) {
            Say("The outbox is full (" + std::to_string(m_settings.mostWaiting) +
                " lines): the oldest waiting line was dropped; the batch records keep it.");
            m_bSaidFull = true;
        }
    }
}

void MqttPublisher::StartConnecting(Clock::time_point now) {
    m_attemptStarted = now;
    MosquittoClient::Callbacks callbacks;
    callbacks.connected = [this](int code) { OnConnected(code); };
    callbacks.disconnected = [this](int) {
        if (!m_lost && !m_bClosing) {
            Lose("connection lost");
        }
    };
    callbacks.published = [this](int messageId) {
        if (m_offlineId == messageId) {
            m_offlineId.reset();
        }
        const auto found = m_inflight.find(messageId);
        if (found != m_inflight.end()) {
            m_outbox.Remove(found->second);
            m_inflight.erase(found);
        }
    };
    m_client =
        std::make_unique<MosquittoClient>("vantorel-" + m_settings.stationId, std::move(callbacks));
    if (!m_client->IsValid()) {
        Lose("no MQTT client could be made");
        return;
    }
    int result = m_client->SetWill(Topic("status"), kOffline, kQosAtLeastOnce, true);
    if (result == MOSQ_ERR_SUCCESS && !m_settings.login.user.empty()) {
        result = m_client->SetLogin(m_settings.login.user, m_settings.login.password);
    }
    if (result == MOSQ_ERR_SUCCESS && m_settings.endpoint.bTls) {
        result = m_client->SetTls(m_settings.login.caFile);
    }
    if (result == MOSQ_ERR_SUCCESS) {
        result = m_client->ConnectAsync(m_settings.endpoint.host, m_settings.endpoint.port,
                                        m_settings.keepAliveSeconds);
    }
    if (result != MOSQ_ERR_SUCCESS) {
        Lose(m_client->Explain(result));
    }
}

void MqttPublisher::OnConnected(int code) {
    if (code != 0) {
        Lose(MosquittoClient::ConnackText(code), true);
        return;
    }
    m_bConnected = true;
    m_retry = m_settings.firstRetry;
    if (!m_bEverConnected) {
        Say("Publishing to " + m_url + " as station " + m_settings.stationId + ".");
    } else if (m_bSaidDown) {
        Say("Broker " + m_url + " reachable again: " + std::to_string(m_outbox.Entries().size()) +
            " waiting line(s) go out now.");
    }
    m_bEverConnected = true;
    m_bSaidDown = false;
    // A new session: everything retained is said again, the outbox sent from its start.
    m_inflight.clear();
    m_nextToSend = 0;
    m_client->Publish(Topic("status"), kOnline, kQosAtLeastOnce, true);
    for (SlotShown& slot : m_slots) {
        slot.bDirty = slot.json.has_value();
        slot.sent = {};
    }
}

void MqttPublisher::Lose(std::string reason, bool bRefused) {
    m_lost = reason;
    if (!m_bSaidDown) {
        Say("Broker " + m_url + (bRefused ? " refused the login (" : " not reachable (") + reason +
            "): handset lines wait in the outbox.");
        m_bSaidDown = true;
    }
    m_nextAttempt = Clock::now() + m_retry;
    m_retry = std::min(m_retry * 2, m_settings.lastRetry);
}

void MqttPublisher::PublishSlots(Clock::time_point now) {
    for (size_t index = 0; index < m_slots.size() && !m_lost; ++index) {
        SlotShown& slot = m_slots[index];
        if (!slot.bDirty || now - slot.sent < m_settings.slotInterval) {
            continue;
        }
        const int result = m_client->Publish(Topic("slot/" + std::to_string(index + 1)), *slot.json,
                                             kQosAtLeastOnce, true);
        if (result != MOSQ_ERR_SUCCESS) {
            Lose(m_client->Explain(result));
            return;
        }
        slot.bDirty = false;
        slot.sent = now;
    }
}

void MqttPublisher::PublishWaiting() {
    for (const OutboxEntry& entry : m_outbox.Entries()) {
        if (m_lost || m_inflight.size() >= kInflightLines) {
            return;
        }
        if (entry.sequence < m_nextToSend) {
            continue;
        }
        int messageId = 0;
        const int result =
            m_client->Publish(entry.topic, entry.payload, kQosAtLeastOnce, false, &messageId);
        if (result != MOSQ_ERR_SUCCESS) {
            Lose(m_client->Explain(result));
            return;
        }
        m_inflight[messageId] = entry.sequence;
        m_nextToSend = entry.sequence + 1;
    }
}

void MqttPublisher::LoopOnce() {
    const int result = m_client->Loop(kLoopMs);
    if (result != MOSQ_ERR_SUCCESS && !m_lost) {
        Lose(m_client->Explain(result));
    }
}

void MqttPublisher::Finish() {
    const Clock::time_point deadline = Clock::now() + m_settings.flushBound;
    if (!m_bConnected && !m_bSaidDown && !m_outbox.Entries().empty()) {
        // A run shorter than the first connect: its lines get their chance before it ends.
        if (!m_client) {
            StartConnecting(Clock::now());
        }
        while (m_client && !m_lost && !m_bConnected && Clock::now() < deadline) {
            LoopOnce();
        }
        if (!m_bConnected && !m_lost) {
            Lose(NoAnswerIn(m_settings.flushBound));
        }
    }
    if (!m_client || !m_bConnected || m_lost) {
        return;
    }
    const auto anySlotWaits = [&] {
        return std::any_of(m_slots.begin(), m_slots.end(),
                           [](const SlotShown& slot) { return slot.bDirty; });
    };
    while (!m_lost && Clock::now() < deadline && (!m_outbox.Entries().empty() || anySlotWaits())) {
        PublishSlots(Clock::now());
        PublishWaiting();
        LoopOnce();
    }
    // "offline" last, after every slot's last state.
    int messageId = 0;
    if (!m_lost && m_client->Publish(Topic("status"), kOffline, kQosAtLeastOnce, true,
                                     &messageId) == MOSQ_ERR_SUCCESS) {
        m_offlineId = messageId;
    }
    while (!m_lost && Clock::now() < deadline && m_offlineId) {
        LoopOnce();
    }
    if (m_lost) {
        return;
    }
    m_bClosing = true;
    m_client->Disconnect();
    for (int pass = 0; pass < 3 && !m_lost; ++pass) {
        m_client->Loop(kLoopMs);  // sends the DISCONNECT, so the will is not published
    }
}

}  // namespace vantorel::line
