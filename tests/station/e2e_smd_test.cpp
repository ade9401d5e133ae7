#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/boot_loader_protocol.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;
using emulator::CommandSeen;
using emulator::FlashRecord;
using emulator::SmdRange;
using namespace engine;

constexpr uint32_t kSmdBlock = 135168;
constexpr uint32_t kSmdHeader = 2048;

class SmdTest : public E2eTest {
protected:
    // Chooses the raw NAND image the way the operator does: "SMD Binary" shows its button.
    void ChooseSmd(const std::string& path) {
        SetOption(ctl::kSmdBinary, true);
        ChooseImage(ctl::kSmdButton, path);
    }

    // The block writes (command 1016) the handset received: first block and count.
    static std::vector<SmdRange> BlockWrites(const emulator::BusHandset& handset) {
        std::vector<SmdRange> writes;
        handset.Emulator().Inspect([&](const FlashRecord& record) {
            for (const CommandSeen& command : record.commands) {
                if (command.code == kCmdWriteSmdBlocks) {
                    writes.push_back({command.a3, command.a2});
                }
            }
        });
        return writes;
    }
};

// Two handsets asking for different ranges each get the image's blocks in their own order.
TEST_P(SmdTest, EveryRangeAHandsetHandsOutGetsTheImagesBlocksInOrder) {
    samples::SampleSizes sizes;
    sizes.dwSmd = kSmdHeader + 6 * kSmdBlock;
    const samples::SampleSet set = WriteSamples(sizes);
    ChooseSmd(set.smd);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    const std::vector<SmdRange> first{{0, 2}, {10, 1}, {20, 3}};
    const std::vector<SmdRange> second{{5, 4}, {100, 2}};
    emulator::HandsetConfig config;
    config.smdRanges = first;
    Attach(1, config);
    config.smdRanges = second;
    Attach(2, config);
    ASSERT_TRUE(RunBatch()) << MainLog();

    EXPECT_TRUE(MainLogHas("All Download finished. \r\n")) << MainLog();
    EXPECT_TRUE(MainLogHas("[SMD:1] nSMDStartSbn = 10 nSMDNumOfBlks = 1\r\n"));
    const std::vector<ChosenImage> chosen{{images::IMG_SMD, set.smd}};
    const std::vector<SmdRange>* ranges[] = {&first, &second};
    for (int slot = 0; slot < 2; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ExpectDone(slot);
        EXPECT_TRUE(WaitForLaunch(*handsets[slot]));
        EXPECT_EQ(FlashProblems(*handsets[slot], chosen, *ranges[slot]),
                  std::vector<std::string>{});
        EXPECT_EQ(BlockWrites(*handsets[slot]), *ranges[slot]);
        handsets[slot]->Emulator().Inspect([](const FlashRecord& record) {
            EXPECT_EQ(record.nandFormats, 1u);
            EXPECT_TRUE(record.launched);
        });
    }
    // Laid out by another handset's ranges the image does not match: the check is real.
    EXPECT_NE(FlashProblems(*handsets[1], chosen, first), std::vector<std::string>{});
}

// One range of 801 blocks (about 108 MB) goes as 800 blocks and then 1. The image is a
// sparse file with data only in its header and at both ends of the split, and the handset
// keeps digests instead of the flashed bytes; every block is still compared.
TEST_P(SmdTest, ARangeOf801BlocksGoesAs800AndOne) {
    const std::string path = (files / "big.smd").string();
    {
        std::ofstream out(path, std::ios::binary);
        const auto writeAt = [&](uint64_t offset, size_t count, uint32_t seed) {
            const std::vector<uint8_t> bytes = vantorel::test::PatternBytes(count, seed);
            out.seekp(static_cast<std::streamoff>(offset));
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
        };
        writeAt(0, kSmdHeader, 1);
        writeAt(kSmdHeader, kSmdBlock, 2);                       // block 0
        writeAt(kSmdHeader + 800ull * kSmdBlock - 100, 100, 3);  // the end of the first 800
        writeAt(kSmdHeader + 800ull * kSmdBlock, kSmdBlock, 4);  // the one after the split
        ASSERT_TRUE(out);
    }
    std::filesystem::resize_file(path, kSmdHeader + 801ull * kSmdBlock);

    ChooseSmd(path);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    emulator::HandsetConfig config;
    config.smdRanges = {{7, 801}};
    config.recordMode = emulator::RecordMode::Digest;
    Attach(1, config);
    // 108 MB in some 53,000 echoed packets: a second on a quiet machine, minutes when
    // every packet waits for a busy core. The bound is there for a hang, not for speed.
    ASSERT_TRUE(RunBatch(std::chrono::minutes(15))) << MainLog();

    ExpectDone(0);
    EXPECT_EQ(BlockWrites(*handsets[0]), (std::vector<SmdRange>{{7, 800}, {807, 1}}));
    EXPECT_EQ(FlashProblems(*handsets[0], {{images::IMG_SMD, path}}, config.smdRanges),
              std::vector<std::string>{});
}

// "NoLaunch" holds the launch back only for a raw NAND image.
TEST_P(SmdTest, NoLaunchSkipsTheLaunchOnlyForAnSmdImage) {
    samples::SampleSizes sizes;
    sizes.dwSmd = kSmdHeader + kSmdBlock;
    const samples::SampleSet set = WriteSamples(sizes);
    ChooseSmd(set.smd);
    SetOption(kNoLaunchBox, true);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    EXPECT_EQ(dlg->m_dwEraseNvCase & 0x800u, 0x800u);
    emulator::HandsetConfig config;
    config.smdRanges = {{3, 1}};
    Attach(1, config);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectDone(0);
    EXPECT_EQ(FlashProblems(*handsets[0], {{images::IMG_SMD, set.smd}}, config.smdRanges),
              std::vector<std::string>{});
    const std::vector<uint32_t> codes = CommandCodes(*handsets[0]);
    EXPECT_EQ(CountOf(codes, kCmdLaunch), 0u);
    EXPECT_EQ(codes.back(), kCmdNextSmdRange);
    EXPECT_FALSE(handsets[0]->Record().launched);
}

TEST_P(SmdTest, NoLaunchWithoutAnSmdImageStillLaunches) {
    const samples::SampleSet set = WriteSamples();
    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kPdaButton, set.pda);
    SetOption(kNoLaunchBox, true);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    Attach(1);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectDone(0);
    EXPECT_EQ(
        FlashProblems(*handsets[0], {{images::IMG_EBOOT, set.eboot}, {images::IMG_PDA, set.pda}}),
        std::vector<std::string>{});
    EXPECT_TRUE(WaitForLaunch(*handsets[0]));
    handsets[0]->Emulator().Inspect([](const FlashRecord& record) {
        EXPECT_TRUE(record.launched);
        ASSERT_TRUE(record.notify);
        EXPECT_EQ(record.notify->optionWord & 0x800u, 0x800u) << "the handset is told too";
    });
}

// A NAND format that takes longer than a reply usually may (125 s against 120 s) is work,
// not silence: the handset flashes whole. One whose format never ends fails as a read error
// and the log never says the format ended.
TEST_P(SmdTest, ALongNandFormatIsAwaitedAndAnEndlessOneIsNotLoggedAsEnded) {
    samples::SampleSizes sizes;
    sizes.dwSmd = kSmdHeader + 2 * kSmdBlock;
    const samples::SampleSet set = WriteSamples(sizes);
    ChooseSmd(set.smd);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    emulator::HandsetConfig slowFormat;
    slowFormat.smdRanges = {{0, 2}};
    slowFormat.nandFormatTime = Clock::Duration(125000);
    Attach(1, slowFormat);
    emulator::HandsetFaults endless;
    endless.silentFromCommand = kCmdNandFormat;
    emulator::HandsetConfig config;
    config.smdRanges = {{0, 2}};
    Attach(2, config, endless);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectDone(0);
    EXPECT_TRUE(MainLogHas("[SMD:1] END NAND Format\r\n")) << MainLog();
    EXPECT_TRUE(WaitForLaunch(*handsets[0]));
    const std::vector<ChosenImage> chosen{{images::IMG_SMD, set.smd}};
    EXPECT_EQ(FlashProblems(*handsets[0], chosen, slowFormat.smdRanges),
              std::vector<std::string>{});

    ExpectFailed(1, "[FAIL] read error from usb", "OK 2");
    EXPECT_TRUE(MainLogHas("[SMD:2] NAND Format\r\n")) << MainLog();
    EXPECT_FALSE(MainLogHas("[SMD:2] END NAND Format")) << MainLog();
    EXPECT_TRUE(MainLogHas("[SMD:2] No reply from the handset for 1800 s.\r\n")) << MainLog();
}

INSTANTIATE_TEST_SUITE_P(BothLinks, SmdTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
