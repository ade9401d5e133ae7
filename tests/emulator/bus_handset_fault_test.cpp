#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "engine/byte_sum.h"
#include "tests/emulator/station_on_bus.h"

namespace vantorel::emulator::test {
namespace {

using namespace engine;
using vantorel::test::PatternBytes;
using vantorel::test::RecordedStatus;

class BusHandsetFaultTest : public StationOnBus {
protected:
    // Waits until the handset has taken `count` data packets over its life.
    bool WaitForDataPackets(uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (std::chrono::steady_clock::now() < deadline) {
            uint64_t seen = 0;
            handset->Emulator().Inspect(
                [&](const FlashRecord& record) { seen = record.dataPackets; });
            if (seen >= count) {
                return true;
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    bool WaitForStatus(const RecordedStatus& wanted) {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (std::chrono::steady_clock::now() < deadline) {
            for (const RecordedStatus& status : reporter.Statuses()) {
                if (status == wanted) {
                    return true;
                }
            }
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
};

TEST_P(BusHandsetFaultTest, AWrongEchoAtPacketKFailsTheTransferThere) {
    HandsetFaults faults;
    faults.wrongSumAtPacket = 3;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    // Packets are counted over the handset's life: two here, the third and fourth below.
    ASSERT_EQ(ToRam(IMG_EBOOT, PatternBytes(2 * 2032, 1)), 0u);
    EXPECT_EQ(ToRam(IMG_EBOOT, PatternBytes(10 * 2032, 2)), kStatusChecksumMismatch);
    EXPECT_NE(reporter.Log().find("[EBoot:0] dwChecksum = "), std::string::npos);
    EXPECT_EQ(handset->Record().dataPackets, 4u);
}

TEST_P(BusHandsetFaultTest, AShortEchoAtPacketKIsAReplyFailure) {
    HandsetFaults faults;
    faults.shortReplyAtPacket = 2;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    uint32_t errorFlag = 7;
    EXPECT_EQ(ToRam(IMG_CSC, PatternBytes(5 * 2032, 3), &errorFlag), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
    EXPECT_EQ(handset->Record().dataPackets, 3u);
}

TEST_P(BusHandsetFaultTest, AMissingEchoHoldsTheStationUntilTheHandsetIsPulled) {
    HandsetFaults faults;
    faults.missingReplyAtPacket = 1;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    uint32_t errorFlag = 7;
    auto transfer = std::async(std::launch::async, [&] {
        return ToRam(IMG_PHONE, PatternBytes(4 * 2032, 4), &errorFlag);
    });
    ASSERT_TRUE(WaitForDataPackets(2));
    EXPECT_EQ(transfer.wait_for(20ms), std::future_status::timeout);
    handset->Unplug();
    EXPECT_EQ(transfer.get(), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
    EXPECT_EQ(handset->Record().dataPackets, 2u);
    EXPECT_FALSE(handset->HasLeft());
}

TEST_P(BusHandsetFaultTest, AnUnplugAtPacketKTakesTheHandsetOffTheBusForGood) {
    HandsetFaults faults;
    faults.unplugAtPacket = 2;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::string path = link->DevicePath();
    uint32_t errorFlag = 7;
    EXPECT_EQ(ToRam(IMG_PDA, PatternBytes(6 * 2032, 5), &errorFlag), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
    ASSERT_TRUE(handset->WaitUntilLeft(kBound));
    EXPECT_EQ(handset->LastSessionEnd(), SessionEnd::InjectedUnplug);
    WaitLongerThanAReboot();
    EXPECT_EQ(events.Events(), (std::vector<DeviceEvent>{{DeviceEventKind::Arrival, path},
                                                         {DeviceEventKind::Removal, path}}));
    EXPECT_EQ(handset->Record().dataPackets, 3u);
}

TEST_P(BusHandsetFaultTest, AWrongFirstFlashReplyFailsThatFlashCommandOnly) {
    HandsetFaults faults;
    faults.wrongFirstFlashReply = {kCmdFlashCsc};
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::vector<uint8_t> image = PatternBytes(7000, 6);
    const uint32_t sum = ByteSum(image.data(), image.size());
    ASSERT_EQ(ToRam(IMG_PHONE, image), 0u);
    ASSERT_EQ(Flash(kCmdFlashPhone, 0, 7000, sum), 0);
    ASSERT_EQ(ReadText4(), "OKUD");
    const size_t before = reporter.Statuses().size();
    EXPECT_EQ(Flash(kCmdFlashCsc, 0, 7000, sum), 1);
    EXPECT_EQ(reporter.Statuses().at(before), (RecordedStatus{kStatusFlashFailed, 0}));
    EXPECT_NE(reporter.Log().find("Flash Image checksum error checksum = "), std::string::npos);
}

TEST_P(BusHandsetFaultTest, AStalledFlashProgressHoldsTheStationUntilTheHandsetIsPulled) {
    HandsetFaults faults;
    faults.flashProgressStallAfter[kCmdFlashPhone] = 1;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::vector<uint8_t> image = PatternBytes(5000, 7);
    ASSERT_EQ(ToRam(IMG_PHONE, image), 0u);
    auto flash = std::async(std::launch::async, [&] {
        return Flash(kCmdFlashPhone, 0, 5000, ByteSum(image.data(), image.size()));
    });
    ASSERT_TRUE(WaitForStatus({kStatusFlashProgress, 10u << 16}));
    EXPECT_EQ(flash.wait_for(20ms), std::future_status::timeout);
    handset->Unplug();
    EXPECT_EQ(flash.get(), 1);
    EXPECT_EQ(reporter.Statuses().back(), (RecordedStatus{kStatusFlashFailed, 10u << 16}));
    EXPECT_FALSE(handset->Record().phone) << "a flash that never finished is not recorded";
}

TEST_P(BusHandsetFaultTest, ASilentGreetingForTheFirstAttemptsThenOkud) {
    HandsetFaults faults;
    faults.greetingFailures = 2;
    faults.greetingFailure = GreetingFailure::Silent;
    PlugHandset(Config(), faults);
    EXPECT_EQ(GreetOnce(), "");
    EXPECT_EQ(GreetOnce(), "");
    EXPECT_EQ(GreetOnce(), "OKUD");
    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.greetingsRefused, 2u);
    EXPECT_EQ(record.greetings, 1u);
}

TEST_P(BusHandsetFaultTest, AWrongGreetingAnswerForTheFirstAttemptThenOkud) {
    HandsetFaults faults;
    faults.greetingFailures = 1;
    faults.greetingFailure = GreetingFailure::WrongAnswer;
    PlugHandset(Config(), faults);
    const std::string first = GreetOnce();
    EXPECT_EQ(first.size(), 4u);
    EXPECT_NE(first, "OKUD");
    EXPECT_EQ(GreetOnce(), "OKUD");
}

TEST_P(BusHandsetFaultTest, NoReturnAfterARebootLeavesTheBusForGood) {
    HandsetFaults faults;
    faults.noReturnAfterReboot = true;
    PlugHandset(Config(), faults);
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::string path = link->DevicePath();
    ASSERT_TRUE(SendCommand(*link, kCmdReboot, kLaunchAddress, 0, 0));
    link->Close();
    ASSERT_TRUE(handset->WaitUntilLeft(kBound));
    WaitLongerThanAReboot();
    EXPECT_EQ(events.Events().size(), 2u);
    EXPECT_FALSE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, path.c_str()));
    EXPECT_EQ(handset->Record().reboots, 1u);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, BusHandsetFaultTest, ::testing::Bool(), LinkVariantName);

}  // namespace
}  // namespace vantorel::emulator::test
