#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "console/pda_detect.h"
#include "link/interface_class.h"
#include "tests/console/console_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

using SlotResetTest = ConsoleTest;

void MakeReady(CVantorelDlg& dlg, int slot) {
    dlg.m_stackFreeSlots.Pop();
    dlg.m_aSlotStatus[slot].nState = SLOT_READY;
    ++dlg.m_nDetectedCount;
}

TEST_F(SlotResetTest, ResetAllHandsOutSlotsFromZeroUpwards) {
    vantorel::test::TempDir dir;
    ChooseImage(ctl::kPhoneButton, dir.WriteFile("modem.bin", {1, 2, 3}));
    StartBatch({0, 1, 2});
    Send(518, 0);
    dlg->OnBnClickedResetAll();
    std::vector<int> order;
    while (!dlg->m_stackFreeSlots.IsEmpty()) {
        order.push_back(dlg->m_stackFreeSlots.Pop());
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(Enabled(ctl::kDetect));
    EXPECT_EQ(dlg->m_nDetectedCount, 0);
    EXPECT_EQ(dlg->m_nSuccessCount, 0);
    EXPECT_EQ(dlg->m_nSlotsLeft, 8);
    EXPECT_EQ(LabelColour(0), RGB(255, 255, 0));
}

// A failed slot's worker closes the slot's link after its last notification. A reset that
// comes first must wait for it: else the link, by then the next handset's, is closed under it.
TEST_F(SlotResetTest, AResetWaitsForTheSlotsWorkerBeforeTheLinkServesTheNextHandset) {
    StartBatch({0});
    Send(209, 0);
    auto done = std::make_shared<std::atomic<bool>>(false);
    dlg->m_workerDone[0] = done;
    link::CUsbInterface& usb = *dlg->m_pUsb[0];
    dlg->m_workers[0] = std::jthread([&usb, done] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // on its way out
        usb.Close();
        done->store(true);
    });
    dlg->OnBnClickedResetSlot(0);
    EXPECT_FALSE(dlg->m_workers[0].joinable()) << "the reset joined the worker";

    bus.Plug("1-4");
    ASSERT_TRUE(usb.Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(usb.IsOpened()) << "the next handset's link stays open";
    usb.Close();
}

TEST_F(SlotResetTest, ResettingAReadySlotLowersTheDeviceCountAndADoneSlotDoesNot) {
    MakeReady(*dlg, 0);
    MakeReady(*dlg, 1);
    MakeReady(*dlg, 2);
    dlg->m_aSlotStatus[2].nState = SLOT_DOWNLOADING;
    Send(518, 2);
    ASSERT_EQ(dlg->m_nDetectedCount, 3);

    dlg->OnBnClickedResetSlot(0);
    EXPECT_EQ(dlg->m_nDetectedCount, 2);
    EXPECT_EQ(Text(ctl::kDetectedCount), "Currently 2 device(s) detected.");
    EXPECT_EQ(dlg->m_stackFreeSlots.Top(), 0) << "the slot is free again";
    EXPECT_FALSE(Enabled(kSlotResetIds[0]));

    dlg->OnBnClickedResetSlot(2);
    EXPECT_EQ(dlg->m_nDetectedCount, 2);
    EXPECT_EQ(dlg->m_nSuccessCount, 1) << "slot 1 is still ready, so no reset all";
    EXPECT_EQ(LabelText(2), "PDA 3");
    EXPECT_EQ(BarText(2), "Waiting for device..");
}

TEST_F(SlotResetTest, ResettingTheLastEndedSlotResetsEverything) {
    vantorel::test::TempDir dir;
    ChooseImage(ctl::kPhoneButton, dir.WriteFile("modem.bin", {1, 2, 3}));
    StartBatch({0, 1});
    dlg->AppendMainLog("[Down] PDA Image. \r\n");
    Send(518, 0);
    Send(212, 1);
    dlg->OnBnClickedResetSlot(1);
    EXPECT_EQ(dlg->m_nDetectedCount, 0);
    EXPECT_EQ(dlg->m_nSuccessCount, 0);
    EXPECT_EQ(dlg->m_nFailCount, 0);
    EXPECT_EQ(MainLog(), "");
    EXPECT_EQ(MainLogText(), "");
    EXPECT_TRUE(Enabled(ctl::kDetect));
    EXPECT_EQ(LabelColour(0), RGB(255, 255, 0));
    EXPECT_EQ(LabelColour(1), RGB(255, 255, 0));
    for (const int id : kSlotResetIds) {
        EXPECT_FALSE(Enabled(id));
    }
}

TEST_F(SlotResetTest, WhileDetectingAResetSlotWaitsForTheNextDevice) {
    dlg->OnBnClickedDetect();
    MakeReady(*dlg, 0);
    MakeReady(*dlg, 1);
    dlg->OnBnClickedResetSlot(1);
    EXPECT_EQ(BarText(1), "Waiting for the device...");
}

// Before Start no handset has ended, so the counts match as soon as no slot is ready: that
// must not pass for the end of a batch.
TEST_F(SlotResetTest, BeforeTheStartResettingEveryReadySlotKeepsDetectionArmedAndTheLogs) {
    dlg->OnBnClickedDetect();
    const std::string detectLines = MainLog();
    ASSERT_NE(detectLines, "");
    MakeReady(*dlg, 0);
    MakeReady(*dlg, 1);
    dlg->GetDlgItem(ctl::kStartDownloading)->setEnabled(true);  // as the attach leaves it

    dlg->OnBnClickedResetSlot(1);
    EXPECT_TRUE(Enabled(ctl::kStartDownloading)) << "slot 1 is still ready";
    EXPECT_EQ(dlg->m_nSlotsLeft, kSlotCount) << "no slot was handed to a worker";
    dlg->OnBnClickedResetSlot(0);
    EXPECT_EQ(dlg->m_bDetecting, 1);
    EXPECT_EQ(MainLog(), detectLines);
    EXPECT_EQ(dlg->m_nDetectedCount, 0);
    EXPECT_EQ(dlg->m_nSlotsLeft, kSlotCount);
    EXPECT_TRUE(dlg->m_stackFreeSlots.IsFull());
    EXPECT_EQ(dlg->m_stackFreeSlots.Top(), 0);
    EXPECT_EQ(BarText(0), "Waiting for the device...");
    EXPECT_FALSE(Enabled(ctl::kStartDownloading)) << "no handset is left to start";
    EXPECT_TRUE(Enabled(ctl::kResetAll));
    EXPECT_FALSE(Enabled(ctl::kEbootButton)) << "the images stay locked while detecting";
}

TEST_F(SlotResetTest, ResetClosesTheLinkAndForgetsTheDevice) {
    bus.Plug("1-4");
    ASSERT_TRUE(dlg->m_pUsb[3]->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 3, nullptr));
    g_aPdaDetect[3].SetDeviceName(dlg->m_pUsb[3]->DevicePath());
    g_aPdaDetect[3].DetectEvent().Set();
    dlg->AppendSlotLog(3, "[Setup:4] Device name:1-4\r\n");

    dlg->ResetSlot(3);
    EXPECT_FALSE(dlg->m_pUsb[3]->IsOpened());
    EXPECT_EQ(g_aPdaDetect[3].DeviceName(), "");
    EXPECT_EQ(g_aPdaDetect[3].EventName(), "PDA3 ");
    EXPECT_FALSE(g_aPdaDetect[3].DetectEvent().WaitFor(std::chrono::nanoseconds(0)))
        << "the event starts unsignalled";
    EXPECT_EQ(dlg->m_logs.SlotText(3), "");
}

TEST(StackIntTest, GuardsItsBounds) {
    CStackInt stack;
    EXPECT_TRUE(stack.IsEmpty());
    EXPECT_EQ(stack.Pop(), -1);
    EXPECT_EQ(stack.Top(), -1);
    for (int i = 0; i < 10; ++i) {
        stack.Push(i);
    }
    EXPECT_TRUE(stack.IsFull());
    EXPECT_EQ(stack.Top(), 7) << "pushes past eight are refused";
    EXPECT_EQ(stack.Pop(), 7);
    EXPECT_FALSE(stack.IsFull());
}

}  // namespace
}  // namespace vantorel::console::test
