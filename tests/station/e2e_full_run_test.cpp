#include <gtest/gtest.h>

#include "engine/boot_loader_protocol.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;
using emulator::FlashRecord;

constexpr uint32_t kSectorBytes = 5u << 20;

class FullRunTest : public E2eTest {};

// Eight handsets, every kind of image but SMD, the PDA image in two turns of a 5 MB
// sector, and the second entry of a multi-CSC file.
TEST_P(FullRunTest, EightHandsetsFlashEveryImageByteForByte) {
    samples::SampleSizes sizes;
    sizes.dwPdaImage = kSectorBytes + 4321;
    sizes.dwPdaSectorSize = kSectorBytes;
    const samples::SampleSet set = WriteSamples(sizes);

    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kPdaButton, set.pda);
    ChooseImage(ctl::kLangButton, set.langPack);
    ChooseImage(ctl::kCscButton, set.multiCsc);
    PickCscEntry(1);
    ChooseImage(ctl::kPhoneButton, set.phone);
    SetSectorMegabytes("5");
    PressDetect();
    for (int n = 1; n <= 8; ++n) {
        Attach(n);
    }
    ASSERT_TRUE(RunBatch()) << MainLog();

    EXPECT_TRUE(MainLogHas("All Download finished. \r\n")) << MainLog();
    EXPECT_FALSE(MainLogHas("But failed device is detected"));
    const std::vector<ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                          {images::IMG_PDA, set.pda},
                                          {images::IMG_CSC, set.multiCsc, 1},
                                          {images::IMG_LANGPACK, set.langPack},
                                          {images::IMG_PHONE, set.phone}};
    for (int slot = 0; slot < 8; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ExpectDone(slot);
        const emulator::BusHandset& handset = *handsets[slot];
        EXPECT_TRUE(WaitForLaunch(handset));
        EXPECT_EQ(FlashProblems(handset, chosen), std::vector<std::string>{});
        handset.Emulator().Inspect([&](const FlashRecord& record) {
            EXPECT_EQ(record.reboots, 1u);
            EXPECT_TRUE(record.launched);
            ASSERT_TRUE(record.notify);
            EXPECT_EQ(record.notify->imageMask, engine::kMaskEboot | engine::kMaskPda |
                                                    engine::kMaskCsc | engine::kMaskLangPack);
            EXPECT_EQ(record.notify->sectorSize, kSectorBytes);
            EXPECT_EQ(record.notify->optionWord, dlg->m_dwEraseNvCase);
            ASSERT_EQ(record.pdaTurns.size(), 2u);
            EXPECT_EQ(record.pdaTurns[0].length, kSectorBytes);
            EXPECT_EQ(record.pdaTurns[0].checkWord, sizes.dwPdaImage) << "a full turn";
            EXPECT_EQ(record.pdaTurns[1].position, kSectorBytes / 2048);
            EXPECT_EQ(record.pdaTurns[1].length, 4321u);
            EXPECT_EQ(record.pdaTurns[1].checkWord, FileWord(set.pda, 12)) << "the last turn";
            // The second CSC entry offers no languages of its own: its default, the pack's
            // fourth language, Korean, goes to the handset.
            ASSERT_TRUE(record.languageChoice);
            EXPECT_EQ(record.languageChoice->index, 3u);
            EXPECT_EQ(record.languageChoice->code, "0412");
        });
        EXPECT_NE(MainLog().find("[Setup:" + std::to_string(slot + 1) +
                                 "] PDA Sector Size = 5242880\r\n"),
                  std::string::npos);
    }
    // The batch unlocked the operator controls, all but Detect and Start downloading.
    EXPECT_TRUE(dlg->GetDlgItem(ctl::kEbootButton)->isEnabled());
    EXPECT_FALSE(dlg->GetDlgItem(ctl::kDetect)->isEnabled());
    EXPECT_FALSE(dlg->GetDlgItem(ctl::kStartDownloading)->isEnabled());
}

// A PDA image of several megabytes fits the default 92160000-byte sector: one turn, carrying
// the last turn's check word. The language pack behind it goes from the PDA file itself.
TEST_P(FullRunTest, AMultiMegabytePdaIsOneTurnAndBringsItsLanguagePack) {
    samples::SampleSizes sizes;
    sizes.dwPdaImage = 3 * 1048576 + 17;
    const samples::SampleSet set = WriteSamples(sizes);

    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kPdaButton, set.pdaWithLang);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    Attach(1);
    Attach(2);
    ASSERT_TRUE(RunBatch()) << MainLog();

    EXPECT_TRUE(MainLogHas("All Download finished. \r\n")) << MainLog();
    EXPECT_TRUE(MainLogHas("[PDA:2] PDA import language image\r\n"));
    // The sample pack holds the same bytes as the pack appended to the PDA file.
    const std::vector<ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                          {images::IMG_PDA, set.pdaWithLang},
                                          {images::IMG_LANGPACK, set.langPack}};
    for (int slot = 0; slot < 2; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        ExpectDone(slot);
        EXPECT_EQ(FlashProblems(*handsets[slot], chosen), std::vector<std::string>{});
        handsets[slot]->Emulator().Inspect([&](const FlashRecord& record) {
            ASSERT_EQ(record.pdaTurns.size(), 1u);
            EXPECT_EQ(record.pdaTurns[0].position, 0u);
            EXPECT_EQ(record.pdaTurns[0].length, sizes.dwPdaImage);
            EXPECT_EQ(record.pdaTurns[0].checkWord, FileWord(set.pdaWithLang, 12))
                << "the last turn's word";
            ASSERT_TRUE(record.notify);
            EXPECT_EQ(record.notify->sectorSize, 0u) << "no Control Sector";
            EXPECT_EQ(record.notify->imageMask,
                      engine::kMaskEboot | engine::kMaskPda | engine::kMaskLangPack);
        });
    }
}

// Only a boot loader: nothing follows it, so the handset is not rebooted for a second turn;
// the run ends with the launch. (The emulated handset takes that launch into its new boot
// loader, which is what a handset with a fresh boot loader does.)
TEST_P(FullRunTest, OnlyABootLoaderIsFlashedAndLaunchedWithoutAReboot) {
    const samples::SampleSet set = WriteSamples();
    ChooseImage(ctl::kEbootButton, set.ebootLarge);
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    Attach(1);
    ASSERT_TRUE(RunBatch()) << MainLog();

    ExpectDone(0);
    ASSERT_TRUE(handsets[0]->WaitForReboots(1, std::chrono::seconds(10)));
    EXPECT_EQ(FlashProblems(*handsets[0], {{images::IMG_EBOOT, set.ebootLarge}}),
              std::vector<std::string>{});
    const std::vector<uint32_t> codes = CommandCodes(*handsets[0]);
    EXPECT_EQ(CountOf(codes, engine::kCmdLaunch), 1u);
    EXPECT_EQ(CountOf(codes, engine::kCmdReboot), 0u);
    handsets[0]->Emulator().Inspect([](const FlashRecord& record) {
        EXPECT_EQ(record.commands.back(),
                  (emulator::CommandSeen{engine::kCmdLaunch, engine::kLaunchAddress, 0, 0}));
        EXPECT_EQ(record.greetings, 1u) << "greeted once, at the attach";
        ASSERT_TRUE(record.notify);
        EXPECT_EQ(record.notify->imageMask, engine::kMaskEboot | engine::kMaskLargeEboot);
    });
    EXPECT_FALSE(MainLogHas("Try downloading again"));
    EXPECT_FALSE(MainLogHas("Re-Init."));
    EXPECT_TRUE(MainLogHas("All Download finished. \r\n"));
}

INSTANTIATE_TEST_SUITE_P(BothLinks, FullRunTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
