// The window programs answer --help and --version, and refuse to start without a display,
// all without opening a window (as on a build machine or over ssh).
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using namespace std::chrono_literals;

// No display of any kind, and no platform that needs none.
const std::vector<std::string> kNoDisplay = {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="};

class CommandLineTest : public ::testing::TestWithParam<const char*> {
protected:
    RunResult Run(std::vector<std::string> args) {
        std::vector<std::string> env = kNoDisplay;
        env.push_back("XDG_DATA_HOME=" + (scratch / "data").string());
        return RunProgram(GetParam(), args, env, scratch.Path().string(), 30s);
    }
    std::string Name() const {
        const std::string program = GetParam();
        return program.substr(program.rfind('/') + 1);
    }
    vantorel::test::TempDir scratch;
};

TEST_P(CommandLineTest, HelpAndVersionPrintAndExitZeroWithoutADisplay) {
    const RunResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("usage: " + Name()), std::string::npos) << help.out;
    const RunResult version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, Name() + " " + VANTOREL_VERSION_TEXT + "\n");
}

TEST_P(CommandLineTest, WithoutADisplayTheWindowProgramSaysSoInOneLineAndExitsTwo) {
    const RunResult run = Run({});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(Name() + ": no display"), std::string::npos) << run.err;
}

// A display that is named but does not answer: one line and 2, not Qt's abort (134).
TEST_P(CommandLineTest, ADisplayThatDoesNotAnswerIsSaidInOneLineAndExitsTwo) {
    std::vector<std::string> env = {"DISPLAY=:87", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=",
                                    "XDG_DATA_HOME=" + (scratch / "data").string()};
    const RunResult run = RunProgram(GetParam(), {}, env, scratch.Path().string(), 30s);
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(Name() + ": cannot open display :87"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, CommandLineTest,
                         ::testing::Values(VANTOREL_BENCH_PROGRAM, VANTOREL_STATION_PROGRAM),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "bench" : "station");
                         });

TEST(StationCommandLineTest, AnUnknownOptionIsSaidAndExitsTwoBeforeAnyWindow) {
    vantorel::test::TempDir scratch;
    for (const char* wrong : {"--bogus", "images.nb0"}) {
        const RunResult run =
            RunProgram(VANTOREL_STATION_PROGRAM, {wrong}, kNoDisplay, scratch.Path().string(), 30s);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.err,
                  std::string("vantorel: unknown option ") + wrong + " (see vantorel --help)\n");
    }
}

TEST(BenchCommandLineTest, WithoutADisplayTheBenchPointsToHeadless) {
    vantorel::test::TempDir scratch;
    std::vector<std::string> env = kNoDisplay;
    env.push_back("XDG_DATA_HOME=" + (scratch / "data").string());
    const RunResult run = RunProgram(VANTOREL_BENCH_PROGRAM, {}, env, scratch.Path().string(), 30s);
    EXPECT_NE(run.err.find("--headless needs none"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace vantorel::bench::test
