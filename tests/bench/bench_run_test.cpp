// The built vantorel-bench run headless as a separate process, as CI and a factory script
// run it.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "base/sha256.h"
#include "emulator/flash_digest.h"
#include "records/slot_report.h"
#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"

namespace vantorel::bench::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kRunBound = 90s;

namespace fs = std::filesystem;

using vantorel::test::ReadFileText;

std::string Sha256Of(const std::string& path) {
    const std::string bytes = ReadFileText(path);
    return Sha256::Of({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).ToHex();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

int CountMatches(const std::string& text, const std::string& pattern) {
    const std::regex line(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), line),
                                          std::sregex_iterator()));
}

class BenchProgramTest : public ::testing::Test {
protected:
    RunResult Bench(std::vector<std::string> args) {
        return RunProgram(VANTOREL_BENCH_PROGRAM, args, Environment(), scratch.Path().string(),
                          kRunBound);
    }
    // The sample set goes to the scratch directory, never to the user's own.
    std::vector<std::string> Environment() const {
        return {"XDG_DATA_HOME=" + (scratch / "data").string(),
                "XDG_STATE_HOME=" + (scratch / "state").string()};
    }
    std::string Images() const { return (scratch / "images").string(); }

    vantorel::test::TempDir scratch;
};

class BenchLinkTest : public BenchProgramTest, public ::testing::WithParamInterface<const char*> {};

// A batch of eight with one handset failing leaves its records: the report names every
// handset with its result and the images' digests, the main log ends as the window's did.
TEST_F(BenchProgramTest, AHeadlessBatchLeavesItsLogsAndAReportPerHandset) {
    const fs::path copy = scratch / "copy.jsonl";
    const RunResult run =
        Bench({"--headless", "--handsets", "8", "--images", Images(), "--time-scale", "0.01",
               "--handset", "3:--wrong-sum-at 40", "--report", copy.string()});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    std::smatch found;
    ASSERT_TRUE(std::regex_search(run.out, found, std::regex("Records: ([^\n]+)\n"))) << run.out;
    const fs::path folder = found[1].str();
    EXPECT_EQ(folder.parent_path(), scratch / "state" / "vantorel" / "batches");

    const std::vector<std::string> lines =
        records::ReadReportLines((folder / "report.jsonl").string());
    ASSERT_EQ(lines.size(), 8u);
    const std::string eboot = Sha256Of(Images() + "/eboot.eb0");
    const std::string pda = Sha256Of(Images() + "/pda.nb0");
    int done = 0;
    for (const std::string& line : lines) {
        const QJsonObject report =
            QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const bool bFailed = report["slot"].toInt() == 3;
        EXPECT_EQ(report["result"].toString(), bFailed ? "failed" : "done") << line;
        EXPECT_FALSE(report["status_text"].toString().isEmpty()) << line;
        done += bFailed ? 0 : 1;
        const QJsonArray images = report["images"].toArray();
        ASSERT_EQ(images.size(), 2) << line;
        EXPECT_EQ(images[0].toObject()["sha256"].toString().toStdString(), eboot);
        EXPECT_EQ(images[1].toObject()["sha256"].toString().toStdString(), pda);
    }
    EXPECT_EQ(done, 7);
    EXPECT_EQ(records::ReadReportLines(copy.string()), lines);
    const std::string mainLog = ReadFileText(folder / "main.log");
    const std::string end = "All Download finished. But failed device is detected \r\n";
    ASSERT_GE(mainLog.size(), end.size());
    EXPECT_EQ(mainLog.substr(mainLog.size() - end.size()), end);
    EXPECT_TRUE(fs::exists(folder / "summary.json"));
}

// A report copy that cannot be written is refused before the batch; one that goes bad
// during it would pause nothing of the batch's own records.
TEST_F(BenchProgramTest, AReportFileThatCannotBeWrittenIsRefusedBeforeTheBatch) {
    const RunResult run = Bench({"--headless", "--handsets", "1", "--images", Images(),
                                 "--time-scale", "0.01", "--report", scratch.Path().string()});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, "a folder, not a file")) << run.err;
    EXPECT_FALSE(fs::exists(scratch / "state" / "vantorel" / "batches")) << "no batch ran";
}

TEST_P(BenchLinkTest, EightHandsetsEndJobDoneHavingFlashedTheSampleImages) {
    const RunResult run = Bench({"--headless", "--link", GetParam(), "--handsets", "8", "--images",
                                 Images(), "--time-scale", "0.01"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    for (int slot = 1; slot <= 8; ++slot) {
        const std::string line =
            "slot " + std::to_string(slot) + ": OK " + std::to_string(slot) + " | Job Done";
        EXPECT_TRUE(Contains(run.out, line)) << line << "\n" << run.out;
    }
    EXPECT_EQ(CountMatches(run.out, "slot [1-8]: [^\n]*\n"), 8);
    // The main log follows the slot lines, in this system's line ends.
    EXPECT_TRUE(Contains(run.out, "[Down] EBoot Image. \n[Down] PDA Image. \n"));
    EXPECT_TRUE(Contains(run.out, "All Download finished. \n"));
    EXPECT_FALSE(Contains(run.out, "\r"));
    EXPECT_TRUE(Contains(run.out, "result: passed, 8 of 8 handset(s) done\n"));
    EXPECT_TRUE(std::filesystem::exists(scratch / "images" / "pda.nb0"));
}

// Each arrival opens the handset that arrived and no other, so a healthy run tries no
// handset that another slot holds: no "FAILED to open ..." at all, neither shown nor counted.
TEST_F(BenchProgramTest, AHealthyRunOpensOnlyTheHandsetsThatArrived) {
    const RunResult run =
        Bench({"--headless", "--handsets", "3", "--images", Images(), "--time-scale", "0.01"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_FALSE(Contains(run.out, "FAILED to open")) << run.out;
    EXPECT_FALSE(Contains(run.out, "Attempting to open")) << run.out;
    EXPECT_EQ(CountMatches(run.out, "diagnostics: [0-9]+ line\\(s\\) not shown, [1-9]"), 0)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(BothLinks, BenchLinkTest, ::testing::Values("bulk", "serial"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(BenchProgramTest, AnInjectedFaultFailsTheRunAndNamesItsSlot) {
    const RunResult run = Bench({"--headless", "--handsets", "8", "--images", Images(),
                                 "--time-scale", "0.01", "--handset", "5:--wrong-sum-at 40"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "slot 5: PDA 5 | [FAIL] PDA Checksum !!\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "problem: slot 5 (handset 1-5) did not finish")) << run.out;
    EXPECT_TRUE(Contains(run.out, "result: FAILED, 7 of 8 handset(s) done\n"));
    EXPECT_EQ(CountMatches(run.out, "slot [1-8]: OK [1-8] \\| Job Done"), 7);
}

TEST_F(BenchProgramTest, AHandsetThatNeverAnswersIsReportedAsNotAttached) {
    const RunResult run = Bench({"--headless", "--handsets", "2", "--images", Images(),
                                 "--time-scale", "0.01", "--handset", "2:--greeting-wrong 1000"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "slot 1: OK 1 | Job Done"));
    EXPECT_TRUE(Contains(run.out, "problem: handset 1-2 did not attach to a slot")) << run.out;
}

// The external handset is another program's pseudo-terminal behind a symbolic link; its
// reboot removes the link and makes it again, which the bench must see as leave and return.
TEST_F(BenchProgramTest, AnExternalHandsetOnATtyPathIsFlashedThroughIt) {
    const std::string link = (scratch / "ext-handset").string();
    ChildProcess handset(VANTOREL_PTY_HANDSET_PROGRAM, {"--clock-scale", "0.01", "--link", link},
                         {}, (scratch / "handset.out").string(),
                         (scratch / "handset.err").string());
    ASSERT_TRUE(handset.Started());
    for (int i = 0; i < 250 && !std::filesystem::exists(link); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(std::filesystem::exists(link));

    const RunResult run = Bench({"--headless", "--handsets", "1", "--tty", link, "--images",
                                 Images(), "--time-scale", "0.01"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "result: passed, 2 of 2 handset(s) done\n")) << run.out;
    EXPECT_EQ(CountMatches(run.out, "slot [12]: OK [12] \\| Job Done"), 2);

    // Having launched, the handset leaves for good and its program ends with its record.
    EXPECT_EQ(handset.Wait(20s), 0);
    const std::string record = ReadText((scratch / "handset.out").string());
    EXPECT_TRUE(Contains(record, "reboots=1 launched=1")) << record;
    const std::string eboot = ReadText((scratch / "images" / "eboot.eb0").string());
    const auto digest = emulator::FlashDigest::Of(
        std::span(reinterpret_cast<const uint8_t*>(eboot.data()), eboot.size()));
    EXPECT_TRUE(Contains(record, "eboot length=" + std::to_string(eboot.size())));
    EXPECT_TRUE(Contains(record, "sha256=" + digest.ToHex())) << record;
}

TEST_F(BenchProgramTest, BadCommandLinesEndWithExitCodeTwoAndSayWhy) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--headless", "--handsets", "9"}, "a number from 0 to 8"},
        {{"--link", "usb"}, "bulk or serial"},
        {{"--tty", "/no/such/directory/tty"}, "its directory does not exist"},
        {{"--headless", "--handset", "2:--unplug-at soon"}, "--handset 2: bad value"},
        {{"--headless", "--handsets", "1", "--time-scale", "0.01", "--check", "Make coffee"},
         "no option box is captioned \"Make coffee\""},
        {{"--headless", "--handsets", "1", "--time-scale", "0.01", "--pda", "/etc/hostname"},
         "/etc/hostname"},
    };
    for (const auto& [args, message] : cases) {
        const RunResult run = Bench(args);
        EXPECT_EQ(run.exitCode, 2) << args.front() << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, message)) << message << "\n" << run.err;
    }
}

TEST_F(BenchProgramTest, HelpTellsANewcomerTheFirstRun) {
    const RunResult run = Bench({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(Contains(run.out, "usage: vantorel-bench"));
    EXPECT_TRUE(Contains(run.out, "press Detect"));
    EXPECT_TRUE(Contains(run.out, "--headless"));
}

}  // namespace
}  // namespace vantorel::bench::test
