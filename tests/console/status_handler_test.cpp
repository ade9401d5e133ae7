#include <gtest/gtest.h>

#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

constexpr int kUnchanged = -1;
constexpr int kStartPos = 7;

struct CodeCase {
    uint32_t code;
    uint32_t value;
    int32_t kind;
    const char* text;
    int barPos;  // kUnchanged: the bar stays at kStartPos
    bool bFailed;
    const char* caption;  // slot 2's label caption afterwards
};

std::ostream& operator<<(std::ostream& out, const CodeCase& c) {
    return out << c.code << "/" << c.value << " kind " << c.kind;
}

// Slot 2 is mid-run with turn 2 of 5 and part index 2; slot 5 downloads beside it, so no
// single notification ends the batch.
class StatusCodeTest : public ConsoleTest, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(StatusCodeTest, WordsTheCodeAndUpdatesTheSlot) {
    const CodeCase& c = GetParam();
    StartBatch({2, 5});
    dlg->m_aSlotStatus[2].nImageKind = c.kind;
    dlg->m_aSlotStatus[2].nPartIndex = 2;
    dlg->m_nTurn[2] = 2;
    dlg->m_nTurnTotal[2] = 5;
    dlg->m_prgSlot[2]->SetPos(kStartPos);

    Send(c.code, 2, c.value);

    EXPECT_EQ(BarText(2), c.text);
    EXPECT_EQ(BarPos(2), c.barPos == kUnchanged ? kStartPos : c.barPos);
    EXPECT_EQ(LabelText(2), c.caption);
    EXPECT_EQ(dlg->m_aSlotStatus[2].nState, c.bFailed ? SLOT_FAILED : SLOT_DOWNLOADING);
    EXPECT_EQ(LabelColour(2), c.bFailed ? RGB(255, 0, 0) : RGB(255, 255, 0));
    EXPECT_EQ(dlg->m_nFailCount, c.bFailed ? 1 : 0);
    EXPECT_EQ(dlg->m_nSuccessCount, 0);
    EXPECT_EQ(Enabled(kSlotResetIds[2]), c.bFailed);
    EXPECT_EQ(Text(ctl::kDetectedCount),
              c.bFailed ? "Currently 1 device(s) detected." : "Currently 2 device(s) detected.");
    EXPECT_EQ(MainLog(), "") << "the batch is not over while slot 5 downloads";
    EXPECT_EQ(dlg->m_aSlotStatus[5].nState, SLOT_DOWNLOADING);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, StatusCodeTest,
    ::testing::Values(
        CodeCase{202, 0, 0, "Writing eboot to flash ...", 100, false, "OK 3"},
        CodeCase{204, 150, 0, "Downloading eBoot to ram... 100%", 100, false, "OK 3"},
        CodeCase{204, 40, 1, "Downloading PDA to ram... 40%(2/5)", 40, false, "PDA 3"},
        CodeCase{204, 40, 2, "Downloading CSC to ram... 40%", 40, false, "CSC 3"},
        CodeCase{204, 40, 3, "Downloading LANGPACK to ram... 40%", 40, false, "LANGPACK 3"},
        CodeCase{204, 40, 4, "Downloading Phone to ram... 40%", 40, false, "PHONE 3"},
        CodeCase{204, 40, 5, "Downloading SMD Image to ram... 40%", 40, false, "OK 3"},
        CodeCase{204, 40, 6, "Downloading Image to ram 40% (3/5)", 40, false, "OK 3"},
        CodeCase{205, 9, 1, "Calculating checksum ...", kUnchanged, false, "PDA 3"},
        CodeCase{206, 55, 4, "Writing Phone to flash 55%", 55, false, "PHONE 3"},
        CodeCase{206, 55, 2, "Writing CSC to flash 55%", 55, false, "CSC 3"},
        CodeCase{206, 55, 3, "Writing LANGPACK to flash 55%", 55, false, "LANGPACK 3"},
        CodeCase{206, 55, 1, "Writing PDA to flash 55%(2/5)", 55, false, "PDA 3"},
        CodeCase{206, 55, 0, "Writing PDA to flash 55%(2/5)", 55, false, "OK 3"},
        CodeCase{206, 150, 5, "Writing PDA to flash 100%(2/5)", 100, false, "OK 3"},
        CodeCase{209, 1, 0, "[FAIL] EBOOT read error from file", kUnchanged, true, "OK 3"},
        CodeCase{209, 0, 0, "[FAIL] EBOOT read error from usb", kUnchanged, true, "OK 3"},
        CodeCase{209, 1, 2, "[FAIL] read error from file", kUnchanged, true, "CSC 3"},
        CodeCase{209, 0, 2, "[FAIL] read error from usb", kUnchanged, true, "CSC 3"},
        CodeCase{209, 7, 1, "[FAIL] read error from usb", kUnchanged, true, "PDA 3"},
        CodeCase{210, 150, 1, "[FAIL] Writing PDA to flash 150%", kUnchanged, true, "PDA 3"},
        CodeCase{210, 30, 4, "[FAIL] Writing Phone to flash 30%", kUnchanged, true, "PHONE 3"},
        CodeCase{210, 30, 2, "[FAIL] Writing CSC to flash 30%", kUnchanged, true, "CSC 3"},
        CodeCase{210, 30, 3, "[FAIL] Writing LANGPACK to flash 30%", kUnchanged, true,
                 "LANGPACK 3"},
        CodeCase{210, 30, 5, "[FAIL] Writing PDA to flash 30%", kUnchanged, true, "OK 3"},
        CodeCase{212, 0, 0, "[FAIL] Eboot Checksum !!", kUnchanged, true, "OK 3"},
        CodeCase{212, 0, 4, "[FAIL] Phone Checksum !!", kUnchanged, true, "PHONE 3"},
        CodeCase{212, 0, 2, "[FAIL] CSC Checksum !!", kUnchanged, true, "CSC 3"},
        CodeCase{212, 0, 3, "[FAIL] LANGPACK Checksum !!", kUnchanged, true, "LANGPACK 3"},
        CodeCase{212, 0, 1, "[FAIL] PDA Checksum !!", kUnchanged, true, "PDA 3"},
        CodeCase{215, 1, 0, "Try downloading again", kUnchanged, false, "OK 3"},
        CodeCase{216, 1, 1, "Reboot failed", kUnchanged, true, "PDA 3"},
        CodeCase{217, 0, 1, "Waiting for booting process....", kUnchanged, false, "PDA 3"},
        CodeCase{203, 50, 2, "", kUnchanged, false, "CSC 3"}));

using StatusHandlerTest = ConsoleTest;

TEST_F(StatusHandlerTest, FinishedRunPaintsTheLabelBlueAndCountsTheSuccess) {
    StartBatch({0, 1, 2});
    dlg->m_aSlotStatus[1].nImageKind = IMG_PHONE;
    Send(518, 1, 0);
    EXPECT_EQ(BarText(1), "Job Done.Launched!!");
    EXPECT_EQ(BarPos(1), 100);
    EXPECT_EQ(LabelText(1), "OK 2");
    EXPECT_EQ(LabelColour(1), RGB(0, 0, 255));
    EXPECT_EQ(dlg->m_aSlotStatus[1].nState, SLOT_DONE);
    EXPECT_EQ(dlg->m_aSlotStatus[1].nImageKind, IMG_FINISHED);
    EXPECT_EQ(dlg->m_nSuccessCount, 1);
    EXPECT_TRUE(Enabled(kSlotResetIds[1]));
    EXPECT_EQ(dlg->m_logs.SlotText(1), "[Success:2] Finished downloading!\r\n");

    Send(518, 2, 1);
    EXPECT_EQ(BarText(2), "Job Done.") << "not launched: the format filled with nothing";
    EXPECT_EQ(dlg->m_nSuccessCount, 2);
    EXPECT_EQ(MainLog(), "");
}

TEST_F(StatusHandlerTest, LastSlotEndingWritesTheBatchLineAndUnlocksTheOperator) {
    StartBatch({0, 3});
    Send(518, 0);
    EXPECT_EQ(MainLog(), "");
    EXPECT_FALSE(Enabled(ctl::kEbootButton)) << "still locked while slot 3 downloads";

    Send(212, 3);
    EXPECT_EQ(MainLog(), "All Download finished. But failed device is detected \r\n");
    for (const int id : g_aOperatorCtrlId) {
        if (id == ctl::kDetect || id == ctl::kStartDownloading) {
            EXPECT_FALSE(Enabled(id)) << id;
        } else {
            EXPECT_TRUE(Enabled(id)) << id;
        }
    }
    EXPECT_EQ(Text(ctl::kDetectedCount), "Currently 1 device(s) detected.");
}

TEST_F(StatusHandlerTest, BatchWithoutFailuresEndsWithThePlainLine) {
    StartBatch({0, 1});
    Send(518, 1);
    Send(518, 0);
    EXPECT_EQ(MainLog(), "All Download finished. \r\n");
}

// A flash write on a closed link reports its failure twice. The slot must count once, or
// the batch would look over while slot 1 still downloads.
TEST_F(StatusHandlerTest, ASlotThatFailsTwiceCountsOnce) {
    StartBatch({0, 1, 4});
    Send(210, 0, 0);
    Send(210, 0, 12);
    EXPECT_EQ(dlg->m_nFailCount, 1);
    EXPECT_EQ(BarText(0), "[FAIL] Writing PDA to flash 12%") << "a later failure still shows";
    EXPECT_EQ(LabelColour(0), RGB(255, 0, 0));
    EXPECT_EQ(Text(ctl::kDetectedCount), "Currently 2 device(s) detected.");

    Send(518, 4);
    EXPECT_EQ(MainLog(), "") << "slot 1 is still downloading";
    EXPECT_FALSE(Enabled(ctl::kResetAll));

    Send(209, 1, 0);
    EXPECT_EQ(dlg->m_nFailCount, 2);
    EXPECT_EQ(MainLog(), "All Download finished. But failed device is detected \r\n");

    // The last slot repeating its failure, or a done slot still talking, ends nothing again.
    Send(209, 1, 0);
    Send(205, 4);
    EXPECT_EQ(dlg->m_nFailCount, 2);
    EXPECT_EQ(MainLog(), "All Download finished. But failed device is detected \r\n");
}

TEST_F(StatusHandlerTest, AResetSlotCountsItsNextFailureAgain) {
    StartBatch({0, 1});
    Send(216, 0, 1);
    dlg->OnBnClickedResetSlot(0);
    dlg->m_stackFreeSlots.Pop();
    dlg->m_aSlotStatus[0].nState = SLOT_DOWNLOADING;
    Send(216, 0, 1);
    EXPECT_EQ(dlg->m_nFailCount, 2);
}

TEST_F(StatusHandlerTest, SlotsOutsideTheTableAreIgnored) {
    StartBatch({0});
    for (const int slot : {8, 100, 0xFFFF}) {
        Send(518, slot);
        Send(212, slot);
    }
    EXPECT_EQ(dlg->m_nSuccessCount, 0);
    EXPECT_EQ(dlg->m_nFailCount, 0);
    EXPECT_EQ(MainLog(), "");
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(BarText(slot), "Waiting for device..");
        EXPECT_EQ(LabelColour(slot), RGB(255, 255, 0));
    }
}

}  // namespace
}  // namespace vantorel::console::test
