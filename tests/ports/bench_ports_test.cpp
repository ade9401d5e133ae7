// The bench with slots that follow ports: its command line, and the built vantorel-bench run
// headless with the handsets plugged in against the slot order.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "bench/bench_arguments.h"
#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using namespace std::chrono_literals;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(BenchPortArguments, TakeAMapInlineOrFromAFileAndAPlugOrder) {
    vantorel::test::TempDir dir;
    const std::string file = (dir / "fixture.ports").string();
    std::ofstream(file) << "1=1-3\n2=1-2\n3=1-1\n";
    BenchArguments inlineMap, fileMap;
    std::string error;
    ASSERT_TRUE(ParseBenchArguments({"--headless", "--handsets", "3", "--slots-follow-ports",
                                     "--port-map", "1=1-3,2=1-2,3=1-1", "--plug-order", "reverse"},
                                    inlineMap, error))
        << error;
    ASSERT_TRUE(ParseBenchArguments({"--headless", "--handsets", "3", "--slots-follow-ports",
                                     "--port-map=" + file, "--plug-order", "2,3,1"},
                                    fileMap, error))
        << error;
    EXPECT_EQ(BenchPortMap(inlineMap), BenchPortMap(fileMap));
    EXPECT_EQ(BenchPortMap(inlineMap).SlotOf("1-1"), 2);
    EXPECT_EQ(inlineMap.plugOrder, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(fileMap.plugOrder, (std::vector<int>{1, 2, 0}));

    BenchArguments plain;
    ASSERT_TRUE(ParseBenchArguments({"--headless", "--handsets", "2", "--slots-follow-ports"},
                                    plain, error));
    EXPECT_EQ(BenchPortMap(plain).SlotOf("1-5"), 4) << "handset K's port is slot K's";
    EXPECT_EQ(plain.plugOrder, (std::vector<int>{0, 1}));
}

TEST(BenchPortArguments, RefuseWhatCannotWork) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--headless", "--port-map", "1=1-1"}, "goes with --slots-follow-ports"},
        {{"--headless", "--slots-follow-ports", "--link", "serial"}, "needs the bulk link"},
        {{"--headless", "--slots-follow-ports", "--port-map", "1=1-1,2=1-1"}, "'2=1-1'"},
        {{"--headless", "--slots-follow-ports", "--port-map", "/no/such/map"}, "cannot read"},
        {{"--headless", "--handsets", "3", "--plug-order", "1,2"}, "each of the 3"},
        {{"--headless", "--handsets", "3", "--plug-order", "1,1,2"}, "each of the 3"},
        {{"--headless", "--plug-order", "sideways"}, "reverse"},
        {{"--plug-order", "reverse"}, "for --headless runs"},
        {{"--real", "--slots-follow-ports"}, "needs their --port-map"},
    };
    for (const auto& [words, why] : refused) {
        BenchArguments args;
        std::string error;
        EXPECT_FALSE(ParseBenchArguments(words, args, error)) << words.back();
        EXPECT_TRUE(Contains(error, why)) << words.back() << ": " << error;
    }
}

// A map file is read only when it is a regular file of a map's size: a FIFO is not waited on,
// /dev/zero not swallowed, each refused with what it is.
TEST(BenchPortArguments, RefuseAMapFileThatIsNoSmallRegularFile) {
    vantorel::test::TempDir dir;
    const std::string fifo = (dir / "fifo.ports").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = (dir / "huge.ports").string();
    std::ofstream(huge).close();
    std::filesystem::resize_file(huge, 1u << 30);
    const std::vector<std::pair<std::string, std::string>> refused{
        {fifo, "not a regular file but a FIFO"},
        {"/dev/zero", "not a regular file but a character device"},
        {dir.Path().string(), "not a regular file but a directory"},
        {huge, "too large: 1073741824 bytes"},
    };
    for (const auto& [file, why] : refused) {
        BenchArguments args;
        std::string error;
        EXPECT_FALSE(ParseBenchArguments({"--headless", "--slots-follow-ports", "--port-map", file},
                                         args, error));
        EXPECT_TRUE(Contains(error, "bad value for --port-map: '" + file + "' (" + why)) << error;
    }
}

class BenchPortsRun : public ::testing::Test {
protected:
    RunResult Bench(std::vector<std::string> args) {
        args.insert(args.end(), {"--headless", "--images", (scratch / "images").string(),
                                 "--time-scale", "0.01", "--no-records"});
        return RunProgram(VANTOREL_BENCH_PROGRAM, args,
                          {"XDG_DATA_HOME=" + (scratch / "data").string(),
                           "XDG_STATE_HOME=" + (scratch / "state").string(),
                           "XDG_CONFIG_HOME=" + (scratch / "config").string()},
                          scratch.Path().string(), 120s);
    }
    vantorel::test::TempDir scratch;
};

// Plugged in last to first, each handset is reported in the slot its port is bound to, done,
// having flashed exactly the chosen images (the bench's verdict compares them).
TEST_F(BenchPortsRun, ReversePluggedHandsetsEachEndInTheirPortsSlot) {
    const RunResult run = Bench({"--handsets", "4", "--slots-follow-ports", "--port-map",
                                 "1=1-2,2=1-4,3=1-1,4=1-3", "--plug-order", "reverse"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    for (const char* line :
         {"handset 1-1: slot 3, its port's slot\n", "handset 1-2: slot 1, its port's slot\n",
          "handset 1-3: slot 4, its port's slot\n", "handset 1-4: slot 2, its port's slot\n",
          "slot 1: OK 1 | Job Done.Launched!!\n", "slot 4: OK 4 | Job Done.Launched!!\n",
          "result: passed, 4 of 4 handset(s) done\n"}) {
        EXPECT_TRUE(Contains(run.out, line)) << line << run.out;
    }
}

// A handset whose port no slot is bound to stays out: the run fails and says so.
TEST_F(BenchPortsRun, AHandsetOnAnUnboundPortFailsTheRun) {
    const RunResult run = Bench({"--handsets", "2", "--slots-follow-ports", "--port-map", "2=1-1"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(
        Contains(run.out, "[Setup] Port 1-2 is bound to no slot: handset left unattached.\n"))
        << run.out;
    EXPECT_TRUE(Contains(run.out, "handset 1-1: slot 2, its port's slot\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "problem: handset 1-2 did not attach to a slot")) << run.out;
}

}  // namespace
}  // namespace vantorel::bench::test
