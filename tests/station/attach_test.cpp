#include <gtest/gtest.h>

#include "engine/boot_loader_protocol.h"
#include "tests/station/station_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::GreetingFailure;
using emulator::HandsetFaults;
using link::emulated::EmulatedBus;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_P(StationTest, EightHandsetsLandInSlotsInOrderAndTheEighthStartsTheBatch) {
    dlg->OnBnClickedDetect();
    for (int n = 1; n <= 8; ++n) {
        Plug("1-" + std::to_string(n));
        ASSERT_TRUE(WaitForAttached(n)) << "handset " << n;
        EXPECT_EQ(dlg->m_pUsb[n - 1]->DevicePath(),
                  EmulatedBus::DevicePathOf("1-" + std::to_string(n)));
        EXPECT_EQ(dlg->m_strDeviceName[n - 1], "1-" + std::to_string(n));
        EXPECT_TRUE(Contains(SlotLog(n - 1), "[Setup:" + std::to_string(n) +
                                                 "] PDA Device detected. TimeOut:3\r\n"));
    }
    EXPECT_TRUE(Contains(MainLog(), "[Setup:8] PDA Device Found! TimeOut:3\r\n"));
    // "Start downloading immediately" is off: the eighth ready handset starts it anyway.
    EXPECT_EQ(dlg->m_options.m_bStartImmediately, 0);
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_nSlotsLeft == 0; }));
    EXPECT_EQ(dlg->m_bDetecting, 0);
}

TEST_P(StationTest, AHandsetThatAnswersOnlyTheFourthGreetingAttachesWithTimeOutZero) {
    HandsetFaults faults;
    faults.greetingFailures = 3;
    faults.greetingFailure = GreetingFailure::WrongAnswer;
    dlg->OnBnClickedDetect();
    Plug("1-1", {}, faults);
    ASSERT_TRUE(WaitForAttached(1));
    const std::string log = MainLog();
    EXPECT_TRUE(Contains(log, "[Error:1] Not receive OKUD! TimeOut:3\r\n"));
    EXPECT_TRUE(Contains(log, "[Error:1] Not receive OKUD! TimeOut:1\r\n"));
    EXPECT_TRUE(Contains(log, "[Setup:1] PDA Device Found! TimeOut:0\r\n"));
    EXPECT_TRUE(Contains(SlotLog(0), "[Setup:1] PDA Device detected. TimeOut:0\r\n"));
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_READY);
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kStartDownloading)->isEnabled());
}

TEST_P(StationTest, ASilentHandsetStaysUnattachedAndItsSlotFree) {
    HandsetFaults faults;
    faults.greetingFailures = 100;
    faults.greetingFailure = GreetingFailure::Silent;
    dlg->OnBnClickedDetect();
    Plug("1-1", {}, faults);
    ASSERT_TRUE(PumpUntil([&] { return Contains(SlotLog(0), "USB no ack"); }));
    EXPECT_TRUE(Contains(SlotLog(0), "[Error:1] USB no ack. Check ActiveSync. TimeOut:-1\r\n"));
    EXPECT_EQ(dlg->m_nDetectedCount, 0);
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_WAITING);
    EXPECT_EQ(dlg->m_stackFreeSlots.Top(), 0) << "the slot stays free";
    EXPECT_FALSE(dlg->m_pUsb[0]->IsOpened());
}

TEST_P(StationTest, TheSameHandsetIsRefusedWhileItsSlotIsActiveButNotAfterItFailed) {
    dlg->OnBnClickedDetect();
    Plug("A-1");
    ASSERT_TRUE(WaitForAttached(1));
    // Another port whose instance name differs only in case stands for the same handset.
    Plug("a-1");
    ASSERT_TRUE(PumpUntil([&] { return Contains(MainLog(), "Another same device Found."); }));
    EXPECT_TRUE(Contains(MainLog(), "[Error:2d] Another same device Found. TimeOut:3\r\n"));
    EXPECT_EQ(dlg->m_nDetectedCount, 1);
    EXPECT_EQ(dlg->m_stackFreeSlots.Top(), 1);
    EXPECT_FALSE(dlg->m_pUsb[1]->IsOpened());

    dlg->m_aSlotStatus[0].nState = SLOT_FAILED;
    bus.Unplug("a-1");
    Plug("a-1");
    ASSERT_TRUE(WaitForAttached(2));
    EXPECT_EQ(dlg->m_aSlotStatus[1].nState, SLOT_READY);
}

TEST_P(StationTest, AHandsetPulledBeforeTheStartFreesItsSlot) {
    dlg->OnBnClickedDetect();
    Plug("1-1");
    Plug("1-2");
    ASSERT_TRUE(WaitForAttached(2));
    bus.Unplug("1-1");
    ASSERT_TRUE(
        PumpUntil([&] { return Contains(MainLog(), "[Setup:1] PDA Device removed.\r\n"); }));
    EXPECT_EQ(dlg->m_nDetectedCount, 1);
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_WAITING);
    EXPECT_EQ(dlg->m_aSlotStatus[0].nImageKind, IMG_FINISHED);
    EXPECT_EQ(dlg->Controls().Text(ctl::kDetectedCount).toStdString(),
              "Currently 1 device(s) detected.");
    // The freed slot takes the next handset.
    Plug("1-3");
    ASSERT_TRUE(WaitForAttached(2));
    EXPECT_EQ(dlg->m_pUsb[0]->DevicePath(), EmulatedBus::DevicePathOf("1-3"));
}

TEST_P(StationTest, PullingTheOnlyReadyHandsetBeforeTheStartKeepsDetectionArmed) {
    dlg->OnBnClickedDetect();
    Plug("1-1");
    ASSERT_TRUE(WaitForAttached(1));
    bus.Unplug("1-1");
    ASSERT_TRUE(
        PumpUntil([&] { return Contains(MainLog(), "[Setup:1] PDA Device removed.\r\n"); }));
    EXPECT_EQ(dlg->m_bDetecting, 1);
    EXPECT_TRUE(Contains(MainLog(), "[Setup:1] PDA Device Found! TimeOut:3\r\n"))
        << "the log of the session stays";
    EXPECT_EQ(dlg->m_nSlotsLeft, kSlotCount);
    // Detection still armed: the next handset is attached without pressing Detect again.
    Plug("1-2");
    ASSERT_TRUE(WaitForAttached(1));
    EXPECT_EQ(dlg->m_pUsb[0]->DevicePath(), EmulatedBus::DevicePathOf("1-2"));
}

// The arrival of a handset whose earlier attach failed signals the slot it was recorded
// for; when that slot takes it, the signal must not stay behind for the wait after its
// reboot, which would then end before the handset has even left the bus.
TEST_P(StationTest, AHandsetAttachedAfterAFailedAttachLeavesItsSlotsEventUnsignalled) {
    HandsetFaults faults;
    faults.greetingFailures = 4;
    faults.greetingFailure = GreetingFailure::WrongAnswer;
    dlg->OnBnClickedDetect();
    emulator::BusHandset& handset = Plug("1-1", {}, faults);
    ASSERT_TRUE(PumpUntil([&] { return Contains(SlotLog(0), "USB no ack"); }));
    handset.Unplug();
    handset.Plug();
    ASSERT_TRUE(handset.WaitUntilPlugged(std::chrono::seconds(5)));
    ASSERT_TRUE(WaitForAttached(1));
    EXPECT_TRUE(Contains(MainLog(), "PDADetectEvent1\r\n"));
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_READY);
    EXPECT_FALSE(g_aPdaDetect[0].DetectEvent().WaitFor(std::chrono::nanoseconds(0)));
}

TEST_P(StationTest, APullWhileDetectionIsOffChangesNothing) {
    dlg->OnBnClickedDetect();
    Plug("1-1");
    ASSERT_TRUE(WaitForAttached(1));
    dlg->m_bDetecting = 0;  // as once downloading has started
    const std::string before = MainLog();
    bus.Unplug("1-1");
    Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(MainLog(), before);
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_READY);
    EXPECT_EQ(dlg->m_nDetectedCount, 1);
}

TEST_P(StationTest, ARecordedPathComingBackWakesItsSlotWhateverItsCase) {
    const std::string path = EmulatedBus::DevicePathOf("1-4");
    std::string upper = path;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    g_aPdaDetect[3].SetDeviceName(upper);
    EXPECT_EQ(dlg->FindDetectSlot(path), 3);
    EXPECT_EQ(dlg->FindDetectSlot("usb#nothing"), 8);

    Plug("1-4");  // detection is off: the arrival only wakes the waiting slot
    ASSERT_TRUE(PumpUntil([&] { return Contains(MainLog(), "PDADetectEvent4\r\n"); }));
    EXPECT_TRUE(g_aPdaDetect[3].DetectEvent().WaitFor(std::chrono::seconds(1)));
    EXPECT_EQ(dlg->m_nDetectedCount, 0);
    EXPECT_FALSE(dlg->m_pUsb[0]->IsOpened());
}

// Two handsets arriving together: the first arrival's link opens whichever handset the
// directory lists first. Each slot must record the path of the handset it holds, or the
// handsets' returns after their reboots wake each other's slots.
TEST_P(StationTest, HandsetsArrivingTogetherRecordThePathsTheirSlotsHold) {
    dlg->m_options.m_bStartImmediately = 0;
    dlg->OnBnClickedDetect();
    Plug("1-2");
    Plug("1-1");
    ASSERT_TRUE(WaitForAttached(2));
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(g_aPdaDetect[slot].DeviceName(), dlg->m_pUsb[slot]->DevicePath())
            << "slot " << slot + 1;
        EXPECT_EQ(dlg->FindDetectSlot(dlg->m_pUsb[slot]->DevicePath()), slot);
    }
    EXPECT_NE(dlg->m_pUsb[0]->DevicePath(), dlg->m_pUsb[1]->DevicePath());
}

TEST_P(StationTest, ANinthArrivalIsLoggedButNotAttached) {
    dlg->m_options.m_bStartImmediately = 0;
    dlg->OnBnClickedDetect();
    for (int n = 1; n <= 8; ++n) {
        Plug("1-" + std::to_string(n));
        ASSERT_TRUE(WaitForAttached(n));
    }
    ASSERT_TRUE(PumpUntil([&] { return dlg->m_nSlotsLeft == 0; }));
    const size_t arrivals = [&] {
        size_t count = 0;
        for (size_t at = 0; (at = MainLog().find("DBT_DEVICEARRIVAL", at)) != std::string::npos;
             ++at) {
            ++count;
        }
        return count;
    }();
    Plug("2-1");
    ASSERT_TRUE(PumpUntil([&] {
        size_t count = 0;
        const std::string log = MainLog();
        for (size_t at = 0; (at = log.find("DBT_DEVICEARRIVAL", at)) != std::string::npos; ++at) {
            ++count;
        }
        return count > arrivals;
    }));
    EXPECT_EQ(dlg->m_nDetectedCount, 8);
    for (const auto& usb : dlg->m_pUsb) {
        EXPECT_NE(usb->DevicePath(), EmulatedBus::DevicePathOf("2-1"));
    }
}

// A handset plugged in before Detect sits on the bus without a slot; the next arrival must
// attach the handset that arrived, never the one that was already there.
TEST_P(StationTest, AHandsetLeftPluggedBeforeDetectIsNotTakenForTheNextArrival) {
    emulator::BusHandset& leftover = Plug("1-1");
    ASSERT_TRUE(PumpUntil([&] { return Contains(MainLog(), "DBT_DEVICEARRIVAL"); }));
    dlg->OnBnClickedDetect();
    EXPECT_TRUE(Contains(MainLog(),
                         "[Setup] 1 handset(s) in download mode already plugged in: "
                         "they attach when unplugged and plugged in again.\r\n"))
        << MainLog();
    Plug("1-2");
    ASSERT_TRUE(WaitForAttached(1));
    EXPECT_EQ(dlg->m_pUsb[0]->DevicePath(), EmulatedBus::DevicePathOf("1-2"));
    EXPECT_EQ(dlg->m_strDeviceName[0], "1-2");
    EXPECT_EQ(leftover.Record().greetings + leftover.Record().greetingsRefused, 0u)
        << "the handset left plugged was never greeted";
    // As the hint says, plugging it in again attaches it.
    leftover.Unplug();
    leftover.Plug();
    ASSERT_TRUE(WaitForAttached(2));
    EXPECT_EQ(dlg->m_pUsb[1]->DevicePath(), EmulatedBus::DevicePathOf("1-1"));
}

// A handset whose greeting failed stays on the bus; the next arrival is greeted, not it.
TEST_P(StationTest, AHandsetWhoseGreetingFailedIsNotGreetedAgainForTheNextArrival) {
    HandsetFaults faults;
    faults.greetingFailures = 100;
    faults.greetingFailure = GreetingFailure::WrongAnswer;
    dlg->OnBnClickedDetect();
    emulator::BusHandset& refusing = Plug("1-1", {}, faults);
    ASSERT_TRUE(PumpUntil([&] { return Contains(SlotLog(0), "USB no ack"); }));
    const uint64_t refused = refusing.Record().greetingsRefused;
    EXPECT_EQ(refused, 4u);
    Plug("1-2");
    ASSERT_TRUE(WaitForAttached(1));
    EXPECT_EQ(dlg->m_pUsb[0]->DevicePath(), EmulatedBus::DevicePathOf("1-2"));
    EXPECT_EQ(refusing.Record().greetingsRefused, refused);
    EXPECT_EQ(refusing.Record().greetings, 0u);
}

// With downloads running detection is off: an arrival is not attached, and the operator is
// told so once for it, with its port.
TEST_P(StationTest, AnArrivalDuringTheDownloadIsNamedOnceAndNotAttached) {
    dlg->OnBnClickedDetect();
    Plug("1-1");
    ASSERT_TRUE(WaitForAttached(1));
    dlg->OnStartDownloading();
    ASSERT_EQ(dlg->m_bDetecting, 0);
    Plug("1-7");
    const std::string line =
        "[Setup] A handset arrived on port 1-7 after the download started: not attached; plug "
        "it in again after Reset All.\r\n";
    ASSERT_TRUE(PumpUntil([&] { return Contains(MainLog(), line); })) << MainLog();
    Pump(std::chrono::milliseconds(50));
    const std::string log = MainLog();
    EXPECT_EQ(log.find(line), log.rfind(line)) << "said once";
    EXPECT_EQ(dlg->m_nDetectedCount, 1);
    for (const auto& usb : dlg->m_pUsb) {
        EXPECT_NE(usb->DevicePath(), EmulatedBus::DevicePathOf("1-7"));
    }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, StationTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Bulk" : "SerialStyle"; });

}  // namespace
}  // namespace vantorel::console::test
