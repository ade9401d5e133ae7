// The station-state model: what changed becomes one event, memory stays bounded, and a
// reader hears of events in its own thread without ever holding up the feeding thread.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <atomic>
#include <latch>

#include "line/station_state.h"

namespace vantorel::line {
namespace {

using Kind = StationEvent::Kind;

console::ShownSlot Slot(int slot, std::string barText, int progress = 0) {
    console::ShownSlot shown;
    shown.slot = slot;
    shown.caption = "PDA " + std::to_string(slot + 1);
    shown.background = "#ffff00";
    shown.barText = std::move(barText);
    shown.progress = progress;
    shown.state = "downloading";
    return shown;
}

TEST(StationStateTest, OnlyWhatChangedBecomesAnEventInOrder) {
    StationState state;
    state.SlotShown(Slot(2, "Ready to download..."));
    state.SlotShown(Slot(2, "Ready to download..."));  // the dialog repeats itself freely
    state.CountsShown({1, 0, 0});
    state.CountsShown({1, 0, 0});
    state.SlotShown(Slot(2, "Downloading eBoot to ram... 40%", 40));
    state.SlotShown(Slot(9, "no such slot"));
    state.SlotShown(Slot(-1, "no such slot"));

    const std::vector<StationEvent> events = state.RecentEvents(100);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::SlotChanged);
    EXPECT_EQ(events[1].kind, Kind::CountsChanged);
    EXPECT_EQ(events[1].counts, (Counts{1, 0, 0}));
    EXPECT_EQ(events[2].slot.barText, "Downloading eBoot to ram... 40%");
    EXPECT_EQ(events[2].counts, (Counts{1, 0, 0})) << "each event carries the counts after it";
    EXPECT_EQ(events[0].sequence + 1, events[1].sequence);
    EXPECT_EQ(events[1].sequence + 1, events[2].sequence);

    const StationSnapshot snapshot = state.Snapshot();
    EXPECT_EQ(snapshot.lastSequence, events[2].sequence);
    EXPECT_EQ(snapshot.slotViews[2].progress, 40);
    EXPECT_EQ(snapshot.slotViews[5].slot, 5) << "a slot never shown still knows its number";
    EXPECT_EQ(snapshot.slotViews[5].barText, "");
}

TEST(StationStateTest, EndsCarryTheirJsonOnOneLine) {
    StationState state;
    state.HandsetEnded("{\"slot\":3,\"result\":\"done\"}\n");
    state.BatchEnded("{\n    \"detected\": 2,\n    \"done\": 2\n}\n");
    state.HandsetEnded("torn {\nline");

    const std::vector<StationEvent> events = state.RecentEvents(10);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::HandsetEnded);
    EXPECT_EQ(events[0].json, R"({"result":"done","slot":3})");
    EXPECT_EQ(events[1].kind, Kind::BatchEnded);
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(events[1].json))
                  .object()
                  .value("done")
                  .toInt(),
              2);
    EXPECT_EQ(events[1].json.find('\n'), std::string::npos);
    EXPECT_EQ(events[2].json.find('\n'), std::string::npos) << "an event is one line, JSON or not";
}

TEST(StationStateTest, KeepsTheNewestEventsAndTellsALaggingReaderItMissedSome) {
    StationState state(4);
    auto reader = state.Subscribe();
    for (int n = 0; n < 10; ++n) {
        state.SlotShown(Slot(0, "step " + std::to_string(n)));
    }
    EXPECT_EQ(state.RecentEvents(100).size(), 4u);

    TakenEvents taken = reader->Take(3);
    EXPECT_TRUE(taken.bMissed);
    ASSERT_EQ(taken.events.size(), 3u);
    EXPECT_EQ(taken.events.front().slot.barText, "step 6");
    taken = reader->Take(3);
    EXPECT_FALSE(taken.bMissed) << "the reader caught up with what is kept";
    ASSERT_EQ(taken.events.size(), 1u);
    EXPECT_EQ(taken.events.front().slot.barText, "step 9");
    EXPECT_TRUE(reader->Take().events.empty());
}

TEST(StationStateTest, ASubscriptionStartsAfterWhatWasFedOrAfterTheSequenceItIsGiven) {
    StationState state;
    state.SlotShown(Slot(0, "one"));
    state.SlotShown(Slot(0, "two"));
    const uint64_t afterOne = state.RecentEvents(2).front().sequence;
    auto fresh = state.Subscribe();
    auto fromSnapshot = state.Subscribe(afterOne);
    state.SlotShown(Slot(0, "three"));

    const TakenEvents freshTaken = fresh->Take();
    ASSERT_EQ(freshTaken.events.size(), 1u);
    EXPECT_EQ(freshTaken.events[0].slot.barText, "three");
    const TakenEvents fromTaken = fromSnapshot->Take();
    ASSERT_EQ(fromTaken.events.size(), 2u);
    EXPECT_EQ(fromTaken.events[0].slot.barText, "two");
}

// A reader whose thread handles its events: many feeds, one wake, in the reader's thread.
TEST(StationStateTest, AReaderIsWokenInItsOwnThreadOnceForABurst) {
    StationState state;
    QThread readerThread;
    QObject inReader;  // where calls to the reader's thread go
    inReader.moveToThread(&readerThread);
    readerThread.start();
    std::unique_ptr<StationSubscription> reader;
    std::atomic<int> wakes = 0;
    std::atomic<bool> bWokenElsewhere = false;
    std::latch subscribed(1);
    QMetaObject::invokeMethod(
        &inReader,
        [&] {
            reader = state.Subscribe();
            QObject::connect(reader.get(), &StationSubscription::EventsAdded, [&] {
                bWokenElsewhere = bWokenElsewhere || QThread::currentThread() != &readerThread;
                ++wakes;
            });
            subscribed.count_down();
        },
        Qt::BlockingQueuedConnection);
    subscribed.wait();

    // The reader's thread is held while the burst is fed: it cannot take any of it.
    std::latch held(1);
    std::latch release(1);
    QMetaObject::invokeMethod(&inReader, [&] {
        held.count_down();
        release.wait();
    });
    held.wait();
    for (int n = 0; n < 500; ++n) {
        state.SlotShown(Slot(n % 8, "step " + std::to_string(n)));
    }
    release.count_down();
    // Runs after the wake that was queued behind the held call.
    QMetaObject::invokeMethod(
        &inReader, [] {}, Qt::BlockingQueuedConnection);
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_FALSE(bWokenElsewhere.load());
    EXPECT_EQ(reader->Take(1000).events.size(), 500u);

    state.SlotShown(Slot(0, "after the take"));
    QMetaObject::invokeMethod(
        &inReader, [] {}, Qt::BlockingQueuedConnection);
    EXPECT_EQ(wakes.load(), 2) << "a reader that took its events is woken again";

    QMetaObject::invokeMethod(
        &inReader, [&] { reader.reset(); }, Qt::BlockingQueuedConnection);
    readerThread.quit();
    readerThread.wait();
}

TEST(StationStateTest, ASubscriptionOutlivingItsModelTakesNothing) {
    auto state = std::make_unique<StationState>();
    auto reader = state->Subscribe();
    state->SlotShown(Slot(1, "fed"));
    state.reset();
    EXPECT_TRUE(reader->Take().events.empty());
}

}  // namespace
}  // namespace vantorel::line
