// Shifts on the bench: the built vantorel-bench run as a factory script runs it, in batches
// and with slots that run on their own, every handset checked byte for byte.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "bench/bench_arguments.h"
#include "bench/shift_plan.h"
#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using namespace std::chrono_literals;

int CountMatches(const std::string& text, const std::string& pattern) {
    const std::regex line(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), line),
                                          std::sregex_iterator()));
}

double HandsetsPerHour(const std::string& out) {
    std::smatch found;
    if (!std::regex_search(out, found, std::regex("handsets per hour: ([0-9.]+)"))) {
        return -1;
    }
    return std::stod(found[1].str());
}

class ShiftProgramTest : public ::testing::TestWithParam<bool> {
protected:
    RunResult Shift(std::vector<std::string> args) {
        args.insert(args.begin(), {"--headless", "--images", (scratch / "images").string(),
                                   "--no-records", "--uncheck", "Wait after download"});
        if (GetParam()) {
            args.insert(args.end(), {"--check", "Slots run on their own"});
        }
        return RunProgram(VANTOREL_BENCH_PROGRAM, args,
                          {"XDG_DATA_HOME=" + (scratch / "data").string(),
                           "XDG_STATE_HOME=" + (scratch / "state").string()},
                          scratch.Path().string(), 180s);
    }

    vantorel::test::TempDir scratch;
};

TEST_P(ShiftProgramTest, EveryHandsetOfTheShiftIsFlashedByteForByte) {
    const RunResult run = Shift({"--shift", "12", "--swap-seconds", "5", "--handset-spread", "20"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(CountMatches(run.out, "Job Done\\.Launched!!, flashed byte for byte\n"), 12)
        << run.out;
    EXPECT_NE(
        run.out.find(std::string("shift (") + (GetParam() ? "slots run on their own" : "batches") +
                     "): 12 handset(s), 12 done, 0 failed, 0 byte problem(s)\n"),
        std::string::npos)
        << run.out;
    EXPECT_GT(HandsetsPerHour(run.out), 0) << run.out;
}

TEST_P(ShiftProgramTest, ASocketWhoseHandsetsFailFailsTheShiftAndTheOthersGoOn) {
    const RunResult run = Shift({"--shift", "6", "--handset", "2:--wrong-sum-at 3"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(CountMatches(run.out, "\\(1-2, slot [0-9]\\): \\[FAIL\\]"), 1) << run.out;
    EXPECT_EQ(CountMatches(run.out, "flashed byte for byte\n"), 5) << run.out;
    EXPECT_NE(run.out.find("6 handset(s), 5 done, 1 failed"), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Modes, ShiftProgramTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Pipelined" : "Batches"; });

// An external handset that comes while the emulated one downloads is flashed as it arrives,
// and the run waits for it to end.
TEST(PipelinedTtyTest, AnExternalHandsetIsFlashedAsItArrivesAndTheRunWaitsForIt) {
    vantorel::test::TempDir scratch;
    const std::string link = (scratch / "ext-handset").string();
    ChildProcess bench(
        VANTOREL_BENCH_PROGRAM,
        {"--headless", "--handsets", "1", "--tty", link, "--images", (scratch / "images").string(),
         "--time-scale", "0.01", "--no-records", "--check", "Slots run on their own"},
        {"XDG_DATA_HOME=" + (scratch / "data").string(),
         "XDG_STATE_HOME=" + (scratch / "state").string()},
        (scratch / "bench.out").string(), (scratch / "bench.err").string());
    ASSERT_TRUE(bench.Started());
    // Well after the emulated handset ended and beyond the batch run's wait for attaching:
    // only a run that waits for every named handset to end still sees this one.
    std::this_thread::sleep_for(5s);
    ChildProcess handset(VANTOREL_PTY_HANDSET_PROGRAM, {"--clock-scale", "0.01", "--link", link},
                         {}, (scratch / "handset.out").string(),
                         (scratch / "handset.err").string());
    ASSERT_TRUE(handset.Started());
    const int exitCode = bench.Wait(120s);
    const std::string out = ReadText((scratch / "bench.out").string());
    EXPECT_EQ(exitCode, 0) << out << ReadText((scratch / "bench.err").string());
    EXPECT_NE(out.find("result: passed, 2 of 2 handset(s) done\n"), std::string::npos) << out;
    EXPECT_EQ(handset.Wait(20s), 0);
    EXPECT_NE(ReadText((scratch / "handset.out").string()).find("reboots=1 launched=1"),
              std::string::npos);
}

TEST(ShiftArgumentsTest, AShiftIsHeadlessAndItsDetailsNeedIt) {
    BenchArguments args;
    std::string error;
    ASSERT_TRUE(ParseBenchArguments(
        {"--headless", "--shift", "40", "--swap-seconds", "2.5", "--handset-spread", "20"}, args,
        error))
        << error;
    ASSERT_TRUE(args.shift);
    EXPECT_EQ(args.shift->nHandsets, 40);
    EXPECT_EQ(args.shift->swapSeconds, 2.5);
    EXPECT_EQ(args.shift->spreadPercent, 20);

    for (const std::vector<std::string>& refused : std::vector<std::vector<std::string>>{
             {"--shift", "4"},
             {"--headless", "--swap-seconds", "3"},
             {"--headless", "--shift", "0"},
             {"--headless", "--shift", "4", "--handset-spread", "95"},
             {"--headless", "--shift", "4", "--handsets", "3"},
         }) {
        EXPECT_FALSE(ParseBenchArguments(refused, args, error)) << refused.back();
    }
}

TEST(ShiftPlanTest, FlashTimesSpreadWithinTheirBoundAndAreTheSameInEveryRun) {
    EXPECT_EQ(ShiftFlashStep(7, 0), kShiftFlashStep);
    std::set<Clock::Duration::rep> distinct;
    for (int number = 0; number < 50; ++number) {
        const Clock::Duration step = ShiftFlashStep(number, 20);
        EXPECT_EQ(step, ShiftFlashStep(number, 20));
        EXPECT_GE(step.count(), kShiftFlashStep.count() * 8 / 10);
        EXPECT_LE(step.count(), kShiftFlashStep.count() * 12 / 10);
        distinct.insert(step.count());
    }
    EXPECT_GT(distinct.size(), 40u) << "the handsets differ";
    EXPECT_DOUBLE_EQ(PerHour(30, std::chrono::minutes(30)), 60.0);
    EXPECT_EQ(PerHour(3, std::chrono::seconds(0)), 0.0);
}

}  // namespace
}  // namespace vantorel::bench::test
