// The window programs answer --help and --version, and refuse to start without a display,
// all without opening a window (as on a build machine or over ssh).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

// Qt's one-dash options are Qt's: they pass the station's parser, and -platform and -display
// decide where the window would open, as they will for Qt.
TEST(StationCommandLineTest, QtsOwnOptionsPassAndDecideTheDisplay) {
    vantorel::test::TempDir scratch;
    const auto run = [&](std::vector<std::string> args) {
        return RunProgram(VANTOREL_STATION_PROGRAM, args, kNoDisplay, scratch.Path().string(), 30s);
    };
    const RunResult named = run({"-style", "fusion", "-platform", "xcb", "-display", ":87"});
    EXPECT_EQ(named.exitCode, 2) << named.err;
    EXPECT_NE(named.err.find("vantorel: cannot open display :87"), std::string::npos) << named.err;
    const RunResult unnamed = run({"-reverse", "-platform=xcb"});
    EXPECT_EQ(unnamed.exitCode, 2) << unnamed.err;
    EXPECT_NE(unnamed.err.find("vantorel: no display: DISPLAY is not set"), std::string::npos)
        << unnamed.err;
    const RunResult version = run({"-style", "fusion", "--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    const RunResult unknown = run({"-stile", "fusion"});
    EXPECT_EQ(unknown.err, "vantorel: unknown option -stile (see vantorel --help)\n");
}

// A bad bench command line: one line naming the program and the mistake, and status 2, before
// any window or sample set.
TEST(BenchCommandLineTest, ABadCommandLineIsOneLineAndExitsTwo) {
    vantorel::test::TempDir scratch;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--link", "usb"}, "bad value for --link: 'usb' (bulk or serial)"},
        {{"--headless", "--handsets"}, "missing value after --handsets"},
        {{"--headless", "extra"}, "unexpected argument 'extra'"},
        {{"--headless", "--handsets", "0"}, "nothing to run: --handsets 0 and no --tty"},
        {{"--headless=yes"}, "unexpected value after '--headless'"},
    };
    for (const auto& [args, message] : cases) {
        const RunResult run =
            RunProgram(VANTOREL_BENCH_PROGRAM, args, kNoDisplay, scratch.Path().string(), 30s);
        EXPECT_EQ(run.exitCode, 2) << args.front();
        EXPECT_EQ(run.err, "vantorel-bench: " + message + " (see vantorel-bench --help)\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(scratch / "data")) << "no sample set for a bad line";
}

TEST(BenchCommandLineTest, HelpListsTheStationsOptionsAndTheBenchsOwn) {
    vantorel::test::TempDir scratch;
    const RunResult help =
        RunProgram(VANTOREL_BENCH_PROGRAM, {"-h"}, kNoDisplay, scratch.Path().string(), 30s);
    ASSERT_EQ(help.exitCode, 0);
    for (const char* entry :
         {"\n  --headless             no window", "\n  --eboot FILE  --pda FILE",
          "\n  --port-map MAP         with --slots-follow-ports",
          "\n                         by default emulated handset K (port 1-K) is bound",
          "\n  --no-records           keep no records", "\n  -h, --help             this text",
          "\nExit status: 0"}) {
        EXPECT_NE(help.out.find(entry), std::string::npos) << entry;
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
