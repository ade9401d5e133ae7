// The bench's sample set goes only into a folder of its own: never over the operator's files,
// never through a link planted in its folder.
#include "bench/sample_directory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "tests/bench/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xdg_rule_check.h"

namespace vantorel::bench::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using vantorel::test::ReadFileText;

const std::string kMarker = ".vantorel-sample-set";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Whether the file still holds `text` (a comparison that prints no megabytes of sample bytes
// when it fails).
bool Holds(const fs::path& file, const std::string& text) {
    return ReadFileText(file) == text;
}

// A new folder and an empty one get the whole set, with nothing left aside.
TEST(SampleDirectory, TheSetIsInTheUsersDataFolder) {
    vantorel::test::ExpectTheXdgRule("XDG_DATA_HOME", ".local/share/vantorel/sample-images",
                                     "vantorel/sample-images",
                                     [] { return fs::path(DefaultSampleDirectory()); });
}

TEST(SampleDirectory, NoFolderIsRefusedWithItsReason) {
    std::string error;
    EXPECT_FALSE(EnsureSampleSet("", error));
    EXPECT_NE(error.find("no folder for the sample images"), std::string::npos) << error;
}

TEST(SampleDirectory, ANewOrEmptyFolderGetsTheSet) {
    vantorel::test::TempDir scratch;
    const fs::path fresh = scratch / "new" / "set";
    const fs::path empty = scratch / "empty";
    fs::create_directory(empty);
    for (const fs::path& folder : {fresh, empty}) {
        std::string error;
        ASSERT_TRUE(EnsureSampleSet(folder.string(), error)) << error;
        EXPECT_GT(fs::file_size(SamplePdaPath(folder.string())), 1024u * 1024u);
        EXPECT_TRUE(fs::is_regular_file(SampleEbootPath(folder.string())));
        EXPECT_EQ(ReadFileText(folder / kMarker), "vantorel sample set 1, seed 7\n");
        for (const auto& entry : fs::directory_iterator(folder)) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".vantorel-sample-staging"))
                << "nothing is left aside";
        }
    }
}

// A folder holding anything the bench did not write is refused and left exactly as it was:
// the operator's own pda.nb0, a marker that is a link or a FIFO, a file where the folder
// should be.
TEST(SampleDirectory, AFolderWithOtherFilesIsRefusedAndLeftUntouched) {
    vantorel::test::TempDir scratch;
    const fs::path own = scratch / "own";
    fs::create_directory(own);
    std::ofstream(own / "pda.nb0") << "the operator's own image";
    const fs::path linked = scratch / "linked";
    fs::create_directory(linked);
    std::ofstream(scratch / "marker") << "vantorel sample set 1, seed 7\n";
    fs::create_symlink(scratch / "marker", linked / kMarker);
    const fs::path piped = scratch / "piped";
    fs::create_directory(piped);
    ASSERT_EQ(::mkfifo((piped / kMarker).c_str(), 0600), 0);

    for (const fs::path& folder : {own, linked, piped}) {
        std::string error;
        EXPECT_FALSE(EnsureSampleSet(folder.string(), error)) << folder;
        EXPECT_TRUE(Contains(error, folder.string() + " holds files the bench did not write ("))
            << error;
        EXPECT_TRUE(Contains(error, "never over other files")) << error;
    }
    EXPECT_TRUE(Holds(own / "pda.nb0", "the operator's own image"));
    EXPECT_EQ(std::distance(fs::directory_iterator(own), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_symlink(linked / kMarker));
    EXPECT_TRUE(fs::is_fifo(piped / kMarker));

    std::string error;
    EXPECT_FALSE(EnsureSampleSet((own / "pda.nb0").string(), error));
    EXPECT_TRUE(Contains(error, "is no folder")) << error;
}

// In the bench's own folder after an interrupted write, the set is written again, and a link
// planted where a file of the set goes is replaced, not written through.
TEST(SampleDirectory, AnInterruptedSetIsRedoneWithoutWritingThroughALink) {
    vantorel::test::TempDir scratch;
    const fs::path folder = scratch / "set";
    fs::create_directory(folder);
    std::ofstream(folder / kMarker) << "vantorel sample set 1, seed 7, being written\n";
    std::ofstream(scratch / "precious.nb0") << "not the bench's";
    fs::create_symlink(scratch / "precious.nb0", SamplePdaPath(folder.string()));
    fs::create_directory(folder / ".vantorel-sample-staging-left");
    std::ofstream(folder / ".vantorel-sample-staging-left" / "eboot.eb0") << "half";

    std::string error;
    ASSERT_TRUE(EnsureSampleSet(folder.string(), error)) << error;
    EXPECT_TRUE(Holds(scratch / "precious.nb0", "not the bench's"));
    EXPECT_FALSE(fs::is_symlink(SamplePdaPath(folder.string())));
    EXPECT_GT(fs::file_size(SamplePdaPath(folder.string())), 1024u * 1024u);
    EXPECT_EQ(ReadFileText(folder / kMarker), "vantorel sample set 1, seed 7\n");
    EXPECT_FALSE(fs::exists(folder / ".vantorel-sample-staging-left"));

    // A folder in a file's place stops the write with the reason, and the set stays unfinished.
    fs::remove(SamplePdaPath(folder.string()));
    fs::create_directory(SamplePdaPath(folder.string()));
    std::ofstream(folder / kMarker) << "vantorel sample set 1, seed 7, being written\n";
    EXPECT_FALSE(EnsureSampleSet(folder.string(), error));
    EXPECT_TRUE(Contains(error, "cannot write the sample images into " + folder.string())) << error;
    EXPECT_TRUE(fs::is_directory(SamplePdaPath(folder.string())));
}

// The built bench, headless on emulated handsets or on real ones, refuses such a folder with
// exit 2 before anything is flashed.
TEST(SampleDirectory, TheBenchRefusesAnOperatorsFolderWithExit2) {
    vantorel::test::TempDir scratch;
    const fs::path own = scratch / "firmware";
    fs::create_directory(own);
    std::ofstream(own / "pda.nb0") << "the operator's own image";
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--headless", "--handsets", "1"},
          std::vector<std::string>{"--real"}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"--images", own.string(), "--no-records"});
        const RunResult run = RunProgram(
            VANTOREL_BENCH_PROGRAM, args,
            {"HOME=" + (scratch / "home").string(), "XDG_DATA_HOME=" + (scratch / "data").string(),
             "XDG_STATE_HOME=" + (scratch / "state").string(),
             "XDG_CONFIG_HOME=" + (scratch / "config").string()},
            scratch.Path().string(), 120s);
        EXPECT_EQ(run.exitCode, 2) << mode[0] << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, "vantorel-bench: " + own.string() +
                                          " holds files the bench did not write (pda.nb0)"))
            << run.err;
        EXPECT_TRUE(Holds(own / "pda.nb0", "the operator's own image"));
    }
}

}  // namespace
}  // namespace vantorel::bench::test
