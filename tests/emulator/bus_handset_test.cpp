#include <gtest/gtest.h>

#include <thread>

#include "engine/byte_sum.h"
#include "tests/emulator/station_on_bus.h"

namespace vantorel::emulator::test {
namespace {

using namespace engine;
using vantorel::test::PatternBytes;
using vantorel::test::RecordedStatus;

class BusHandsetTest : public StationOnBus {};

TEST_P(BusHandsetTest, GreetsAndShowsItsBootLoaderVersion) {
    HandsetConfig config = Config();
    config.bootLoaderVersion = "X7A2";
    PlugHandset(config);
    EXPECT_EQ(GreetOnce(), "OKUD");
    Reply4 version{};
    ASSERT_EQ(QueryBootLoaderVersion(*link, version), 4u);
    EXPECT_EQ(BootLoaderVersionText(version), "X7A2");
    EXPECT_EQ(handset->Record().greetings, 1u);
}

TEST_P(BusHandsetTest, EveryAnsweredCommandConsumesExactlyOneReplyAndIsRecorded) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    const uint32_t mask = kMaskEboot | kMaskPda;
    ASSERT_TRUE(SendCommand(*link, kCmdNotifyUpdateImage, mask, 5242880, 0x80000021));
    ASSERT_TRUE(SendCommand(*link, kCmdUgmFlag, 1, 0, 0));
    ASSERT_TRUE(SendCommand(*link, kCmdLanguageChoice, 0, 21, LanguageCodeWord("0000")));
    ASSERT_TRUE(SendCommand(*link, kCmdSmdStart, 0, 0, 0));
    ASSERT_TRUE(SendCommand(*link, kCmdNandFormat, 0, 0, 0));
    ASSERT_TRUE(SendCommand(*link, 4242, 1, 2, 3));  // unknown to the boot loader
    ASSERT_TRUE(SendCommand(*link, kCmdStartRamDownload, IMG_CSC, 0, 0));
    // Had any command left a reply behind (or taken two), this would read the wrong word.
    Reply4 version{};
    ASSERT_EQ(QueryBootLoaderVersion(*link, version), 4u);
    EXPECT_EQ(BootLoaderVersionText(version), "T4K9");

    const FlashRecord record = handset->Record();
    ASSERT_TRUE(record.notify);
    EXPECT_EQ(record.notify->imageMask, mask);
    EXPECT_EQ(record.notify->sectorSize, 5242880u);
    EXPECT_EQ(record.notify->optionWord, 0x80000021u);
    EXPECT_EQ(record.ugmFlags, std::vector<uint32_t>{1});
    ASSERT_TRUE(record.languageChoice);
    EXPECT_EQ(record.languageChoice->index, 21u);
    EXPECT_EQ(record.languageChoice->code, "0000");
    EXPECT_EQ(record.nandFormats, 1u);
    EXPECT_EQ(record.unknownCommands, 1u);
    std::vector<uint32_t> codes;
    for (const CommandSeen& command : record.commands) {
        codes.push_back(command.code);
    }
    EXPECT_EQ(codes, (std::vector<uint32_t>{5, 100, 1007, 1013, 1014, 4242, 7, 13}));
}

TEST_P(BusHandsetTest, AMultiMegabyteBootLoaderIsEchoedPacketByPacketAndFlashedAsSent) {
    HandsetConfig config = Config();
    config.protocolVersion = 17;
    PlugHandset(config);
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::vector<uint8_t> image = PatternBytes(3 * 1024 * 1024 + 777, 1);
    ASSERT_EQ(ToRam(IMG_EBOOT, image), 0u);
    for (const RecordedStatus& status : reporter.Statuses()) {
        EXPECT_EQ(status.code, kStatusRamProgress);
    }

    // The reply to command 4 is the sum over RAM; then the protocol version, unrequested.
    EXPECT_TRUE(SendCommandCheck(*link, kCmdFlashEboot, kDownloadBase,
                                 static_cast<uint32_t>(image.size()),
                                 ByteSum(image.data(), image.size())));
    EXPECT_EQ(ReadWord(), 17u);

    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.dataPackets, (image.size() + kPacketPayloadSize - 1) / kPacketPayloadSize);
    ASSERT_TRUE(record.eboot);
    EXPECT_EQ(record.eboot->bytes, image);
}

TEST_P(BusHandsetTest, FlashWritesReportProgressThenOkdnAndOkud) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    struct Kind {
        int32_t imageKind;
        uint32_t command;
        uint32_t seed;
    };
    for (const Kind kind : {Kind{IMG_PHONE, kCmdFlashPhone, 2}, Kind{IMG_CSC, kCmdFlashCsc, 3},
                            Kind{IMG_LANGPACK, kCmdFlashLangPack, 4}}) {
        SCOPED_TRACE(kind.command);
        const std::vector<uint8_t> image = PatternBytes(300000 + kind.seed, kind.seed);
        ASSERT_EQ(ToRam(kind.imageKind, image), 0u);
        // Phone and CSC must echo the sum of RAM; the language pack its header's check word.
        const uint32_t check =
            kind.command == kCmdFlashLangPack ? 0x5EED1234 : ByteSum(image.data(), image.size());
        const size_t before = reporter.Statuses().size();
        ASSERT_EQ(Flash(kind.command, 0, static_cast<uint32_t>(image.size()), check), 0);
        const auto statuses = reporter.Statuses();
        const std::vector<RecordedStatus> progress(statuses.begin() + before, statuses.end());
        EXPECT_EQ(progress, (std::vector<RecordedStatus>{
                                {206, 10u << 16}, {206, 55u << 16}, {206, 100u << 16}}));
        EXPECT_EQ(ReadText4(), "OKUD");
    }
    const FlashRecord record = handset->Record();
    ASSERT_TRUE(record.phone && record.csc && record.langPack);
    EXPECT_EQ(record.phone->bytes, PatternBytes(300002, 2));
    EXPECT_EQ(record.csc->bytes, PatternBytes(300003, 3));
    EXPECT_EQ(record.langPack->bytes, PatternBytes(300004, 4));
}

TEST_P(BusHandsetTest, PdaTurnsAreRecordedWithTheirPositionsAndCheckWords) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    constexpr uint32_t kSector = 10 * 2048;
    const std::vector<uint8_t> pda = PatternBytes(kSector + 9520, 5);
    const std::vector<uint8_t> first(pda.begin(), pda.begin() + kSector);
    const std::vector<uint8_t> second(pda.begin() + kSector, pda.end());

    ASSERT_EQ(ToRam(IMG_PDA, first), 0u);
    ASSERT_EQ(Flash(kCmdFlashPdaTurn, 0, kSector, static_cast<uint32_t>(pda.size()), kSector), 0);
    ASSERT_EQ(ReadText4(), "OKUD");
    ASSERT_EQ(ToRam(IMG_PDA, second), 0u);
    ASSERT_EQ(Flash(kCmdFlashPdaTurn, kSector / 2048, static_cast<uint32_t>(second.size()), 0xABCD,
                    kSector),
              0);
    ASSERT_EQ(ReadText4(), "OKUD");

    const FlashRecord record = handset->Record();
    ASSERT_EQ(record.pdaTurns.size(), 2u);
    EXPECT_EQ(record.pdaTurns[1].position, 10u);
    EXPECT_EQ(record.pdaTurns[1].length, second.size());
    EXPECT_EQ(record.pdaTurns[1].checkWord, 0xABCDu);
    EXPECT_EQ(record.PdaImage(), pda);
    EXPECT_TRUE(record.PdaMatches(pda));
    std::vector<uint8_t> other = pda;
    other[kSector + 5] ^= 1;
    EXPECT_FALSE(record.PdaMatches(other));
}

TEST_P(BusHandsetTest, Command20RebootsAndTheHandsetComesBackOnTheSamePath) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::string path = link->DevicePath();
    ASSERT_TRUE(SendCommand(*link, kCmdReboot, kLaunchAddress, 0, 0));
    link->Close();
    ASSERT_TRUE(handset->WaitForReboots(1, kBound));
    ASSERT_TRUE(events.WaitForCount(3));
    EXPECT_EQ(events.Events(), (std::vector<DeviceEvent>{{DeviceEventKind::Arrival, path},
                                                         {DeviceEventKind::Removal, path},
                                                         {DeviceEventKind::Arrival, path}}));
    ASSERT_TRUE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, path.c_str()));
    EXPECT_EQ(GreetOnce(), "OKUD");
    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.reboots, 1u);
    EXPECT_EQ(record.sessions, 2u);
    EXPECT_FALSE(record.launched);
}

TEST_P(BusHandsetTest, Command2RebootsOnlyAfterABootLoaderWasFlashedElseTheHandsetLeaves) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    const std::string path = link->DevicePath();
    const std::vector<uint8_t> eboot = PatternBytes(5000, 6);
    ASSERT_EQ(ToRam(IMG_EBOOT, eboot), 0u);
    SendCommandCheck(*link, kCmdFlashEboot, kDownloadBase, 5000, ByteSum(eboot.data(), 5000));
    ASSERT_EQ(ReadWord(), 24u);
    ASSERT_TRUE(SendCommand(*link, kCmdLaunch, kLaunchAddress, 0, 0));
    link->Close();
    ASSERT_TRUE(handset->WaitForReboots(1, kBound));
    ASSERT_TRUE(handset->WaitUntilPlugged(kBound));

    // The restarted boot loader has flashed nothing since it started: command 2 launches.
    ASSERT_TRUE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, path.c_str()));
    ASSERT_EQ(GreetOnce(), "OKUD");
    ASSERT_TRUE(SendCommand(*link, kCmdLaunch, kLaunchAddress, 0, 0));
    link->Close();
    ASSERT_TRUE(handset->WaitUntilLeft(kBound));
    EXPECT_EQ(handset->LastSessionEnd(), SessionEnd::Launched);
    ASSERT_TRUE(events.WaitForCount(4));
    WaitLongerThanAReboot();
    EXPECT_EQ(events.Events().size(), 4u);
    EXPECT_EQ(events.Events().back(), (DeviceEvent{DeviceEventKind::Removal, path}));
    EXPECT_FALSE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, path.c_str()));
    const FlashRecord record = handset->Record();
    EXPECT_TRUE(record.launched);
    EXPECT_EQ(record.reboots, 1u);
}

TEST_P(BusHandsetTest, SmdRangesAreHandedOutInOrderAndEveryBlockIsRecorded) {
    HandsetConfig config = Config();
    config.smdRanges = {{5, 2}, {40, 1}};
    PlugHandset(config);
    ASSERT_EQ(GreetOnce(), "OKUD");
    constexpr uint32_t kBlock = 135168;
    ASSERT_TRUE(SendCommand(*link, kCmdSmdStart, 0, 0, 0));
    ASSERT_TRUE(SendCommand(*link, kCmdNandFormat, 0, 0, 0));
    std::vector<SmdRange> handedOut;
    for (int guard = 0; guard < 5; ++guard) {
        SendCommandNoReply(*link, kCmdNextSmdRange, 0, 0, 0);
        Reply4 first{};
        ASSERT_EQ(ReadReply4(*link, first), 4u);
        if (first == kReplyOkud) {
            break;
        }
        const SmdRange range{ReplyValue(first), ReadWord()};
        handedOut.push_back(range);
        const auto blocks = PatternBytes(range.blockCount * kBlock, range.startBlock);
        ASSERT_EQ(ToRam(IMG_SMD, blocks), 0u);
        SendBlockWrite(*link, kCmdWriteSmdBlocks, kDownloadBase, range.blockCount,
                       range.startBlock);
    }
    EXPECT_EQ(handedOut, config.smdRanges);
    const FlashRecord record = handset->Record();
    EXPECT_EQ(record.smdBlocks.size(), 3u);
    EXPECT_EQ(record.SmdBytes(5, 2), PatternBytes(2 * kBlock, 5));
    EXPECT_EQ(record.SmdBytes(40, 1), PatternBytes(kBlock, 40));
    EXPECT_EQ(record.nandFormats, 1u);
}

TEST_P(BusHandsetTest, APulledHandsetCanBePluggedInAgainAndKeepsItsRecord) {
    PlugHandset();
    ASSERT_EQ(GreetOnce(), "OKUD");
    handset->Unplug();
    EXPECT_FALSE(handset->IsPlugged());
    ASSERT_EQ(events.Events().size(), 2u) << "Unplug returns once the handset is off the bus";
    Reply4 reply{};
    EXPECT_EQ(ReadReply4(*link, reply), 0u) << "the station's read ends with the cable";
    EXPECT_FALSE(handset->HasLeft());
    handset->Plug();
    ASSERT_TRUE(handset->WaitUntilPlugged(kBound));
    ASSERT_TRUE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_EQ(GreetOnce(), "OKUD");
    EXPECT_EQ(handset->Record().greetings, 2u);
}

INSTANTIATE_TEST_SUITE_P(BothLinks, BusHandsetTest, ::testing::Bool(), LinkVariantName);

}  // namespace
}  // namespace vantorel::emulator::test
