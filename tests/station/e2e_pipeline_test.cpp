// Slots that run on their own, end to end: handsets arrive and leave while others download,
// each starts as it is attached, an ended slot waits for its handset's pull or its socket's
// next handset, and every handset is checked byte for byte.
#include <QAbstractButton>
#include <QJsonDocument>
#include <QJsonObject>

#include "records/slot_report.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// Off the bus after its reboot until the test plugs it in again.
emulator::HandsetConfig HeldAtReboot() {
    emulator::HandsetConfig config;
    config.rebootDelay = std::chrono::hours(1);
    return config;
}

class PipelineTest : public E2eTest {
protected:
    // Slower than the batch runs: a handset is held off the bus during its reboot while
    // others arrive, well inside the worker's bound on its return.
    static constexpr double kPipelineTimeScale = 0.02;

    PipelineTest() : E2eTest(kPipelineTimeScale) {}

    void SetUp() override {
        E2eTest::SetUp();
        KeepRecordsIn(records.Path());
    }

    // EBoot and PDA (a reboot between them), the option on, Detect.
    std::vector<emulator::ChosenImage> ArmShift() {
        const samples::SampleSet set = WriteSamples();
        const std::vector<emulator::ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                                        {images::IMG_PDA, set.pda}};
        ChooseImage(ctl::kEbootButton, set.eboot);
        ChooseImage(ctl::kPdaButton, set.pda);
        SetOption(kWaitAfterDownloadBox, false);
        SetOption(ctl::kSlotsRunOnTheirOwn, true);
        PressDetect();
        return chosen;
    }
    // Plugs a handset in at `port` and waits until its slot downloads.
    emulator::BusHandset& PlugAndStart(const std::string& port, int slot,
                                       emulator::HandsetConfig config = {},
                                       emulator::HandsetFaults faults = {}) {
        emulator::BusHandset& handset = Plug(port, std::move(config), faults);
        EXPECT_TRUE(PumpUntil([&] { return State(slot) == SLOT_DOWNLOADING; }))
            << port << " did not start in PDA " << slot + 1 << "\n"
            << MainLog();
        return handset;
    }
    int32_t State(int slot) const { return dlg->m_aSlotStatus[slot].nState; }
    // The handset went off the bus for its reboot (the dialog handles its worker meanwhile).
    bool WaitForReboot(const emulator::BusHandset& handset) {
        return PumpUntil([&] { return handset.WaitForReboots(1, std::chrono::nanoseconds(0)); });
    }
    bool WaitForState(int slot, int32_t state) {
        return PumpUntil([&] { return State(slot) == state; });
    }
    void ExpectFlashed(const emulator::BusHandset& handset,
                       const std::vector<emulator::ChosenImage>& chosen) {
        EXPECT_TRUE(WaitForLaunch(handset)) << handset.PortPath();
        EXPECT_EQ(FlashProblems(handset, chosen), std::vector<std::string>{}) << handset.PortPath();
    }
    QJsonObject Summary() const {
        const std::string text =
            vantorel::test::ReadFileText(dlg->Records()->Folder() / "summary.json");
        return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
    }
    size_t ReportLineCount() const {
        return records::ReadReportLines((dlg->Records()->Folder() / "report.jsonl").string())
            .size();
    }

    vantorel::test::TempDir records;
};

TEST_P(PipelineTest, HandsetsArriveDuringDownloadsAndARebootReturnsToItsOwnSlot) {
    const auto chosen = ArmShift();
    emulator::BusHandset& first = PlugAndStart("1-1", 0, HeldAtReboot());
    ASSERT_TRUE(WaitForReboot(first)) << MainLog();
    first.Unplug();  // held off the bus while others arrive

    emulator::BusHandset& second = PlugAndStart("1-2", 1);
    emulator::BusHandset& third = PlugAndStart("1-3", 2);
    EXPECT_EQ(State(0), SLOT_DOWNLOADING) << "the rebooting handset keeps its slot";
    EXPECT_EQ(dlg->m_bDetecting, 1) << "detection stays armed while slots download";

    first.Plug();  // back in its new boot loader, on the same port
    for (int slot = 0; slot < 3; ++slot) {
        ASSERT_TRUE(WaitForState(slot, SLOT_DONE)) << "PDA " << slot + 1 << "\n" << MainLog();
        ExpectDone(slot);
    }
    EXPECT_FALSE(MainLogHas("Another same device Found")) << MainLog();
    EXPECT_TRUE(MainLogHas("PDADetectEvent1\r\n")) << MainLog();
    EXPECT_TRUE(MainLogHas("[Setup:1] Device is Re-Connected.")) << MainLog();
    EXPECT_EQ(CountSlots(SLOT_WAITING), 5) << "the return took no second slot";
    EXPECT_EQ(SlotLog(3), "") << "the return was tried as a new arrival in PDA 4";
    ExpectFlashed(first, chosen);
    ExpectFlashed(second, chosen);
    ExpectFlashed(third, chosen);
    EXPECT_TRUE(MainLogHas("[Shift] PDA 1 done: ")) << MainLog();
    EXPECT_EQ(dlg->m_shift.Done(), 3);
    EXPECT_EQ(dlg->m_shift.Failed(), 0);
    EXPECT_FALSE(MainLogHas("All Download finished.")) << "a shift has no batch end";
}

TEST_P(PipelineTest, AFailedSlotWaitsForItsPullWhichFreesIt) {
    const auto chosen = ArmShift();
    emulator::HandsetFaults wrongSum;
    wrongSum.wrongSumAtPacket = 3;
    emulator::BusHandset& failing = PlugAndStart("1-1", 0, {}, wrongSum);
    ASSERT_TRUE(WaitForState(0, SLOT_FAILED)) << MainLog();
    const std::string failure = BarText(0);
    EXPECT_FALSE(failure.empty());
    // Other handsets come and go; the failed slot keeps what it shows.
    emulator::BusHandset& other = PlugAndStart("1-2", 1);
    ASSERT_TRUE(WaitForState(1, SLOT_DONE)) << MainLog();
    ExpectFlashed(other, chosen);
    EXPECT_EQ(State(0), SLOT_FAILED);
    EXPECT_EQ(BarText(0), failure);
    EXPECT_EQ(LabelColour(0), kFailedColour);

    failing.Unplug();
    ASSERT_TRUE(WaitForState(0, SLOT_WAITING)) << MainLog();
    EXPECT_EQ(BarText(0), "Waiting for the device...");
    EXPECT_EQ(LabelColour(0), kWaitingColour);
    EXPECT_TRUE(MainLogHas("[Shift] PDA 1 is free: its handset was pulled.")) << MainLog();
    EXPECT_EQ(State(1), SLOT_DONE) << "a done slot is not freed by another's pull";

    // The freed slot is the next one taken.
    emulator::BusHandset& next = PlugAndStart("1-3", 0);
    ASSERT_TRUE(WaitForState(0, SLOT_DONE)) << MainLog();
    ExpectFlashed(next, chosen);
    EXPECT_EQ(dlg->m_shift.Done(), 2);
    EXPECT_EQ(dlg->m_shift.Failed(), 1);
}

TEST_P(PipelineTest, ADoneSlotKeepsItsResultUntilItsSocketTakesTheNextHandset) {
    const auto chosen = ArmShift();
    emulator::BusHandset& first = PlugAndStart("1-4", 0);
    ASSERT_TRUE(WaitForState(0, SLOT_DONE)) << MainLog();
    ExpectFlashed(first, chosen);  // launched: it has left the bus
    Pump(milliseconds(50));
    ExpectDone(0);

    handsets.clear();  // pulled; a new handset goes into the same socket
    emulator::BusHandset& next = PlugAndStart("1-4", 0);
    EXPECT_TRUE(MainLogHas("[Shift] PDA 1 is free: a new handset took its socket.")) << MainLog();
    ASSERT_TRUE(WaitForState(0, SLOT_DONE)) << MainLog();
    ExpectFlashed(next, chosen);
    EXPECT_EQ(CountSlots(SLOT_WAITING), 7);
}

TEST_P(PipelineTest, SlotsThatFollowPortsTakeEachSocketsHandsetsInTurn) {
    engine::SlotPortMap map;
    ASSERT_TRUE(map.Bind(0, "1-6"));
    ASSERT_TRUE(map.Bind(1, "1-5"));
    dlg->SetPortMap(map);
    dlg->SetSlotsFollowPorts(true);
    const auto chosen = ArmShift();
    emulator::BusHandset& onFive = PlugAndStart("1-5", 1);
    emulator::BusHandset& onSix = PlugAndStart("1-6", 0);
    ASSERT_TRUE(WaitForState(1, SLOT_DONE)) << MainLog();
    ASSERT_TRUE(WaitForState(0, SLOT_DONE)) << MainLog();
    ExpectFlashed(onFive, chosen);
    ExpectFlashed(onSix, chosen);

    handsets.clear();
    emulator::BusHandset& nextOnFive = PlugAndStart("1-5", 1);
    ASSERT_TRUE(WaitForState(1, SLOT_DONE)) << MainLog();
    ExpectFlashed(nextOnFive, chosen);
    EXPECT_EQ(State(0), SLOT_DONE) << "the other socket's result stays";
}

TEST_P(PipelineTest, AShiftKeepsOneFolderWithALinePerHandsetAndAsksBeforeResetAll) {
    const auto chosen = ArmShift();
    const fs::path folder = dlg->Records()->Folder();
    emulator::BusHandset& done = PlugAndStart("1-1", 0);
    ASSERT_TRUE(WaitForState(0, SLOT_DONE)) << MainLog();
    ExpectFlashed(done, chosen);
    ASSERT_TRUE(PumpUntil([&] { return ReportLineCount() == 1; })) << "a line as it ends";
    EXPECT_EQ(Summary()["end"].toString(), records::kRunningEnd);
    EXPECT_EQ(Summary()["done"].toInt(), 1);

    emulator::BusHandset& held = PlugAndStart("1-2", 1, HeldAtReboot());
    ASSERT_TRUE(WaitForReboot(held)) << MainLog();
    held.Unplug();
    prompts.bConfirm = false;
    dlg->Controls().As<QAbstractButton>(ctl::kResetAll)->click();
    ASSERT_EQ(prompts.confirmations.size(), 1u);
    EXPECT_TRUE(prompts.confirmations[0].startsWith("Now Downloading! Reset All Anyway?"))
        << prompts.confirmations[0].toStdString();
    EXPECT_TRUE(prompts.confirmations[0].contains("1 handset(s) are still being flashed"));
    EXPECT_EQ(State(1), SLOT_DOWNLOADING) << "kept running when the operator cancels";
    EXPECT_EQ(State(0), SLOT_DONE);
    EXPECT_FALSE(dlg->OnClose()) << "quitting asks too";
    ASSERT_EQ(prompts.confirmations.size(), 2u);
    EXPECT_TRUE(prompts.confirmations[1].startsWith("Now Downloading! Quit Anyway?"));
    EXPECT_EQ(State(1), SLOT_DOWNLOADING);

    prompts.bConfirm = true;
    dlg->Controls().As<QAbstractButton>(ctl::kResetAll)->click();
    EXPECT_EQ(CountSlots(SLOT_WAITING), 8);
    EXPECT_EQ(dlg->Records()->Folder(), folder);
    EXPECT_EQ(std::distance(fs::directory_iterator(records.Path()), fs::directory_iterator()), 1)
        << "one folder for the whole shift";
    EXPECT_EQ(Summary()["end"].toString(), "reset all");
    EXPECT_EQ(Summary()["done"].toInt(), 1);
    EXPECT_EQ(Summary()["failed"].toInt(), 1) << "the stopped handset counts as failed";
    EXPECT_EQ(ReportLineCount(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Links, PipelineTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
