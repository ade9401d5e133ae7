// Every program's command line as its users meet it: the built program run with --help, with
// a few mistakes (one line naming the program and the mistake, status 2), and where it is
// cheap, with a line that works.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantorel::command_line {
namespace {

using namespace std::chrono_literals;
using bench::test::RunProgram;
using bench::test::RunResult;

struct ProgramLines {
    const char* path;
    // Words that must be refused, and what the one line says about them.
    std::vector<std::pair<std::vector<std::string>, std::string>> mistakes;
};

std::string NameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

void PrintTo(const ProgramLines& lines, std::ostream* out) {
    *out << NameOf(lines.path);
}

class ProgramsTest : public ::testing::TestWithParam<ProgramLines> {
protected:
    RunResult Run(const std::vector<std::string>& args) {
        return RunProgram(GetParam().path, args, {}, scratch.Path().string(), 60s);
    }
    vantorel::test::TempDir scratch;
};

TEST_P(ProgramsTest, HelpPrintsTheUsageAndExitsZero) {
    for (const char* help : {"--help", "-h"}) {
        const RunResult run = Run({help});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.starts_with("usage: " + NameOf(GetParam().path))) << run.out;
        EXPECT_NE(run.out.find("  -h, --help"), std::string::npos) << run.out;
    }
}

TEST_P(ProgramsTest, AMistakeIsOneLineAndExitsTwo) {
    const std::string name = NameOf(GetParam().path);
    for (const auto& [args, message] : GetParam().mistakes) {
        const RunResult run = Run(args);
        EXPECT_EQ(run.exitCode, 2) << args.front();
        EXPECT_EQ(run.err, name + ": " + message + " (see " + name + " --help)\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryProgram, ProgramsTest,
    ::testing::Values(
        ProgramLines{VANTOREL_PTY_HANDSET_PROGRAM,
                     {{{"--link"}, "missing value after --link"},
                      {{"--unplug-at", "x", "--link", "/tmp/h"}, "bad value for --unplug-at: 'x'"},
                      {{"--gadget", "h1:udc"}, "unknown option --gadget"},
                      {{"--clock-scale", "1"}, "no --link given"}}},
        ProgramLines{
            VANTOREL_GADGET_HANDSET_PROGRAM,
            {{{"--link", "/tmp/h"}, "unknown option --link (a gadget is --gadget NAME:UDC)"},
             {{"--gadget", "h1"}, "bad value for --gadget: 'h1' (NAME:UDC)"},
             {{"--pack-replies"}, "no --gadget given"}}},
        ProgramLines{VANTOREL_USB_PROBE_PROGRAM,
                     {{{"--handsets", "-1"}, "bad value for --handsets: '-1'"},
                      {{"--record-dir", "/tmp/r"}, "--record-dir needs --gadget-pid"},
                      {{"probe"}, "unexpected argument 'probe'"}}},
        ProgramLines{
            VANTOREL_RECORD_CHECK_PROGRAM,
            {{{"--done", "h1"}, "--record-dir, --gadget-pid, --done and an image file are needed"},
             {{"--gadget-pid", "0"}, "bad value for --gadget-pid: '0'"},
             {{"--done", ","}, "bad value for --done: ',' (NAME[,NAME...])"}}},
        ProgramLines{VANTOREL_MAKE_IMAGES_PROGRAM,
                     {{{"--sector", "0"}, "bad value for --sector: '0'"},
                      {{"--multi-csc", "3,,5"}, "bad value for --multi-csc: '3,,5'"},
                      {{"--eboot"}, "missing value after --eboot"}}},
        ProgramLines{VANTOREL_LINK_DEMO_PROGRAM,
                     {{{"eight"}, "bad size 'eight' (megabytes, 1 to 1024)"},
                      {{"1", "2"}, "unexpected argument '2'"}}}
#ifdef VANTOREL_BENCHMARKS_PROGRAM
        ,
        ProgramLines{VANTOREL_BENCHMARKS_PROGRAM,
                     {{{"--only", "speed"}, "bad value for --only: 'speed' (no such group)"},
                      {{"--runs", "0"}, "bad value for --runs: '0'"},
                      {{"--quick", "extra"}, "unexpected argument 'extra'"}}}
#endif
        ),
    [](const auto& info) {
        std::string name = NameOf(info.param.path);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// Lines that work, for the programs that need neither root nor a long run.
TEST(ProgramLinesThatWork, MakeImagesWritesTheSetWhereItIsTold) {
    vantorel::test::TempDir scratch;
    const std::string out = (scratch / "set").string();
    const RunResult run =
        RunProgram(VANTOREL_MAKE_IMAGES_PROGRAM,
                   {"--out=" + out, "--eboot", "0x1000", "--pda", "8192", "--multi-csc", "1,2"}, {},
                   scratch.Path().string(), 60s);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(scratch / "set" / "eboot.eb0"), 0x1000u);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 11) << run.out;
}

TEST(ProgramLinesThatWork, LinkDemoTakesItsSize) {
    vantorel::test::TempDir scratch;
    const RunResult run =
        RunProgram(VANTOREL_LINK_DEMO_PROGRAM, {"1"}, {}, scratch.Path().string(), 120s);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("both link variants passed"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace vantorel::command_line
