// The slot worker against a handset whose answers come from a byte string (the harness of
// the download_worker fuzzer): a cooperative handset is flashed to the end, and a handset
// that goes silent, goes away or answers garbage at any point ends the run with one failure,
// never a success, and never a hang.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/hostile_handset.h"

namespace vantorel::faults {
namespace {

using test::HostileOutcome;
using test::RunHostileHandset;

constexpr uint8_t kEverything = 0x1F;  // EBoot, PDA, CSC, LANGPACK, Phone
constexpr uint8_t kCooperative = 0x02;

std::vector<uint8_t> Input(uint8_t images, uint8_t options, std::vector<uint8_t> script) {
    script.insert(script.begin(), {images, options});
    return script;
}

HostileOutcome Outcome(const std::vector<uint8_t>& input) {
    return RunHostileHandset(input.data(), input.size());
}

// How many handset bytes a cooperative run of `images` reads before it finishes.
size_t CooperativeLength(uint8_t images, uint8_t options) {
    const HostileOutcome outcome =
        Outcome(Input(images, options, std::vector<uint8_t>(4096, kCooperative)));
    EXPECT_EQ(outcome.statuses.back(), engine::kStatusFinished);
    return outcome.bytesRead;
}

TEST(HostileHandsetTest, ACooperativeHandsetIsFlashedToTheEnd) {
    for (const uint8_t images : {kEverything, uint8_t{0x20}, uint8_t{0x42}, uint8_t{0x01}}) {
        SCOPED_TRACE("images " + std::to_string(images));
        const HostileOutcome outcome =
            Outcome(Input(images, 0x20, std::vector<uint8_t>(4096, kCooperative)));
        EXPECT_EQ(outcome.problem, "");
        ASSERT_FALSE(outcome.statuses.empty());
        EXPECT_EQ(outcome.statuses.back(), engine::kStatusFinished);
        EXPECT_FALSE(outcome.bLinkLeftOpen);
    }
}

// The handset stops answering after every possible number of answers: each run ends with a
// failure status and keeps every rule.
TEST(HostileHandsetTest, SilenceAtAnyPointFailsTheRun) {
    const size_t length = CooperativeLength(kEverything, 0);
    ASSERT_GT(length, 20u);
    for (size_t cut = 0; cut < length; ++cut) {
        SCOPED_TRACE("silent after " + std::to_string(cut) + " answers");
        const HostileOutcome outcome =
            Outcome(Input(kEverything, 0, std::vector<uint8_t>(cut, kCooperative)));
        EXPECT_EQ(outcome.problem, "");
        ASSERT_FALSE(outcome.statuses.empty());
        EXPECT_NE(outcome.statuses.back(), engine::kStatusFinished);
    }
}

// The same with the handset going away, or answering with a long burst of bytes, at each
// point instead.
TEST(HostileHandsetTest, AGoneOrBabblingHandsetAtAnyPointFailsTheRun) {
    const size_t length = CooperativeLength(kEverything, 0x10);
    for (size_t at = 0; at < length; ++at) {
        for (const std::vector<uint8_t>& fault :
             {std::vector<uint8_t>{1},
              std::vector<uint8_t>{7, 9, 'O', 'K', 'D', 'N', 1, 2, 3, 4, 5}}) {
            SCOPED_TRACE("fault " + std::to_string(fault[0]) + " at answer " + std::to_string(at));
            std::vector<uint8_t> script(at, kCooperative);
            script.insert(script.end(), fault.begin(), fault.end());
            script.resize(script.size() + length, kCooperative);
            const HostileOutcome outcome = Outcome(Input(kEverything, 0x10, script));
            EXPECT_EQ(outcome.problem, "");
        }
    }
}

}  // namespace
}  // namespace vantorel::faults
