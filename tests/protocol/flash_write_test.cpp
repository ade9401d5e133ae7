#include <gtest/gtest.h>

#include "engine/boot_loader_protocol.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/scripted_link.h"

namespace vantorel::engine {
namespace {

using test::EmptyPlatform;
using test::RecordedStatus;
using test::RecordingReporter;
using test::ScriptedLink;

constexpr uint32_t kSectorSize = 92160000;
constexpr int kSlot = 3;

std::vector<uint8_t> Progress(uint8_t percent) {
    return {'O', 'K', 'U', percent};
}

class FlashWriteTest : public ::testing::Test {
protected:
    int Flash(uint32_t code, uint32_t length, uint32_t check) {
        return FlashWrite(link, code, 0, length, check, reporter, kSlot, platform.clock,
                          kSectorSize);
    }

    EmptyPlatform platform;
    ScriptedLink link{platform};
    RecordingReporter reporter;
};

TEST_F(FlashWriteTest, ProgressThenOkdnSucceedsWithOneStatusPerStep) {
    link.QueueWord(0xCAFE);
    link.QueueReply(Progress(10));
    link.QueueReply(Progress(55));
    link.QueueReply("OKDN");
    link.QueueReply("OKUD");  // read by the caller afterwards, not by the exchange
    EXPECT_EQ(Flash(kCmdFlashCsc, 4096, 0xCAFE), 0);
    const std::vector<RecordedStatus> expected{{206, (10u << 16) | kSlot},
                                               {206, (55u << 16) | kSlot}};
    EXPECT_EQ(reporter.Statuses(), expected);
    EXPECT_EQ(link.RepliesLeft(), 1u);
    EXPECT_EQ(LoadLe32(link.writes.at(0).data()), kCmdFlashCsc);
    EXPECT_EQ(LoadLe32(link.writes.at(0).data() + 8), 4096u);
}

TEST_F(FlashWriteTest, FirstReplyMismatchFailsWith210AndTheChecksumLine) {
    link.QueueWord(0x1111);
    EXPECT_EQ(Flash(kCmdFlashPhone, 4096, 0x2222), 1);
    EXPECT_EQ(reporter.Statuses(), (std::vector<RecordedStatus>{{210, kSlot}}));
    EXPECT_EQ(reporter.Log(), "Flash Image checksum error checksum = 2222, Rvalue = 1111\r\n");
}

TEST_F(FlashWriteTest, AFullPdaTurnDoesNotCheckItsFirstReplyButALastShortTurnDoes) {
    link.QueueWord(0x9999);  // anything at all
    link.QueueReply("OKDN");
    EXPECT_EQ(Flash(kCmdFlashPdaTurn, kSectorSize, 0x1234), 0);
    EXPECT_TRUE(reporter.Statuses().empty());

    link.QueueWord(0x9999);
    EXPECT_EQ(Flash(kCmdFlashPdaTurn, 1, 0x1234), 1);
    EXPECT_EQ(reporter.Statuses(), (std::vector<RecordedStatus>{{210, kSlot}}));
}

TEST_F(FlashWriteTest, AnUnexpectedProgressReplyFailsWithTheLastPercentage) {
    link.QueueWord(7);
    link.QueueReply(Progress(40));
    link.QueueReply("OOPS");
    EXPECT_EQ(Flash(kCmdFlashLangPack, 100, 7), 1);
    const std::vector<RecordedStatus> expected{{206, (40u << 16) | kSlot},
                                               {210, (40u << 16) | kSlot}};
    EXPECT_EQ(reporter.Statuses(), expected);
}

TEST_F(FlashWriteTest, AProgressStreamThatStopsLeavesThePresetAndFails) {
    link.QueueWord(7);
    link.QueueReply(Progress(20));
    // Nothing more arrives: the read returns no bytes and the "HERA" preset fails the compare.
    EXPECT_EQ(Flash(kCmdFlashLangPack, 100, 7), 1);
    EXPECT_EQ(reporter.Statuses().back(), (RecordedStatus{210, (20u << 16) | kSlot}));
}

TEST_F(FlashWriteTest, OnAClosedLinkNothingIsWrittenAnd210IsSentTwice) {
    link.SetOpened(false);
    EXPECT_EQ(Flash(kCmdFlashCsc, 100, 5), 1);
    EXPECT_TRUE(link.writes.empty());
    EXPECT_EQ(reporter.Statuses(), (std::vector<RecordedStatus>{{210, kSlot}, {210, kSlot}}));
}

}  // namespace
}  // namespace vantorel::engine
