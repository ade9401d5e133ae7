#pragma once

#include <QObject>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console/station_observer.h"

namespace vantorel::line {

inline constexpr int kStationSlots = 8;

using SlotView = console::ShownSlot;
using Counts = console::ShownCounts;

struct StationEvent {
    enum class Kind { SlotChanged, CountsChanged, HandsetEnded, BatchEnded };
    uint64_t sequence = 0;  // 1, 2, 3... in the order the station fed them
    Kind kind = Kind::SlotChanged;
    SlotView slot;     // SlotChanged: the slot as it is now
    Counts counts;     // the counts after the event
    std::string json;  // HandsetEnded: the report line; BatchEnded: the summary (compact)
};

// Everything at one moment: what a reader shows before it follows the events after
// `lastSequence`.
struct StationSnapshot {
    std::array<SlotView, kStationSlots> slotViews;
    Counts counts;
    uint64_t lastSequence = 0;
};

// What a subscriber takes: the events after the last it took, oldest first. `bMissed` when
// some fell out of the model's bound before it took them: a snapshot catches it up.
struct TakenEvents {
    std::vector<StationEvent> events;
    bool bMissed = false;
};

class StationState;

// How a subscription reaches its model, which may go first.
struct StationLink {
    std::mutex mutex;
    StationState* state = nullptr;
};

// A reader's place in the events. It lives in the reader's thread (the thread that made it)
// and tells it there, by EventsAdded(), that events wait: at most one such call is queued at
// a time, however many events arrive, so a reader that stalls costs nothing but its place.
class StationSubscription : public QObject {
    Q_OBJECT

public:
    ~StationSubscription() override;

    // Up to `most` events after the last one taken; takes the rest at the next call.
    TakenEvents Take(size_t most = 256);

signals:
    void EventsAdded();

private:
    friend class StationState;
    StationSubscription(std::shared_ptr<StationLink> link, uint64_t after);
    void Wake();

    std::shared_ptr<StationLink> m_link;
    uint64_t m_after;
    std::atomic<bool> m_bWakeQueued = false;
};

// The station as the world sees it: the eight slots, the counts and the recent events. The
// dialog thread feeds it (the records' threads feed the two ends); any thread reads it. A
// feed takes a short lock and queues at most one wake per subscriber, so no reader, slow or
// gone, ever makes the station wait. Memory is bounded: the newest `mostEvents` events stay.
class StationState : public console::StationObserver {
public:
    explicit StationState(size_t mostEvents = 1024);
    ~StationState() override;
    StationState(const StationState&) = delete;
    StationState& operator=(const StationState&) = delete;

    // The feeding side. A slot or counts that did not change add no event.
    void SlotShown(const console::ShownSlot& slot) override;
    void CountsShown(const console::ShownCounts& counts) override;
    void HandsetEnded(const std::string& reportLine) override;
    void BatchEnded(const std::string& summary) override;

    // The reading side.
    StationSnapshot Snapshot() const;
    // The newest events (up to `most`), oldest first.
    std::vector<StationEvent> RecentEvents(size_t most) const;
    // A subscription that starts after the snapshot's `lastSequence` (0: after everything
    // fed so far), made in and living in the calling thread.
    std::unique_ptr<StationSubscription> Subscribe(uint64_t after = 0);
    size_t MostEvents() const { return m_mostEvents; }

private:
    friend class StationSubscription;
    void AddEnd(StationEvent::Kind kind, const std::string& json);
    // Under the lock.
    void Add(StationEvent event);
    TakenEvents TakeAfter(uint64_t& after, size_t most) const;

    const size_t m_mostEvents;
    mutable std::mutex m_mutex;
    std::array<SlotView, kStationSlots> m_slots;
    Counts m_counts;
    std::deque<StationEvent> m_events;
    uint64_t m_lastSequence = 0;
    std::vector<StationSubscription*> m_subscribers;
    // What subscriptions hold to reach the model; its state is cleared when the model goes.
    std::shared_ptr<StationLink> m_link;
};

}  // namespace vantorel::line
