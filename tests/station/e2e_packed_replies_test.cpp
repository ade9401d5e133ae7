// Whole runs against handsets that pack their replies: two replies in one USB packet must
// reach the protocol one after the other, on both links.
#include <gtest/gtest.h>

#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;

constexpr uint32_t kSmdBlock = 135168;
constexpr uint32_t kSmdHeader = 2048;

class PackedRepliesTest : public E2eTest {
protected:
    static emulator::HandsetConfig Packing() {
        emulator::HandsetConfig config;
        config.bPackReplies = true;
        return config;
    }
};

TEST_P(PackedRepliesTest, EveryImageIsFlashedByteForByte) {
    samples::SampleSizes sizes;
    sizes.dwPdaImage = (5u << 20) + 999;
    sizes.dwPdaSectorSize = 5u << 20;
    const samples::SampleSet set = WriteSamples(sizes);
    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kPdaButton, set.pdaWithLang);
    ChooseImage(ctl::kCscButton, set.multiCsc);
    ChooseImage(ctl::kPhoneButton, set.phone);
    SetSectorMegabytes("5");
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    for (int n = 1; n <= 3; ++n) {
        Attach(n, Packing());
    }
    ASSERT_TRUE(RunBatch()) << MainLog();

    EXPECT_TRUE(MainLogHas("All Download finished. \r\n")) << MainLog();
    const std::vector<ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                          {images::IMG_PDA, set.pdaWithLang},
                                          {images::IMG_CSC, set.multiCsc, 0},
                                          {images::IMG_LANGPACK, set.langPack},
                                          {images::IMG_PHONE, set.phone}};
    for (int slot = 0; slot < 3; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ExpectDone(slot);
        EXPECT_TRUE(WaitForLaunch(*handsets[slot]));
        EXPECT_EQ(FlashProblems(*handsets[slot], chosen), std::vector<std::string>{});
    }
}

TEST_P(PackedRepliesTest, BothWordsOfEachSmdRangeInOnePacket) {
    samples::SampleSizes sizes;
    sizes.dwSmd = kSmdHeader + 4 * kSmdBlock;
    const samples::SampleSet set = WriteSamples(sizes);
    SetOption(ctl::kSmdBinary, true);
    ChooseImage(ctl::kSmdButton, set.smd);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    emulator::HandsetConfig config = Packing();
    config.smdRanges = {{0, 1}, {3, 2}, {9, 1}};
    Attach(1, config);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectDone(0);
    EXPECT_TRUE(MainLogHas("[SMD:1] nSMDStartSbn = 3 nSMDNumOfBlks = 2\r\n")) << MainLog();
    EXPECT_TRUE(WaitForLaunch(*handsets[0]));
    EXPECT_EQ(FlashProblems(*handsets[0], {{images::IMG_SMD, set.smd}}, config.smdRanges),
              std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(BothLinks, PackedRepliesTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
