#include <gtest/gtest.h>

#include "engine/boot_loader_protocol.h"
#include "engine/download_batch.h"
#include "engine/ram_transfer.h"
#include "tests/support/echo_link.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/temp_dir.h"

namespace vantorel::engine {
namespace {

using test::RecordedStatus;

constexpr uint32_t kRam = 0x80000000;
constexpr int kSlot = 2;

class DownloadToRamTest : public ::testing::Test {
protected:
    // Sends the whole of `bytes` (written to a file) and returns the status code.
    uint32_t Send(const std::vector<uint8_t>& bytes, uint32_t end, int32_t kind = IMG_PHONE) {
        const std::string path = dir.WriteFile("image.bin", bytes);
        EXPECT_TRUE(file.Open(path));
        errorFlag = 99;
        return DownloadToRam(slot, kind, file, 0, end, kRam, errorFlag);
    }
    std::vector<uint32_t> ProgressValues() const {
        std::vector<uint32_t> values;
        for (const RecordedStatus& status : reporter.Statuses()) {
            EXPECT_EQ(status.code, kStatusRamProgress);
            EXPECT_EQ(StatusSlot(status.lParam), kSlot);
            values.push_back(StatusValue(status.lParam));
        }
        return values;
    }

    test::TempDir dir;
    test::EmptyPlatform platform;
    test::EchoLink link{platform};
    test::RecordingReporter reporter;
    SlotContext slot{link, reporter, kSlot, platform.clock};
    ImageFile file;
    uint32_t errorFlag = 0;
};

TEST_F(DownloadToRamTest, WholePacketsOnlyAnnounceTheirCountAndArriveByteExact) {
    const auto bytes = test::PatternBytes(2032 * 3, 1);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), 0u);
    EXPECT_EQ(link.received, bytes);
    EXPECT_EQ(link.dataPackets, 3u);
    const auto& start = link.writes.at(0);
    EXPECT_EQ(LoadLe32(start.data()), kCmdStartRamDownload);
    EXPECT_EQ(LoadLe32(start.data() + 4), static_cast<uint32_t>(IMG_PHONE));
    EXPECT_EQ(LoadLe32(start.data() + 8), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& packet = link.writes.at(1 + i);
        ASSERT_EQ(packet.size(), 2048u);
        EXPECT_EQ(LoadLe32(packet.data() + 4), kRam + i * 2032) << "packet " << i;
        EXPECT_EQ(LoadLe32(packet.data() + 8), 2032u);
    }
    // Three packets: step 0, so every packet reports 100; only the change is sent.
    EXPECT_EQ(ProgressValues(), std::vector<uint32_t>{100});
}

TEST_F(DownloadToRamTest, ARangeShorterThanOnePacketIsOneShortPacketAt100Percent) {
    const auto bytes = test::PatternBytes(100, 2);
    EXPECT_EQ(Send(bytes, 100), 0u);
    EXPECT_EQ(LoadLe32(link.writes.at(0).data() + 8), 0u) << "no whole packets";
    ASSERT_EQ(link.writes.size(), 2u);
    EXPECT_EQ(link.writes[1].size(), 2048u) << "a short payload still goes as a whole block";
    EXPECT_EQ(LoadLe32(link.writes[1].data() + 8), 100u);
    EXPECT_EQ(link.received, bytes);
    EXPECT_EQ(ProgressValues(), std::vector<uint32_t>{100});
}

TEST_F(DownloadToRamTest, ProgressIsSentOnlyWhenThePercentageChangesAndMayPass100) {
    const auto bytes = test::PatternBytes(2032 * 199 + 7, 3);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), 0u);
    EXPECT_EQ(link.received, bytes);
    const auto values = ProgressValues();
    // Step 1: packet i reports i; 0 equals the start value, so 1..198, then 199 for the rest.
    ASSERT_EQ(values.size(), 199u);
    EXPECT_EQ(values.front(), 1u);
    EXPECT_EQ(values.back(), 199u);
}

TEST_F(DownloadToRamTest, AFileThatEndsEarlyFailsWith209AndTheFileFlag) {
    const auto bytes = test::PatternBytes(2032 + 10, 4);
    EXPECT_EQ(Send(bytes, 2032 * 2), kStatusReadError);
    EXPECT_EQ(errorFlag, 1u);
}

TEST_F(DownloadToRamTest, AShortReplyFailsWith209AndTheUsbFlag) {
    link.shortReplyAtPacket = 1;
    const auto bytes = test::PatternBytes(2032 * 3, 5);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
}

// A packet the link did not take fails the transfer even though an echo arrives: the echo
// cannot vouch for bytes the host never finished sending.
TEST_F(DownloadToRamTest, AFailedPacketWriteFailsWith209AndTheUsbFlag) {
    link.failedWrite = 2;  // the second data packet, after the start command
    const auto bytes = test::PatternBytes(2032 * 3 + 9, 8);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
    EXPECT_EQ(link.writes.size(), 3u) << "nothing is sent after it";
}

TEST_F(DownloadToRamTest, AClosedLinkFailsWith209BeforeAnyPacket) {
    link.SetOpened(false);
    const auto bytes = test::PatternBytes(2032 * 2, 9);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), kStatusReadError);
    EXPECT_EQ(errorFlag, 0u);
    EXPECT_EQ(link.dataPackets, 0u);
    EXPECT_TRUE(reporter.Statuses().empty()) << "no progress for a transfer that never began";
}

TEST_F(DownloadToRamTest, AWrongEchoFailsWith212AndLogsBothSums) {
    link.wrongSumAtPacket = 1;
    const auto bytes = test::PatternBytes(2032 * 3, 6);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), kStatusChecksumMismatch);
    const uint32_t sum = ByteSum(bytes.data() + 2032, 2032);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "[EBoot:%d] dwChecksum = %x dwReceivedChecksum = %x\r\n", kSlot, sum, sum + 1);
    EXPECT_EQ(reporter.Log(), expected);
    EXPECT_EQ(link.dataPackets, 2u) << "nothing is sent after the mismatch";
}

TEST_F(DownloadToRamTest, AWrongEchoOnTheShortLastPacketFailsWithoutALogLine) {
    link.wrongSumAtPacket = 1;
    const auto bytes = test::PatternBytes(2032 + 5, 7);
    EXPECT_EQ(Send(bytes, static_cast<uint32_t>(bytes.size())), kStatusChecksumMismatch);
    EXPECT_TRUE(reporter.Log().empty());
}

}  // namespace
}  // namespace vantorel::engine
