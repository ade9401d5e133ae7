// What the slot table adds beside the station's own texts: captions that read well on every
// label colour, the pace column, and a failed slot that says why.
#include <QLabel>
#include <chrono>

#include "console/caption_contrast.h"
#include "console/failure_advice.h"
#include "console/failure_reasons.h"
#include "console/slot_pace.h"
#include "link/interface_class.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using namespace std::chrono_literals;

TEST(CaptionContrastTest, TheRatioFollowsTheGuidelinesFormula) {
    EXPECT_NEAR(ContrastRatio(RGB(0, 0, 0), RGB(255, 255, 255)), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(RGB(255, 255, 255), kFinishedColour), 8.59, 0.01);
    EXPECT_NEAR(ContrastRatio(RGB(0, 0, 0), kFinishedColour), 2.44, 0.01);
    EXPECT_NEAR(ContrastRatio(RGB(0, 0, 0), kFailedColour), 5.25, 0.01);
    EXPECT_NEAR(ContrastRatio(RGB(255, 255, 255), kFailedColour), 4.0, 0.01);
}

TEST_F(ConsoleTest, EveryLabelColourCarriesACaptionOfAtLeastFourAndAHalfToOne) {
    StartBatch({0, 1});
    const auto ratio = [&](int slot) {
        return ContrastRatio(dlg->m_lblSlot[slot]->GetTextColor(), LabelColour(slot));
    };
    EXPECT_EQ(LabelColour(2), kWaitingColour);
    EXPECT_GE(ratio(2), 4.5);
    dlg->SetSlotLabelColour(3, kReadyColour);  // as the attach step paints a ready slot
    EXPECT_GE(ratio(3), 4.5);
    Send(518, 0);
    ASSERT_EQ(LabelColour(0), kFinishedColour);
    EXPECT_EQ(dlg->m_lblSlot[0]->GetTextColor(), RGB(255, 255, 255));
    EXPECT_GE(ratio(0), 4.5);
    Send(212, 1);
    ASSERT_EQ(LabelColour(1), kFailedColour);
    EXPECT_EQ(dlg->m_lblSlot[1]->GetTextColor(), RGB(0, 0, 0));
    EXPECT_GE(ratio(1), 4.5);
    // A reset gives the waiting colour back with its own caption colour.
    dlg->OnBnClickedResetSlot(0);
    EXPECT_EQ(LabelColour(0), kWaitingColour);
    EXPECT_GE(ratio(0), 4.5);
}

TEST(SlotPaceTest, DataMovingShowsTheRateAndTimeLeftOfItsPart) {
    SlotPace pace;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1h;
    EXPECT_EQ(pace.Text(t0), "");
    pace.Progress(t0, 10, 10 * 1024 * 1024, 1);
    EXPECT_EQ(pace.Text(t0), "measuring...");
    // 40 % of 10 MB in 4 s: 1 MB/s, 50 % left takes 5 s.
    pace.Progress(t0 + 4s, 50, 10 * 1024 * 1024, 1);
    EXPECT_EQ(pace.Text(t0 + 4s), "1.0 MB/s, 0:05 left");
    EXPECT_EQ(pace.Text(t0 + 6s), "1.0 MB/s, 0:03 left");
    // The next turn starts its own measure.
    pace.Progress(t0 + 10s, 0, 1024 * 1024, 2);
    EXPECT_EQ(pace.Text(t0 + 10s), "measuring...");
    pace.Progress(t0 + 12s, 25, 1024 * 1024, 2);
    EXPECT_EQ(pace.Text(t0 + 12s), "128 KB/s, 0:06 left");
    pace.Idle();
    EXPECT_EQ(pace.Text(t0 + 13s), "");
}

TEST(SlotPaceTest, AWaitCountsUpWhatWasWaitedAndDownWhatIsLeft) {
    SlotPace pace;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1h;
    pace.Wait(t0, 200s);
    EXPECT_EQ(pace.Text(t0), "0:00 waited, 3:20 left");
    EXPECT_EQ(pace.Text(t0 + 75s), "1:15 waited, 2:05 left");
    EXPECT_EQ(pace.Text(t0 + 300s), "5:00 waited, 0:00 left");
    EXPECT_EQ(FormatDuration(3723s), "1:02:03");
}

TEST_F(ConsoleTest, ThePaceColumnFollowsTheSlotsNotifications) {
    // Protocol time at its real pace: the wait's bound shows as the protocol has it.
    dlg.reset();
    dlg = std::make_unique<CVantorelDlg>(
        ConsoleEnvironment{bus, bus, bus, false, Clock{1.0}, sync, prompts, nullptr});
    dlg->OnInitDialog();
    StartBatch({0});
    const auto pace = [&] { return dlg->m_lblPace[0]->text().toStdString(); };
    EXPECT_EQ(pace(), "");
    Send(204, 0, 5);
    EXPECT_EQ(pace(), "measuring...");
    Send(217, 0);  // the wait after download, 200 s of protocol time
    EXPECT_TRUE(pace().ends_with("waited, 3:20 left") || pace().ends_with("waited, 3:19 left"))
        << pace();
    Send(518, 0);
    EXPECT_EQ(pace(), "");
}

TEST_F(ConsoleTest, AFailedSlotsLogEndsWithItsStatusAndTheReasonItsWorkerLogged) {
    StartBatch({0, 2});
    // Lines the workers of slots 1 and 3 log; only slot 3's explains slot 3.
    SetWorkerSlotOfThisThread(0);
    dlg->AppendMainLogText("[EBoot:1] Flash programming \r\n");
    SetWorkerSlotOfThisThread(2);
    dlg->AppendFailureLogText("[Setup:3] Downloader tool version unmatch.\r\n");
    SetWorkerSlotOfThisThread(-1);
    dlg->AppendMainLogText("OnDeviceChange - DBT_DEVICEARRIVAL\r\n");
    Send(209, 2, 1);
    EXPECT_TRUE(dlg->m_logs.SlotText(2).ends_with(
        "[Error:3] [FAIL] EBOOT read error from file: Downloader tool version unmatch.\r\n"))
        << dlg->m_logs.SlotText(2);
    EXPECT_EQ(dlg->m_prgSlot[2]->toolTip().toStdString(), FailureAdvice(209, 1, FailureFacts{}));
    // Progress since the last line makes that line no reason; a repeated failure adds nothing.
    Send(204, 0, 50);
    Send(212, 0);
    Send(212, 0);
    const std::string log = dlg->m_logs.SlotText(0);
    EXPECT_TRUE(log.ends_with("[Error:1] [FAIL] Eboot Checksum !!\r\n")) << log;
    EXPECT_EQ(log.find("[Error:1]"), log.rfind("[Error:1]"));
    EXPECT_EQ(dlg->m_prgSlot[0]->toolTip().toStdString(),
              "The handset answered a wrong checksum: retry; replace the handset if it fails "
              "again");
    // The reset takes it all away.
    dlg->OnBnClickedResetSlot(2);
    EXPECT_TRUE(dlg->m_prgSlot[2]->toolTip().isEmpty());
}

// A worker's progress lines explain nothing: a slot that fails at its first packet right
// after logging the image's size is shown by its status alone, and of two reasons its worker
// gives the first is the one that explains.
TEST_F(ConsoleTest, OnlyTheLinesAWorkerGivesAsItsFailuresReasonExplainTheSlot) {
    StartBatch({0, 1});
    SetWorkerSlotOfThisThread(0);
    dlg->AppendMainLogText("[EBoot:1] Size: 65536 Bytes\r\n");
    SetWorkerSlotOfThisThread(1);
    dlg->AppendFailureLogText("Flash Image checksum error checksum = 10, Rvalue = 11\r\n");
    dlg->AppendFailureLogText("[PDA:2] Writing flash error\r\n");
    SetWorkerSlotOfThisThread(-1);
    Send(209, 0, 0);
    Send(210, 1, 0);
    const std::string first = dlg->m_logs.SlotText(0);
    EXPECT_TRUE(first.ends_with("[Error:1] [FAIL] EBOOT read error from usb\r\n")) << first;
    EXPECT_EQ(first.find("Size: 65536"), std::string::npos) << first;
    EXPECT_FALSE(dlg->m_prgSlot[0]->toolTip().contains("Size"));
    const std::string second = dlg->m_logs.SlotText(1);
    EXPECT_NE(second.find("Flash Image checksum error checksum = 10, Rvalue = 11\r\n"),
              std::string::npos)
        << second;
    EXPECT_FALSE(dlg->m_prgSlot[1]->toolTip().contains("Rvalue")) << "detail stays in the log";
}

TEST_F(ConsoleTest, DetectTellsOfHandsetsThatWerePluggedInBeforeIt) {
    bus.Plug("1-1");
    bus.Plug("1-2");
    bus.Plug("1-3");
    // Slot 0 holds the first; the other two sit unnoticed until plugged in again.
    ASSERT_TRUE(dlg->m_pUsb[0]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    dlg->m_aSlotStatus[0].nState = SLOT_READY;
    dlg->OnBnClickedDetect();
    EXPECT_NE(MainLog().find("[Setup] 2 handset(s) in download mode already plugged in: they "
                             "attach when unplugged and plugged in again.\r\n"),
              std::string::npos)
        << MainLog();
}

TEST_F(ConsoleTest, DetectWithNoHandsetPluggedInSaysNothingOfThem) {
    dlg->OnBnClickedDetect();
    EXPECT_EQ(MainLog().find("already plugged in"), std::string::npos) << MainLog();
}

}  // namespace
}  // namespace vantorel::console::test
