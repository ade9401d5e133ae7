// The records a batch leaves on disk: logs as they are written, report lines that wait for
// the images' digests, a summary, old batches removed, and a disk that fails.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/sha256.h"
#include "records/batch_pruning.h"
#include "records/batch_records.h"
#include "records/file_digests.h"
#include "records/records_location.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xdg_rule_check.h"

namespace vantorel::records {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using vantorel::test::ReadFileText;

// The file's text with the time in front of each line taken off; false when a line lacks it.
bool WithoutStamps(const std::string& text, std::string& bare) {
    std::istringstream lines(text);
    std::string line;
    bare.clear();
    // "2026-12-08T16:20:05.123Z " is 25 characters.
    while (std::getline(lines, line)) {
        if (line.size() < 25 || line[10] != 'T' || line[23] != 'Z' || line[24] != ' ') {
            return false;
        }
        bare += line.substr(25) + "\n";
    }
    return true;
}

template <typename Predicate>
bool WaitFor(Predicate done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

QJsonObject Json(const std::string& line) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

class RecordsTest : public ::testing::Test {
protected:
    std::unique_ptr<BatchRecords> Make(RecordsSettings settings = {}) {
        if (settings.root.empty()) {
            settings.root = dir / "batches";
        }
        return std::make_unique<BatchRecords>(
            settings, [this](const std::string& text) { said.push_back(text); });
    }

    vantorel::test::TempDir dir;
    std::vector<std::string> said;
};

TEST(RecordsLocation, TheRootIsInTheUsersStateFolder) {
    vantorel::test::ExpectTheXdgRule("XDG_STATE_HOME", ".local/state/vantorel/batches",
                                     "vantorel/batches", [] { return DefaultRecordsRoot(); });
}

TEST_F(RecordsTest, LogsReachTheirFilesAsWrittenWithTheTimeInFront) {
    auto records = Make();
    records->AppendMainLog("before any batch\r\n");  // no folder yet: nowhere to go
    records->StartBatch("chosen before Detect\r\n");
    const fs::path folder = records->Folder();
    ASSERT_EQ(folder.parent_path(), dir / "batches");
    records->AppendMainLog("[Setup] Windows Vista \r\nhalf a ");
    records->AppendMainLog("line\r\n");
    records->AppendSlotLog(2, "[Setup:3] slot line\r\n");
    records->AppendSlotLog(8, "no such slot\r\n");

    // Nothing is buffered: the lines are there before the batch ends.
    std::string bare;
    ASSERT_TRUE(WithoutStamps(ReadFileText(folder / "main.log"), bare))
        << ReadFileText(folder / "main.log");
    EXPECT_EQ(bare, "chosen before Detect\r\n[Setup] Windows Vista \r\nhalf a line\r\n");
    ASSERT_TRUE(WithoutStamps(ReadFileText(folder / "slot-3.log"), bare));
    EXPECT_EQ(bare, "[Setup:3] slot line\r\n");
    EXPECT_FALSE(fs::exists(folder / "slot-9.log"));

    // The next batch has a folder of its own; the first one stays as it was.
    std::this_thread::sleep_for(5ms);
    records->StartBatch("");
    EXPECT_NE(records->Folder(), folder);
    EXPECT_TRUE(fs::exists(folder / "main.log"));
    EXPECT_TRUE(said.empty());
}

TEST_F(RecordsTest, AReportLineWaitsForTheDigestsAndNamesTheImagesWhole) {
    const std::vector<uint8_t> big = vantorel::test::PatternBytes(3 << 20, 7);
    const std::string pda = dir.WriteFile("pda.nb0", big);
    const std::string eboot = dir.WriteFile("eboot.eb0", vantorel::test::PatternBytes(1000, 8));
    auto records = Make();
    const fs::path copy = dir / "copy.jsonl";
    records->CopyReportTo(copy);
    records->StartBatch("");
    records->AppendMainLog("[Setup:2] Target Device EBOOT version = T4K9\r\n");
    records->AppendMainLog("[Setup:2] BootLoader requires downloaer tool version 24\r\n");
    records->SetImages({{"eboot", eboot, std::nullopt}, {"pda", pda, std::nullopt}});

    SlotReport report;
    report.slot = 2;
    report.device = "usb#vid_1209&pid_0001#1-2#{x}";
    report.started = std::chrono::system_clock::now() - 3s;
    report.ended = std::chrono::system_clock::now();
    report.bDone = true;
    report.status = 207;
    report.statusText = "Job Done.Launched!!";
    report.bytes = 12345;
    records->SlotEnded(report);
    report.slot = 3;  // no versions logged for this one
    report.bDone = false;
    report.statusText = "[FAIL] EBOOT read error from file";
    records->SlotEnded(report);

    const fs::path file = records->Folder() / "report.jsonl";
    ASSERT_TRUE(WaitFor([&] { return ReadReportLines(file.string()).size() == 2; }));
    const std::vector<std::string> lines = ReadReportLines(file.string());
    const QJsonObject first = Json(lines[0]);
    EXPECT_EQ(first["slot"].toInt(), 2);
    EXPECT_EQ(first["device"].toString().toStdString(), report.device);
    EXPECT_EQ(first["result"].toString(), "done");
    EXPECT_EQ(first["status"].toInt(), 207);
    EXPECT_EQ(first["status_text"].toString(), "Job Done.Launched!!");
    EXPECT_EQ(first["bytes"].toInt(), 12345);
    EXPECT_NEAR(first["seconds"].toDouble(), 3.0, 0.1);
    EXPECT_EQ(first["boot_loader_version"].toString(), "T4K9");
    EXPECT_EQ(first["protocol_version"].toInt(), 24);
    EXPECT_TRUE(first["started"].toString().endsWith("Z"));
    const QJsonArray images = first["images"].toArray();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[1].toObject()["kind"].toString(), "pda");
    EXPECT_EQ(images[1].toObject()["path"].toString().toStdString(), pda);
    EXPECT_EQ(images[1].toObject()["size"].toInt(), 3 << 20);
    EXPECT_EQ(images[1].toObject()["sha256"].toString().toStdString(), Sha256::Of(big).ToHex());

    const QJsonObject second = Json(lines[1]);
    EXPECT_EQ(second["result"].toString(), "failed");
    EXPECT_FALSE(second.contains("boot_loader_version"));
    EXPECT_EQ(ReadFileText(copy), ReadFileText(file)) << "the copy gets the same lines";

    records->BatchEnded({{}, std::chrono::system_clock::now(), 2, 1, 1});
    const QJsonObject summary = Json(ReadFileText(records->Folder() / "summary.json"));
    EXPECT_EQ(summary["detected"].toInt(), 2);
    EXPECT_EQ(summary["done"].toInt(), 1);
    EXPECT_EQ(summary["failed"].toInt(), 1);
}

TEST_F(RecordsTest, ATornLastLineIsSkippedByTheReader) {
    const std::string path = (dir / "report.jsonl").string();
    std::ofstream(path) << "{\"slot\":1}\n{\"slot\":2}\n{\"slot\":3,\"dev";
    const std::vector<std::string> lines = ReadReportLines(path);
    EXPECT_EQ(lines, (std::vector<std::string>{"{\"slot\":1}", "{\"slot\":2}"}));
}

TEST_F(RecordsTest, AFolderThatCannotBeWrittenPausesTheRecordsOnceAndTheyResume) {
    RecordsSettings settings;
    settings.root = dir / "blocked";
    settings.retryAfter = 0ms;
    std::ofstream(settings.root) << "a file where the folder should be";
    auto records = Make(settings);
    records->StartBatch("first\r\n");
    records->AppendMainLog("second\r\n");
    records->AppendSlotLog(0, "third\r\n");
    ASSERT_EQ(said.size(), 1u) << "said once, not at every line";
    EXPECT_NE(said[0].find("Records on disk paused"), std::string::npos) << said[0];

    fs::remove(settings.root);
    records->AppendMainLog("fourth\r\n");
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[1].find("Records on disk resumed"), std::string::npos) << said[1];
    std::string bare;
    ASSERT_TRUE(WithoutStamps(ReadFileText(records->Folder() / "main.log"), bare));
    EXPECT_EQ(bare, "[Records] 2 line(s) missing here: records on disk were paused.\r\nfourth\r\n")
        << "the log marks the lines it missed";
}

TEST_F(RecordsTest, OldBatchesGoOldestFirstBeyondTheSizeCapOrTheAge) {
    const fs::path root = dir / "batches";
    const auto make = [&](const std::string& name, size_t bytes) {
        fs::create_directories(root / name);
        std::ofstream(root / name / "main.log") << std::string(bytes, 'x');
    };
    make("2026-01-01T00-00-00Z", 400);
    make("2026-01-02T00-00-00Z", 400);
    make("2026-01-03T00-00-00Z", 400);
    make("2026-01-04T00-00-00Z", 400);  // the current one
    std::vector<std::string> removed =
        PruneBatches(root, "2026-01-04T00-00-00Z", 1000, std::chrono::hours(24));
    EXPECT_EQ(removed, (std::vector<std::string>{"2026-01-01T00-00-00Z", "2026-01-02T00-00-00Z"}));
    EXPECT_TRUE(fs::exists(root / "2026-01-03T00-00-00Z"));

    fs::last_write_time(root / "2026-01-03T00-00-00Z",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    fs::last_write_time(root / "2026-01-04T00-00-00Z",
                        fs::file_time_type::clock::now() - std::chrono::hours(48));
    removed = PruneBatches(root, "2026-01-04T00-00-00Z", 1 << 20, std::chrono::hours(24));
    EXPECT_EQ(removed, std::vector<std::string>{"2026-01-03T00-00-00Z"}) << "never the current one";
}

TEST_F(RecordsTest, ADigestIsComputedOncePerVersionOfAFile) {
    const std::string path = dir.WriteFile("csc.csc", vantorel::test::PatternBytes(5000, 1));
    FileDigests digests;
    int done = 0;
    std::mutex mutex;
    digests.SetOnDone([&] {
        std::lock_guard lock(mutex);
        ++done;
    });
    digests.Request(path);
    digests.Request(path);
    ASSERT_TRUE(WaitFor([&] { return digests.Get(path).has_value(); }));
    EXPECT_EQ(digests.Get(path)->sha256, Sha256::Of(vantorel::test::PatternBytes(5000, 1)).ToHex());

    const std::vector<uint8_t> changed = vantorel::test::PatternBytes(6000, 2);
    dir.WriteFile("csc.csc", changed);
    digests.Request(path);
    ASSERT_TRUE(WaitFor([&] { return digests.Get(path) && digests.Get(path)->size == 6000; }));
    EXPECT_EQ(digests.Get(path)->sha256, Sha256::Of(changed).ToHex());
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(done, 2) << "the same version is read once";
    }
    digests.Request(dir / "missing.bin");
    ASSERT_TRUE(digests.Get(dir / "missing.bin"));
    EXPECT_EQ(digests.Get(dir / "missing.bin")->sha256, "");
}

}  // namespace
}  // namespace vantorel::records
