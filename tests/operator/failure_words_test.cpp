// Failures in the operator's words, beside the bar's own texts, and a stall that shows.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <set>

#include "console/caption_contrast.h"
#include "console/failure_advice.h"
#include "console/slot_pace.h"
#include "console/slot_status_text.h"
#include "engine/slot_status.h"
#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using namespace std::chrono_literals;

// Every status that fails a slot has its sentence, one that says what to do; none that does
// not fail has one.
TEST(FailureWordsTest, EveryFailureStatusHasAPlainSentence) {
    std::set<std::string> sentences;
    for (const uint32_t code : FailureStatusCodes()) {
        for (const uint32_t value : {0u, 1u}) {
            const std::string text = FailureAdvice(code, value, {});
            EXPECT_FALSE(text.empty()) << code;
            EXPECT_NE(text.find(": "), std::string::npos) << "what to do, after what happened";
            sentences.insert(text);
        }
        // Each code's failure is told by the status handler as a failure.
        const StatusAction action = DescribeSlotStatus(code, 0, StatusContext{});
        EXPECT_TRUE(action.bFailed) << code;
    }
    EXPECT_GE(sentences.size(), FailureStatusCodes().size());
    for (uint32_t code = 200; code < 600; ++code) {
        if (!DescribeSlotStatus(code, 0, StatusContext{}).bFailed) {
            EXPECT_EQ(FailureAdvice(code, 0, {}), "") << code;
        }
        if (DescribeSlotStatus(code, 0, StatusContext{}).bFailed) {
            const auto codes = FailureStatusCodes();
            EXPECT_NE(std::find(codes.begin(), codes.end(), code), codes.end()) << code;
        }
    }
    EXPECT_EQ(FailureAdvice(engine::kStatusReadError, 0, FailureFacts{false, std::nullopt}),
              "Unplugged during the download");
    EXPECT_EQ(FailureAdvice(engine::kStatusChecksumMismatch, 0, FailureFacts{true, 40u}),
              "The handset answered a wrong checksum at packet 40: retry; replace the handset "
              "if it fails again");
    EXPECT_EQ(FailureAdvice(engine::kStatusRebootFailed, 1, {}),
              "The handset did not come back after its reboot: check the cable and try again");
}

TEST_F(ConsoleTest, AFailedSlotSaysItInPlainWordsBesideTheBarsOwnText) {
    StartBatch({0, 1});
    dlg->NoteWrongChecksumAt(0, 40);
    Send(212, 0);
    Send(216, 1, 1);
    EXPECT_EQ(BarText(0), "[FAIL] Eboot Checksum !!") << "the bar's own text stays";
    const QString checksum = QStringLiteral(
        "The handset answered a wrong checksum at packet 40: retry; replace the handset if it "
        "fails again");
    EXPECT_EQ(dlg->m_prgSlot[0]->toolTip(), checksum);
    // The line under the bar says it as far as the bar reaches, and never widens the window.
    const auto startsLine = [&](int slot, const QString& sentence) {
        const QString line = dlg->m_lblPace[slot]->text();
        return !line.isEmpty() &&
               sentence.startsWith(line.endsWith(QChar(0x2026)) ? line.chopped(1) : line);
    };
    EXPECT_TRUE(startsLine(0, checksum)) << dlg->m_lblPace[0]->text().toStdString();
    EXPECT_TRUE(startsLine(1, QStringLiteral("The handset did not come back after its reboot: "
                                             "check the cable and try again")));
    EXPECT_EQ(dlg->m_lblPace[0]->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    // The sentence stays while the pace column refreshes, and goes with the slot's reset.
    const QString shown = dlg->m_lblPace[0]->text();
    QTest::qWait(700);
    EXPECT_EQ(dlg->m_lblPace[0]->text(), shown);
    dlg->OnBnClickedResetSlot(0);
    EXPECT_EQ(dlg->m_lblPace[0]->text(), QString());
    EXPECT_EQ(dlg->m_prgSlot[0]->toolTip(), QString());
}

// The bar's text reads at 4.5:1 both on the bar and on the white part beside it.
TEST_F(ConsoleTest, TheBarTextMeetsTheReadableContrastOnBothParts) {
    const CTextProgressCtrl& bar = *dlg->m_prgSlot[0];
    EXPECT_GE(ContrastRatio(bar.GetTextColor(), bar.GetBgColor()), kReadableContrast);
    EXPECT_GE(ContrastRatio(bar.GetTextBkColor(), bar.GetBarColor()), kReadableContrast);
    // A light blue such as many styles select with is darkened, its hue kept.
    const COLORREF light = RGB(0x30, 0x8c, 0xc6);
    const COLORREF darker = DarkenedForContrast(light, RGB(255, 255, 255), kReadableContrast);
    EXPECT_LT(ContrastRatio(light, RGB(255, 255, 255)), kReadableContrast);
    EXPECT_GE(ContrastRatio(darker, RGB(255, 255, 255)), kReadableContrast);
    EXPECT_GT(darker >> 16 & 0xFF, darker & 0xFF) << "still blue";
}

TEST(StallTest, ASlotWithoutProgressForTenSecondsSaysSoAndCountsUp) {
    SlotPace pace;
    const auto t0 = std::chrono::steady_clock::time_point{} + 1h;
    pace.Progress(t0, 10, 10 * 1024 * 1024, 1);
    EXPECT_EQ(pace.Text(t0 + 9s), "measuring...");
    EXPECT_EQ(pace.Text(t0 + 10s), "no progress for 0:10");
    EXPECT_EQ(pace.Text(t0 + 75s), "no progress for 1:15");
    // Moving again, the rate comes back.
    pace.Progress(t0 + 80s, 20, 10 * 1024 * 1024, 1);
    EXPECT_NE(pace.Text(t0 + 80s).find(" left"), std::string::npos) << pace.Text(t0 + 80s);
}

}  // namespace
}  // namespace vantorel::console::test
