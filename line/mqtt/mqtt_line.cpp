#include "line/mqtt/mqtt_line.h"

#include <QJsonDocument>
#include <cstdio>

#include "line/station_json.h"

namespace vantorel::line {

namespace {

std::string SlotPayload(const SlotView& slot) {
    return QJsonDocument(SlotJson(slot)).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

MqttLine::MqttLine(StationState& state, PublisherSettings settings,
                   std::function<void(const std::string&)> say)
    : m_state(state), m_say(std::move(say)) {
    settings.say = [this](const std::string& text) { Say(text); };
    m_publisher = std::make_unique<MqttPublisher>(std::move(settings));
    // The slots as they are now, then every change after them.
    const StationSnapshot snapshot = m_state.Snapshot();
    for (const SlotView& slot : snapshot.slotViews) {
        m_publisher->SlotChanged(slot.slot + 1, SlotPayload(slot));
    }
    m_subscription = m_state.Subscribe(snapshot.lastSequence);
    connect(m_subscription.get(), &StationSubscription::EventsAdded, this, &MqttLine::Take);
}

MqttLine::~MqttLine() {
    Take();
    m_subscription.reset();
    m_publisher.reset();
}

void MqttLine::SayTo(std::function<void(const std::string&)> say) {
    std::lock_guard lock(m_sayMutex);
    m_say = std::move(say);
}

void MqttLine::Say(const std::string& text) {
    std::lock_guard lock(m_sayMutex);
    if (m_say) {
        m_say(text);
    }
}

void MqttLine::Take() {
    for (;;) {
        TakenEvents taken = m_subscription->Take();
        if (taken.bMissed) {
            // Slot states catch up from a snapshot; a handset line missed here is still in
            // the batch's records.
            for (const SlotView& slot : m_state.Snapshot().slotViews) {
                m_publisher->SlotChanged(slot.slot + 1, SlotPayload(slot));
            }
        }
        if (taken.events.empty()) {
            return;
        }
        for (StationEvent& event : taken.events) {
            switch (event.kind) {
                case StationEvent::Kind::SlotChanged:
                    m_publisher->SlotChanged(event.slot.slot + 1, SlotPayload(event.slot));
                    break;
                case StationEvent::Kind::HandsetEnded:
                    m_publisher->HandsetEnded(std::move(event.json));
                    break;
                case StationEvent::Kind::BatchEnded:
                    m_publisher->BatchEnded(std::move(event.json));
                    break;
                case StationEvent::Kind::CountsChanged:
                    break;  // the batch summary carries the counts
            }
        }
    }
}

std::unique_ptr<MqttLine> StartMqttLine(StationState& state, const MqttOptions& options,
                                        const std::filesystem::path& settingsFile,
                                        const std::filesystem::path& recordsRoot,
                                        const std::function<void(const std::string&)>& say) {
    if (options.url.empty()) {
        return nullptr;
    }
    std::vector<std::string> notes;
    std::optional<PublisherSettings> settings =
        PublisherSettingsFor(options, settingsFile, recordsRoot, notes);
    for (const std::string& note : notes) {
        say(note);
    }
    if (!settings) {
        return nullptr;
    }
    return std::make_unique<MqttLine>(state, std::move(*settings), say);
}

SayWhileWindowLives::SayWhileWindowLives(MqttLine* line,
                                         std::function<void(const std::string&)> say,
                                         std::string program)
    : m_line(line), m_program(std::move(program)) {
    if (m_line) {
        m_line->SayTo(std::move(say));
    }
}

SayWhileWindowLives::~SayWhileWindowLives() {
    if (m_line) {
        m_line->SayTo(SayOnStandardError(m_program));
    }
}

std::function<void(const std::string&)> SayOnStandardError(std::string program) {
    return [program = std::move(program)](const std::string& text) {
        std::string line = text;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        std::fprintf(stderr, "%s: %s\n", program.c_str(), line.c_str());
    };
}

}  // namespace vantorel::line
