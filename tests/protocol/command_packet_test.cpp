#include <gtest/gtest.h>

#include <algorithm>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "tests/support/scripted_link.h"

namespace vantorel::engine {
namespace {

using test::EmptyPlatform;
using test::ScriptedLink;

bool AllZero(const std::vector<uint8_t>& bytes, size_t from) {
    return std::all_of(bytes.begin() + static_cast<long>(from), bytes.end(),
                       [](uint8_t b) { return b == 0; });
}

TEST(CommandPacket, IsOneZeroFilled2048ByteBlockWithLittleEndianWords) {
    Packet packet;
    packet.fill(0xAB);  // leftovers of a previous packet must not leak onto the wire
    BuildCommandPacket(packet, 1001, 0x01020304, 92160000, 0xDEADBEEF);
    const std::vector<uint8_t> bytes(packet.begin(), packet.end());
    ASSERT_EQ(bytes.size(), 2048u);
    const std::vector<uint8_t> header{0xE9, 0x03, 0,    0,    0x04, 0x03, 0x02, 0x01,
                                      0x00, 0x40, 0x7E, 0x05, 0xEF, 0xBE, 0xAD, 0xDE};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
    EXPECT_TRUE(AllZero(bytes, 16));
}

TEST(DataPacket, CarriesAddressLengthAndSumOfItsPayload) {
    Packet packet{};
    uint8_t* payload = PayloadOf(packet);
    for (size_t i = 0; i < kPacketPayloadSize; ++i) {
        payload[i] = static_cast<uint8_t>(i * 7);
    }
    const uint32_t sum = SealDataPacket(packet, 0x80000000 + 2032, 2032);
    EXPECT_EQ(sum, ByteSum(payload, 2032));
    EXPECT_EQ(LoadLe32(packet.data()), 1u);
    EXPECT_EQ(LoadLe32(packet.data() + 4), 0x80000000u + 2032u);
    EXPECT_EQ(LoadLe32(packet.data() + 8), 2032u);
    EXPECT_EQ(LoadLe32(packet.data() + 12), sum);

    // A short last payload is summed over its own length only.
    const uint32_t shortSum = SealDataPacket(packet, 0x80000000, 5);
    EXPECT_EQ(shortSum, ByteSum(payload, 5));
    EXPECT_EQ(LoadLe32(packet.data() + 8), 5u);
}

TEST(SendCommand, ReadsOneReplyExceptForLaunchAndReboot) {
    EmptyPlatform platform;
    for (uint32_t code : {4u, 5u, 7u, 13u, 100u, 1007u, 1013u, 1014u, 1016u}) {
        ScriptedLink link(platform);
        link.QueueReply("OKUD");
        link.QueueReply("NEXT");
        EXPECT_TRUE(SendCommand(link, code, 1, 2, 3));
        EXPECT_EQ(link.RepliesLeft(), 1u)
            << "command " << code << " must consume exactly one reply";
        ASSERT_EQ(link.writes.size(), 1u);
        EXPECT_EQ(link.writes[0].size(), 2048u);
        EXPECT_EQ(LoadLe32(link.writes[0].data()), code);
    }
    for (uint32_t code : {kCmdLaunch, kCmdReboot}) {
        ScriptedLink link(platform);
        link.QueueReply("OKUD");
        EXPECT_TRUE(SendCommand(link, code, kLaunchAddress, 0, 0));
        EXPECT_EQ(link.RepliesLeft(), 1u) << "command " << code << " must not read a reply";
        EXPECT_TRUE(link.readWaitFlags.empty());
        EXPECT_EQ(LoadLe32(link.writes[0].data() + 4), kLaunchAddress);
    }
}

TEST(SendCommand, WritesNothingOnAClosedLink) {
    EmptyPlatform platform;
    ScriptedLink link(platform);
    link.SetOpened(false);
    EXPECT_FALSE(SendCommand(link, 5, 0, 0, 0));
    EXPECT_FALSE(SendCommandNoReply(link, 1015, 0, 0, 0));
    EXPECT_FALSE(SendCommandCheck(link, 4, 0, 0, 0));
    EXPECT_FALSE(SendBlockWrite(link, 1016, 0, 0, 0));
    EXPECT_TRUE(link.writes.empty());
    EXPECT_TRUE(link.readWaitFlags.empty());
}

TEST(SendCommand, EachVariantHandlesItsReplyItsOwnWay) {
    EmptyPlatform platform;
    ScriptedLink link(platform);
    EXPECT_TRUE(SendCommandNoReply(link, kCmdNextSmdRange, 0, 0, 0));
    EXPECT_TRUE(link.readWaitFlags.empty());

    link.QueueWord(0x1234);
    EXPECT_TRUE(SendCommandCheck(link, kCmdFlashEboot, 0x80000000, 10, 0x1234));
    link.QueueWord(0x1235);
    EXPECT_FALSE(SendCommandCheck(link, kCmdFlashEboot, 0x80000000, 10, 0x1234));
    link.QueueReply(std::vector<uint8_t>{0x34, 0x12});  // a short reply: the rest stays zero
    EXPECT_FALSE(SendCommandCheck(link, kCmdFlashEboot, 0x80000000, 10, 0x56781234));

    link.QueueReply("OKUD");
    EXPECT_FALSE(SendBlockWrite(link, kCmdWriteSmdBlocks, 0x80000000, 800, 16));
    EXPECT_EQ(link.RepliesLeft(), 0u);
    // Every reply read here is a blocking read.
    EXPECT_TRUE(std::all_of(link.readWaitFlags.begin(), link.readWaitFlags.end(),
                            [](bool wait) { return wait; }));
}

TEST(Greeting, WritesAtudAndReadsWithoutWaitingForEver) {
    EmptyPlatform platform;
    ScriptedLink link(platform);
    link.QueueReply("OKUD");
    EXPECT_EQ(WriteGreeting(link), 4u);
    Reply4 reply{};
    EXPECT_EQ(ReadGreetingReply(link, reply), 4u);
    EXPECT_EQ(reply, kReplyOkud);
    ASSERT_EQ(link.writes.size(), 1u);
    EXPECT_EQ(link.writes[0], (std::vector<uint8_t>{'A', 'T', 'U', 'D'}));
    EXPECT_EQ(link.readWaitFlags, std::vector<bool>{false});
}

TEST(VersionQuery, SendsAZeroedCommand13AndShowsBytesInReverse) {
    EmptyPlatform platform;
    ScriptedLink link(platform);
    link.QueueReply({'1', '0', '2', 'E'});
    Reply4 version{};
    EXPECT_EQ(QueryBootLoaderVersion(link, version), 4u);
    EXPECT_EQ(BootLoaderVersionText(version), "E201");
    ASSERT_EQ(link.writes.size(), 1u);
    EXPECT_EQ(LoadLe32(link.writes[0].data()), 13u);
    EXPECT_TRUE(AllZero(link.writes[0], 4));
}

}  // namespace
}  // namespace vantorel::engine
