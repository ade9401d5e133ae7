// The whole station feeding the model: each slot as the window shows it, and each handset's
// and batch's end as the records write them.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engine/boot_loader_protocol.h"
#include "line/station_state.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

class StationFeedTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        MakeRecordingDialog(records.Path());
        dlg->SetStationObserver(&state);
    }
    void TearDown() override {
        if (dlg) {
            dlg->SetStationObserver(nullptr);
        }
        E2eTest::TearDown();
    }
    std::vector<line::StationEvent> EventsOf(line::StationEvent::Kind kind) const {
        std::vector<line::StationEvent> found;
        for (const line::StationEvent& event : state.RecentEvents(state.MostEvents())) {
            if (event.kind == kind) {
                found.push_back(event);
            }
        }
        return found;
    }

    vantorel::test::TempDir records;
    line::StationState state{100000};
};

TEST_P(StationFeedTest, TheModelShowsWhatTheWindowShowsAndHearsEveryEnd) {
    const line::StationSnapshot start = state.Snapshot();
    EXPECT_EQ(start.slotViews[7].caption, "PDA 8") << "the slots are shown as soon as it is set";
    EXPECT_EQ(start.slotViews[7].background, "#ffff00");
    EXPECT_EQ(start.slotViews[7].state, "waiting");

    AttachStalledFlashBesideAHealthyHandset();
    const line::SlotView ready = state.Snapshot().slotViews[1];
    EXPECT_EQ(ready.state, "ready");
    EXPECT_EQ(ready.background, "#00ff00");
    EXPECT_EQ(ready.barText, "Ready to download...");
    EXPECT_EQ(ready.port, "1-2");
    EXPECT_EQ(ready.device, dlg->m_pUsb[1]->DevicePath());
    EXPECT_EQ(state.Snapshot().counts, (line::Counts{2, 0, 0}));

    ASSERT_TRUE(RunBatch()) << MainLog();
    const line::StationSnapshot end = state.Snapshot();
    EXPECT_EQ(end.slotViews[1].caption, LabelText(1));
    EXPECT_EQ(end.slotViews[1].caption, "OK 2");
    EXPECT_EQ(end.slotViews[1].background, "#0000ff");
    EXPECT_EQ(end.slotViews[1].barText, BarText(1));
    EXPECT_EQ(end.slotViews[1].progress, 100);
    EXPECT_EQ(end.slotViews[1].state, "done");
    EXPECT_EQ(end.slotViews[0].background, "#ff0000");
    EXPECT_EQ(end.slotViews[0].state, "failed");
    EXPECT_EQ(end.slotViews[0].barText, BarText(0));
    EXPECT_EQ(end.counts, (line::Counts{2, 1, 1}));

    // A downloading slot passed through the model with its progress text.
    bool bSawProgress = false;
    for (const line::StationEvent& event : EventsOf(line::StationEvent::Kind::SlotChanged)) {
        bSawProgress = bSawProgress || (event.slot.slot == 1 && event.slot.state == "downloading" &&
                                        event.slot.barText.starts_with("Downloading "));
    }
    EXPECT_TRUE(bSawProgress);

    // The records hand over their lines once the images' digests are done; all are by the
    // time the station has closed.
    dlg->SetStationObserver(&state);  // set again: nothing is repeated
    dlg.reset();
    const auto handsets = EventsOf(line::StationEvent::Kind::HandsetEnded);
    ASSERT_EQ(handsets.size(), 2u);
    int done = 0;
    for (const line::StationEvent& event : handsets) {
        const QJsonObject report = Json(event.json);
        done += report["result"].toString() == "done" ? 1 : 0;
        EXPECT_FALSE(report["images"].toArray().isEmpty()) << event.json;
    }
    EXPECT_EQ(done, 1);
    const auto batches = EventsOf(line::StationEvent::Kind::BatchEnded);
    ASSERT_EQ(batches.size(), 1u);
    const QJsonObject summary = Json(batches[0].json);
    EXPECT_EQ(summary["end"].toString(), "finished");
    EXPECT_EQ(summary["done"].toInt(), 1);
    EXPECT_EQ(summary["failed"].toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, StationFeedTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
