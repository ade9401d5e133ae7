#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/handset_emulator.h"
#include "engine/byte_sum.h"
#include "tests/support/temp_dir.h"

namespace vantorel::emulator {
namespace {

using namespace engine;
using vantorel::test::PatternBytes;

// The station's bytes queued up front; the wire is gone once they are all read.
class ScriptedWire : public HandsetWire {
public:
    void Add(std::string_view text) { m_input.insert(m_input.end(), text.begin(), text.end()); }
    void Add(const Packet& packet) { m_input.insert(m_input.end(), packet.begin(), packet.end()); }
    void Command(uint32_t code, uint32_t a1 = 0, uint32_t a2 = 0, uint32_t a3 = 0) {
        Packet packet;
        BuildCommandPacket(packet, code, a1, a2, a3);
        Add(packet);
    }
    // A data packet whose header the caller may spoil afterwards through `edit`.
    template <typename Edit>
    void Data(uint32_t address, const std::vector<uint8_t>& payload, Edit edit) {
        Packet packet{};
        std::copy(payload.begin(), payload.end(), PayloadOf(packet));
        SealDataPacket(packet, address, static_cast<uint32_t>(payload.size()));
        edit(packet);
        Add(packet);
    }
    void Data(uint32_t address, const std::vector<uint8_t>& payload) {
        Data(address, payload, [](Packet&) {});
    }

    bool ReadExact(uint8_t* data, size_t length, std::stop_token stop) override {
        if (stop.stop_requested() || m_input.size() - m_read < length) {
            return false;
        }
        std::copy_n(m_input.begin() + static_cast<ptrdiff_t>(m_read), length, data);
        m_read += length;
        return true;
    }
    bool Write(const uint8_t* data, size_t length) override {
        m_output.insert(m_output.end(), data, data + length);
        m_writes.push_back(length);
        return true;
    }
    // The length of each write: each is one transfer on a USB wire.
    const std::vector<size_t>& Writes() const { return m_writes; }

    // What the handset sent, as 4-byte words.
    std::vector<uint32_t> Words() const {
        std::vector<uint32_t> words;
        for (size_t i = 0; i + 4 <= m_output.size(); i += 4) {
            words.push_back(LoadLe32(m_output.data() + i));
        }
        return words;
    }
    std::vector<uint8_t> Output() const { return m_output; }

private:
    std::vector<uint8_t> m_input;
    size_t m_read = 0;
    std::vector<uint8_t> m_output;
    std::vector<size_t> m_writes;
};

uint32_t Word(const char (&text)[5]) {
    return LoadLe32(reinterpret_cast<const uint8_t*>(text));
}

uint32_t Sum(const std::vector<uint8_t>& bytes) {
    return ByteSum(bytes.data(), bytes.size());
}

class HandsetEmulatorTest : public ::testing::Test {
protected:
    static constexpr uint32_t kBase = 0x1000;

    HandsetConfig SmallRam() {
        HandsetConfig config;
        config.downloadBase = kBase;
        config.ramCap = 16384;
        return config;
    }

    Clock clock{0.0};
};

TEST_F(HandsetEmulatorTest, FramesTheStreamByStateAndAnswersARepeatedGreeting) {
    HandsetEmulator handset({}, {}, clock);
    ScriptedWire wire;
    wire.Add("XXXX");  // not for a boot loader that waits for the greeting
    wire.Add("ATUD");
    wire.Command(kCmdVersionQuery);
    wire.Add("ATUD");  // a station that attaches again
    wire.Command(kCmdNotifyUpdateImage, 1, 0, 0);
    EXPECT_EQ(handset.Serve(wire, {}), SessionEnd::WireLost);
    EXPECT_EQ(wire.Words(),
              (std::vector<uint32_t>{Word("OKUD"), Word("9K4T"), Word("OKUD"), Word("OKUD")}));
    EXPECT_EQ(handset.Record().greetings, 2u);
}

TEST_F(HandsetEmulatorTest, StationBytesItDoesNotExpectNeverWriteOutsideRam) {
    HandsetEmulator handset(SmallRam(), {}, clock);
    ScriptedWire wire;
    wire.Add("ATUD");
    const std::vector<uint8_t> payload = PatternBytes(2032, 1);
    const uint32_t sum = Sum(payload);
    wire.Data(kBase, payload, [](Packet& packet) { StoreLe32(packet.data() + 8, 2033); });
    wire.Data(kBase - 16, payload);           // below the download base
    wire.Data(kBase + 16384 - 100, payload);  // runs past the RAM cap
    wire.Data(0xFFFFFFF0, payload);           // far outside
    wire.Data(kBase, payload, [](Packet& packet) { packet[100] ^= 0xFF; });  // corrupt payload
    wire.Data(kBase, payload);                                               // the one good packet
    wire.Command(kCmdWriteSmdBlocks, kBase, 801, 0);  // more blocks than one write may take
    wire.Command(kCmdWriteSmdBlocks, kBase, 1, 0);    // a block does not fit this RAM
    wire.Command(kCmdFlashPhone, 0, 20000, 0x77);     // longer than RAM
    wire.Command(0xDEAD, 1, 2, 3);
    EXPECT_EQ(handset.Serve(wire, {}), SessionEnd::WireLost);

    const std::vector<uint32_t> words = wire.Words();
    ASSERT_EQ(words.size(), 12u);
    for (size_t i = 1; i <= 5; ++i) {
        EXPECT_NE(words[i], sum) << "packet " << i - 1 << " must not be accepted";
    }
    EXPECT_EQ(words[6], sum);
    EXPECT_EQ(words[7], Word("FAIL"));
    EXPECT_EQ(words[8], Word("FAIL"));
    EXPECT_NE(words[9], 0x77u);
    EXPECT_EQ(words[10], Word("FAIL"));
    EXPECT_EQ(words[11], Word("OKUD"));

    const FlashRecord record = handset.Record();
    EXPECT_TRUE(record.smdBlocks.empty());
    EXPECT_FALSE(record.phone);
    EXPECT_EQ(record.unknownCommands, 1u);
    EXPECT_EQ(record.commands.back(), (CommandSeen{0xDEAD, 1, 2, 3}));
}

TEST_F(HandsetEmulatorTest, OnlyAcceptedPayloadsReachTheFlash) {
    HandsetEmulator handset(SmallRam(), {}, clock);
    ScriptedWire wire;
    wire.Add("ATUD");
    const std::vector<uint8_t> good = PatternBytes(2032, 2);
    wire.Data(kBase, good);
    wire.Data(kBase + 2032, PatternBytes(100, 3), [](Packet& packet) { packet[20] ^= 1; });
    wire.Command(kCmdFlashCsc, 0, 2132, 0);
    EXPECT_EQ(handset.Serve(wire, {}), SessionEnd::WireLost);
    // The corrupt packet left RAM as it was (zero), and the CSC reply is the sum of RAM.
    EXPECT_EQ(wire.Words().at(3), Sum(good));
    const FlashRecord record = handset.Record();
    ASSERT_TRUE(record.csc);
    std::vector<uint8_t> expected = good;
    expected.resize(2132, 0);
    EXPECT_EQ(record.csc->bytes, expected);
}

// A packing handset sends the same words, but those of one exchange in one write.
TEST_F(HandsetEmulatorTest, PackedRepliesAreTheSameWordsInFewerWrites) {
    const std::vector<uint8_t> payload = PatternBytes(2032, 4);
    std::vector<std::vector<uint32_t>> words;
    for (const bool bPacked : {false, true}) {
        HandsetConfig config = SmallRam();
        config.bPackReplies = bPacked;
        config.smdRanges = {{7, 2}};
        HandsetEmulator handset(config, {}, clock);
        ScriptedWire wire;
        wire.Add("ATUD");
        wire.Data(kBase, payload);
        wire.Command(kCmdFlashEboot, kBase, 2032, Sum(payload));
        wire.Command(kCmdNextSmdRange);
        wire.Command(kCmdFlashCsc, 0, 2032, 0);
        EXPECT_EQ(handset.Serve(wire, {}), SessionEnd::WireLost);
        const std::vector<size_t> expected =
            bPacked ? std::vector<size_t>{4, 4, 8, 8, 4, 20} : std::vector<size_t>(12, 4);
        EXPECT_EQ(wire.Writes(), expected) << (bPacked ? "packed" : "one write per reply");
        words.push_back(wire.Words());
    }
    EXPECT_EQ(words[0], words[1]);
    EXPECT_EQ(words[1].at(3), 24u) << "the version word right behind command 4's sum";
    EXPECT_EQ(words[1].at(4), 7u);
    EXPECT_EQ(words[1].back(), Word("OKUD"));
}

TEST_F(HandsetEmulatorTest, DataPacketsAreCountedOverTheWholeLife) {
    HandsetFaults faults;
    faults.wrongSumAtPacket = 1;
    HandsetEmulator handset(SmallRam(), faults, clock);
    const std::vector<uint8_t> payload = PatternBytes(500, 5);
    std::vector<uint32_t> echoes;
    for (int session = 0; session < 2; ++session) {
        ScriptedWire wire;
        wire.Add("ATUD");
        wire.Data(kBase, payload);
        handset.Serve(wire, {});
        echoes.push_back(wire.Words().back());
    }
    EXPECT_EQ(echoes[0], Sum(payload));
    EXPECT_NE(echoes[1], Sum(payload)) << "packet 1 is the first packet of the second session";
}

TEST_F(HandsetEmulatorTest, AStopRequestEndsTheSession) {
    HandsetEmulator handset({}, {}, clock);
    ScriptedWire wire;
    wire.Add("ATUD");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(handset.Serve(wire, stop.get_token()), SessionEnd::Stopped);
}

TEST_F(HandsetEmulatorTest, DigestModeKeepsNoBytesButStillTellsAMatchFromAMismatch) {
    HandsetConfig config = SmallRam();
    config.recordMode = RecordMode::Digest;
    HandsetEmulator handset(config, {}, clock);
    ScriptedWire wire;
    wire.Add("ATUD");
    const std::vector<uint8_t> image = PatternBytes(2032 + 700, 6);
    wire.Data(kBase, {image.begin(), image.begin() + 2032});
    wire.Data(kBase + 2032, {image.begin() + 2032, image.end()});
    wire.Command(kCmdFlashPhone, 0, static_cast<uint32_t>(image.size()), Sum(image));
    handset.Serve(wire, {});

    const FlashRecord record = handset.Record();
    ASSERT_TRUE(record.phone);
    EXPECT_TRUE(record.phone->bytes.empty());
    EXPECT_EQ(record.phone->length, image.size());
    EXPECT_TRUE(record.phone->Matches(image));
    std::vector<uint8_t> swapped = image;  // same length and byte sum, different bytes
    std::swap(swapped[10], swapped[2000]);
    ASSERT_NE(swapped, image);
    EXPECT_FALSE(record.phone->Matches(swapped));
    EXPECT_FALSE(record.phone->Matches({image.begin(), image.end() - 1}));
}

TEST(FlashDigestTest, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    const std::vector<uint8_t> bytes = PatternBytes(10007, 7);
    FlashDigest pieces;
    size_t offset = 0;
    for (size_t piece = 1; offset < bytes.size(); piece = piece * 3 % 17 + 1) {
        const size_t count = std::min(piece, bytes.size() - offset);
        pieces.Update(bytes.data() + offset, count);
        offset += count;
    }
    EXPECT_EQ(pieces.Final(), FlashDigest::Of(bytes));

    FlashDigest zeros;
    zeros.UpdateZeros(5000);
    EXPECT_EQ(zeros.Final(), FlashDigest::Of(std::vector<uint8_t>(5000, 0)));
    // A trailing zero byte is not nothing.
    EXPECT_NE(FlashDigest::Of(std::vector<uint8_t>(8, 0)),
              FlashDigest::Of(std::vector<uint8_t>(9, 0)));
}

}  // namespace
}  // namespace vantorel::emulator
