#include <gtest/gtest.h>

#include <algorithm>

#include "console/failure_advice.h"
#include "console/text_progress_ctrl.h"
#include "engine/boot_loader_protocol.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;
using namespace engine;

class VersionRulesTest : public E2eTest {
protected:
    static size_t IndexOf(const std::vector<uint32_t>& codes, uint32_t code) {
        return static_cast<size_t>(std::find(codes.begin(), codes.end(), code) - codes.begin());
    }
};

// The protocol version each boot loader reports after its flash decides, per slot, whether
// the run goes on, how the handset is rebooted and which images follow in which order.
TEST_P(VersionRulesTest, EachSlotFollowsItsBootLoadersProtocolVersion) {
    const samples::SampleSet set = WriteSamples();
    const std::vector<ChosenImage> all = ChooseEveryImageAndDetect(set);
    const uint32_t versions[8] = {12, 13, 15, 16, 17, 18, 24, 25};
    for (int n = 1; n <= 8; ++n) {
        emulator::HandsetConfig config;
        config.protocolVersion = versions[n - 1];
        Attach(n, config);
    }
    ASSERT_TRUE(RunBatch()) << MainLog();
    EXPECT_TRUE(MainLogHas("All Download finished. But failed device is detected \r\n"));

    const std::vector<ChosenImage> older{
        {images::IMG_EBOOT, set.eboot}, {images::IMG_PDA, set.pda}, {images::IMG_CSC, set.csc}};

    for (int slot = 0; slot < 8; ++slot) {
        const uint32_t version = versions[slot];
        SCOPED_TRACE("slot " + std::to_string(slot + 1) + ", version " + std::to_string(version));
        const std::string tag = std::to_string(slot + 1);
        EXPECT_TRUE(MainLogHas("[Setup:" + tag + "] BootLoader requires downloaer tool version " +
                               std::to_string(version) + "\r\n"));
        const bool accepted = version >= 13 && version <= 24;
        EXPECT_TRUE(!accepted || WaitForLaunch(*handsets[slot]));
        const std::vector<uint32_t> codes = CommandCodes(*handsets[slot]);
        if (!accepted) {
            ExpectFailed(slot, "[FAIL] EBOOT read error from file", "OK " + tag);
            EXPECT_TRUE(WaitForMainLog("[Setup:" + tag + "] Downloader tool version unmatch.\r\n"));
            // The reason is where the operator looks at the slot, not only in the main log.
            // The worker logs it after the failure, so the slot tells it once the worker ends.
            EXPECT_TRUE(PumpUntil([&] { return !dlg->m_prgSlot[slot]->toolTip().isEmpty(); }));
            const std::string slotLog = dlg->m_logs.SlotText(slot);
            EXPECT_TRUE(slotLog.ends_with("[Error:" + tag +
                                          "] [FAIL] EBOOT read error from file: Downloader "
                                          "tool version unmatch.\r\n"))
                << slotLog;
            EXPECT_EQ(dlg->m_prgSlot[slot]->toolTip().toStdString(),
                      FailureAdvice(engine::kStatusReadError, 1, {}));
            EXPECT_EQ(codes.back(), kCmdFlashEboot) << "nothing after the boot loader";
            EXPECT_EQ(handsets[slot]->Record().reboots, 0u);
            continue;
        }
        ExpectDone(slot);
        EXPECT_FALSE(MainLogHas("[Setup:" + tag + "] Downloader tool version unmatch."));
        EXPECT_EQ(dlg->m_logs.SlotText(slot).find("[Error:"), std::string::npos);
        EXPECT_TRUE(dlg->m_prgSlot[slot]->toolTip().isEmpty());
        EXPECT_EQ(handsets[slot]->Record().reboots, 1u);
        // Below 18 the reboot is command 2, like the launch at the end; from 18 on it is 20.
        EXPECT_EQ(CountOf(codes, kCmdReboot), version >= 18 ? 1u : 0u);
        EXPECT_EQ(CountOf(codes, kCmdLaunch), version >= 18 ? 1u : 2u);
        if (version < 16) {
            EXPECT_LT(IndexOf(codes, kCmdFlashPdaTurn), IndexOf(codes, kCmdFlashCsc));
            EXPECT_EQ(CountOf(codes, kCmdLanguageChoice), 0u);
            EXPECT_EQ(CountOf(codes, kCmdFlashLangPack), 0u);
            EXPECT_EQ(CountOf(codes, kCmdFlashPhone), 0u);
            EXPECT_EQ(FlashProblems(*handsets[slot], older), std::vector<std::string>{});
        } else {
            EXPECT_LT(IndexOf(codes, kCmdFlashCsc), IndexOf(codes, kCmdFlashPdaTurn));
            EXPECT_LT(IndexOf(codes, kCmdFlashPdaTurn), IndexOf(codes, kCmdFlashLangPack));
            EXPECT_LT(IndexOf(codes, kCmdFlashLangPack), IndexOf(codes, kCmdFlashPhone));
            EXPECT_EQ(FlashProblems(*handsets[slot], all), std::vector<std::string>{});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothLinks, VersionRulesTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
