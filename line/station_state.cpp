#include "line/station_state.h"

#include <QJsonDocument>
#include <QMetaObject>
#include <algorithm>

namespace vantorel::line {

namespace {

std::string CompactJson(const std::string& text) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    if (document.isNull()) {
        // Not JSON after all: kept as a line, never torn further.
        std::string line = text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        return line;
    }
    return document.toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

StationSubscription::StationSubscription(std::shared_ptr<StationLink> link, uint64_t after)
    : m_link(std::move(link)), m_after(after) {}

StationSubscription::~StationSubscription() {
    std::lock_guard linked(m_link->mutex);
    if (StationState* state = m_link->state) {
        std::lock_guard lock(state->m_mutex);
        std::erase(state->m_subscribers, this);
    }
}

TakenEvents StationSubscription::Take(size_t most) {
    std::lock_guard linked(m_link->mutex);
    if (StationState* state = m_link->state) {
        std::lock_guard lock(state->m_mutex);
        return state->TakeAfter(m_after, most);
    }
    return {};
}

void StationSubscription::Wake() {
    // Cleared first: an event fed while the reader takes queues the next wake.
    m_bWakeQueued = false;
    emit EventsAdded();
}

StationState::StationState(size_t mostEvents)
    : m_mostEvents(std::max<size_t>(mostEvents, 1)), m_link(std::make_shared<StationLink>()) {
    m_link->state = this;
    for (int slot = 0; slot < kStationSlots; ++slot) {
        m_slots[static_cast<size_t>(slot)].slot = slot;
    }
}

StationState::~StationState() {
    std::lock_guard linked(m_link->mutex);
    m_link->state = nullptr;
}

void StationState::SlotShown(const console::ShownSlot& slot) {
    if (slot.slot < 0 || slot.slot >= kStationSlots) {
        return;
    }
    std::lock_guard lock(m_mutex);
    SlotView& kept = m_slots[static_cast<size_t>(slot.slot)];
    if (kept == slot) {
        return;
    }
    kept = slot;
    StationEvent event;
    event.kind = StationEvent::Kind::SlotChanged;
    event.slot = slot;
    Add(std::move(event));
}

void StationState::CountsShown(const console::ShownCounts& counts) {
    std::lock_guard lock(m_mutex);
    if (m_counts == counts) {
        return;
    }
    m_counts = counts;
    StationEvent event;
    event.kind = StationEvent::Kind::CountsChanged;
    Add(std::move(event));
}

void StationState::HandsetEnded(const std::string& reportLine) {
    AddEnd(StationEvent::Kind::HandsetEnded, reportLine);
}

void StationState::BatchEnded(const std::string& summary) {
    AddEnd(StationEvent::Kind::BatchEnded, summary);
}

void StationState::AddEnd(StationEvent::Kind kind, const std::string& json) {
    StationEvent event;
    event.kind = kind;
    event.json = CompactJson(json);
    std::lock_guard lock(m_mutex);
    Add(std::move(event));
}

void StationState::Add(StationEvent event) {
    event.sequence = ++m_lastSequence;
    event.counts = m_counts;
    if (m_events.size() == m_mostEvents) {
        m_events.pop_front();
    }
    m_events.push_back(std::move(event));
    for (StationSubscription* subscriber : m_subscribers) {
        if (!subscriber->m_bWakeQueued.exchange(true)) {
            QMetaObject::invokeMethod(subscriber, &StationSubscription::Wake, Qt::QueuedConnection);
        }
    }
}

StationSnapshot StationState::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return {m_slots, m_counts, m_lastSequence};
}

std::vector<StationEvent> StationState::RecentEvents(size_t most) const {
    std::lock_guard lock(m_mutex);
    const size_t count = std::min(most, m_events.size());
    return {m_events.end() - static_cast<std::ptrdiff_t>(count), m_events.end()};
}

std::unique_ptr<StationSubscription> StationState::Subscribe(uint64_t after) {
    std::lock_guard lock(m_mutex);
    // Not make_unique: the constructor is private to the model.
    std::unique_ptr<StationSubscription> subscription(
        new StationSubscription(m_link, after == 0 ? m_lastSequence : after));
    m_subscribers.push_back(subscription.get());
    return subscription;
}

TakenEvents StationState::TakeAfter(uint64_t& after, size_t most) const {
    TakenEvents taken;
    if (m_events.empty() || after >= m_lastSequence) {
        return taken;
    }
    const uint64_t first = m_events.front().sequence;
    taken.bMissed = after + 1 < first;
    const size_t start = static_cast<size_t>(std::max(after + 1, first) - first);
    const size_t count = std::min(most, m_events.size() - start);
    const auto begin = m_events.begin() + static_cast<std::ptrdiff_t>(start);
    taken.events.assign(begin, begin + static_cast<std::ptrdiff_t>(count));
    if (!taken.events.empty()) {
        after = taken.events.back().sequence;
    }
    return taken;
}

}  // namespace vantorel::line
