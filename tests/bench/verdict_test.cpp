#include <gtest/gtest.h>

#include <filesystem>

#include "bench/bench_verdict.h"
#include "bench/image_plan.h"
#include "bench/sample_directory.h"
#include "console/slot_state.h"
#include "engine/boot_loader_protocol.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using vantorel::test::PatternBytes;

emulator::FlashedImage Flashed(const std::vector<uint8_t>& bytes) {
    emulator::FlashedImage image;
    image.length = bytes.size();
    image.bytes = bytes;
    return image;
}

// A boot loader and a two-turn PDA image as files, and a record of a handset that flashed
// them as the station sends them.
class VerdictTest : public ::testing::Test {
protected:
    VerdictTest() {
        eboot = PatternBytes(5000, 1);
        pdaBody = PatternBytes(6144, 2);
        std::vector<uint8_t> pda(20 + pdaBody.size(), 0);
        engine::StoreLe32(pda.data() + 4, static_cast<uint32_t>(pdaBody.size()));
        std::copy(pdaBody.begin(), pdaBody.end(), pda.begin() + 20);
        chosen = {{images::IMG_EBOOT, files.WriteFile("eboot.eb0", eboot)},
                  {images::IMG_PDA, files.WriteFile("pda.nb0", pda)}};

        record.eboot = Flashed(eboot);
        const std::vector<uint8_t> head(pdaBody.begin(), pdaBody.begin() + 4096);
        const std::vector<uint8_t> tail(pdaBody.begin() + 4096, pdaBody.end());
        record.pdaTurns = {{0, 4096, 0, Flashed(head)}, {2, 2048, 0, Flashed(tail)}};

        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            slots[slot] = {slot, "PDA " + std::to_string(slot + 1), "Waiting for device..",
                           console::SLOT_WAITING, ""};
        }
    }

    void Done(int slot, const std::string& device) {
        slots[slot] = {slot, "OK " + std::to_string(slot + 1), "Job Done", console::SLOT_DONE,
                       device};
    }

    vantorel::test::TempDir files;
    std::vector<uint8_t> eboot, pdaBody;
    std::vector<emulator::ChosenImage> chosen;
    emulator::FlashRecord record;
    std::array<console::SlotOutcome, console::kSlotCount> slots;
};

TEST_F(VerdictTest, EveryHandsetDoneWithTheFilesFlashedPasses) {
    Done(0, "1-1");
    Done(1, "/tmp/tty-ext");
    const Verdict verdict =
        JudgeRun(slots, {{"1-1", "1-1", record}, {"/tmp/tty-ext", "/TMP/TTY-EXT", std::nullopt}},
                 chosen, false, 60);
    EXPECT_TRUE(verdict.bPassed);
    EXPECT_EQ(verdict.lines, std::vector<std::string>{"result: passed, 2 of 2 handset(s) done"});
    EXPECT_EQ(SlotLine(slots[0]), "slot 1: OK 1 | Job Done");
}

TEST_F(VerdictTest, FailuresNameTheSlotAndTheHandset) {
    slots[2] = {2, "PDA 3", "[FAIL] PDA Checksum !!", console::SLOT_FAILED, "1-3"};
    Done(3, "1-4");
    emulator::FlashRecord wrong = record;
    wrong.pdaTurns[1].image.bytes[7] ^= 1;
    const Verdict verdict = JudgeRun(
        slots,
        {{"1-3", "1-3", record}, {"1-4", "1-4", wrong}, {"1-5", "1-5", emulator::FlashRecord{}}},
        chosen, true, 60);
    EXPECT_FALSE(verdict.bPassed);
    EXPECT_EQ(verdict.lines, (std::vector<std::string>{
                                 "result: FAILED, 0 of 3 handset(s) done",
                                 "problem: the batch did not end within 60 s",
                                 "problem: slot 3 (handset 1-3) did not finish: PDA 3 | [FAIL] "
                                 "PDA Checksum !!",
                                 "problem: slot 4 (handset 1-4) flashed a PDA image that "
                                 "differs from pda.nb0",
                                 "problem: handset 1-5 did not attach to a slot",
                             }));
}

TEST_F(VerdictTest, WhatWasNotFlashedOrDiffersIsNamedPerImage) {
    EXPECT_TRUE(emulator::CheckFlashed(record, chosen).empty());

    emulator::FlashRecord empty;
    EXPECT_EQ(emulator::CheckFlashed(empty, chosen),
              (std::vector<std::string>{"did not flash the boot loader eboot.eb0",
                                        "did not flash the PDA image pda.nb0"}));

    emulator::FlashRecord shortEboot = record;
    shortEboot.eboot = Flashed({eboot.begin(), eboot.end() - 1});
    // A PDA with a turn missing is not the image, even if every turn flashed matches.
    shortEboot.pdaTurns.pop_back();
    EXPECT_EQ(emulator::CheckFlashed(shortEboot, chosen),
              (std::vector<std::string>{"flashed a boot loader that differs from eboot.eb0",
                                        "flashed a PDA image that differs from pda.nb0"}));

    std::filesystem::remove(chosen[0].path);
    EXPECT_EQ(emulator::CheckFlashed(record, {chosen[0]}),
              std::vector<std::string>{"could not read for the check: eboot.eb0"});
}

TEST_F(VerdictTest, TheFlashedAccountIsShort) {
    record.launched = true;
    EXPECT_EQ(emulator::DescribeFlashed(record), "EBoot 5 KiB, PDA 6 KiB (2 turns), launched");
    emulator::FlashRecord greeted;
    greeted.sessions = 1;
    EXPECT_EQ(emulator::DescribeFlashed(greeted), "nothing yet");
    EXPECT_EQ(emulator::DescribeFlashed(emulator::FlashRecord{}), "");
}

TEST(SampleSet, IsWrittenOnceAndMadeWholeAgainWhenBroken) {
    vantorel::test::TempDir dir;
    const std::string set = (dir / "samples").string();
    std::string error;
    ASSERT_TRUE(EnsureSampleSet(set, error)) << error;
    ASSERT_TRUE(std::filesystem::is_regular_file(SampleEbootPath(set)));
    const auto written = std::filesystem::last_write_time(SamplePdaPath(set));

    ASSERT_TRUE(EnsureSampleSet(set, error));
    EXPECT_EQ(std::filesystem::last_write_time(SamplePdaPath(set)), written) << "kept as it was";

    std::filesystem::remove(SamplePdaPath(set));
    ASSERT_TRUE(EnsureSampleSet(set, error));
    EXPECT_TRUE(std::filesystem::is_regular_file(SamplePdaPath(set)));

    // A file where the directory should be.
    const std::string blocked = dir.WriteFile("blocked", {1});
    EXPECT_FALSE(EnsureSampleSet(blocked + "/samples", error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

TEST(ImagePlan, TheSampleSetFirstThenFilesPerKindWithTheLastOneWinning) {
    vantorel::test::TempDir dir;
    BenchArguments args;
    args.imagesDirectory = (dir / "set").string();
    args.imageFiles = {{images::IMG_PDA, "/a/first.nb0"},
                       {images::IMG_CSC, "/a/c.csc"},
                       {images::IMG_PDA, "/a/second.nb0"}};
    std::vector<emulator::ChosenImage> chosen;
    std::string error;
    ASSERT_TRUE(PlanImages(args, "/unused", false, chosen, error)) << error;
    ASSERT_EQ(chosen.size(), 3u);
    EXPECT_EQ(chosen[0].path, SampleEbootPath(*args.imagesDirectory));
    EXPECT_EQ(chosen[1].path, "/a/second.nb0");
    EXPECT_EQ(chosen[2].kind, images::IMG_CSC);

    // Nothing named: the sample set when asked for, else nothing.
    args.imagesDirectory.reset();
    args.imageFiles.clear();
    ASSERT_TRUE(PlanImages(args, (dir / "default").string(), true, chosen, error));
    EXPECT_EQ(chosen.size(), 2u);
    ASSERT_TRUE(PlanImages(args, (dir / "default").string(), false, chosen, error));
    EXPECT_TRUE(chosen.empty());
}

}  // namespace
}  // namespace vantorel::bench::test
