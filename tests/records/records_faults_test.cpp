// The records against what goes wrong around them: a disk that fills and frees, a copy that
// cannot be written, digests not done when the station ends, other stations on the same
// folder, the operator's own folders beside the batches, and batches that end early.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "records/append_file.h"
#include "records/batch_folders.h"
#include "records/batch_pruning.h"
#include "records/batch_records.h"
#include "records/interrupted_batches.h"
#include "records/records_location.h"
#include "tests/support/temp_dir.h"

namespace vantorel::records {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using vantorel::test::ReadFileText;

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool Contains(const std::vector<std::string>& said, const std::string& part) {
    for (const std::string& line : said) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

size_t CountOf(const std::vector<std::string>& said, const std::string& part) {
    size_t count = 0;
    for (const std::string& line : said) {
        count += line.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

// A disk that fills: while full, a write puts part of its bytes down and then fails with
// ENOSPC, as a real one does at its last free block.
struct FillingDisk {
    std::atomic<bool> bFull{false};
    WriteFunction Write() {
        return [this](int fd, const void* data, size_t size) -> ssize_t {
            if (bFull) {
                if (size > 1) {
                    return ::write(fd, data, size / 2);
                }
                errno = ENOSPC;
                return -1;
            }
            return ::write(fd, data, size);
        };
    }
};

SlotReport Report(int slot, bool bDone) {
    SlotReport report;
    report.slot = slot;
    report.device = "usb#vid_1209&pid_0001#1-" + std::to_string(slot) + "#{x}";
    report.started = std::chrono::system_clock::now();
    report.ended = report.started;
    report.bDone = bDone;
    report.status = bDone ? 207 : 205;
    report.statusText = bDone ? "Job Done.Launched!!" : "[FAIL] read error from usb";
    return report;
}

class RecordsFaultsTest : public ::testing::Test {
protected:
    RecordsSettings Settings() {
        RecordsSettings settings;
        settings.root = root;
        settings.retryAfter = 0ms;
        return settings;
    }
    std::unique_ptr<BatchRecords> Make(RecordsSettings settings) {
        return std::make_unique<BatchRecords>(std::move(settings), [this](const std::string& text) {
            std::lock_guard lock(mutex);
            said.push_back(text);
        });
    }
    std::vector<std::string> Said() {
        std::lock_guard lock(mutex);
        return said;
    }

    vantorel::test::TempDir dir;
    const fs::path root = dir / "batches";
    std::mutex mutex;
    std::vector<std::string> said;
};

TEST_F(RecordsFaultsTest, AFullDiskTearsNoLineAndLosesNoReportLine) {
    const std::string eboot = dir.WriteFile("eboot.eb0", vantorel::test::PatternBytes(1000, 3));
    FillingDisk disk;
    RecordsSettings settings = Settings();
    settings.write = disk.Write();
    auto records = Make(settings);
    records->StartBatch("before\r\n");
    records->SetImages({{"eboot", eboot, std::nullopt}});
    // The digest first, so that every report line below is written as its slot ends.
    while (!records->Digests().Get(eboot)) {
        std::this_thread::sleep_for(1ms);
    }
    const fs::path folder = records->Folder();

    for (int slot = 1; slot <= 8; ++slot) {
        disk.bFull = slot % 3 != 0;  // full for two slots, free for the third, ...
        records->AppendMainLog("[Setup:" + std::to_string(slot) + "] a line\r\n");
        records->AppendSlotLog(slot - 1, "half a ");
        records->AppendSlotLog(slot - 1, "line\r\n");
        records->SlotEnded(Report(slot, slot % 2 == 0));
        // Every line on disk parses whenever a reader looks.
        for (const std::string& line : Lines(ReadFileText(folder / "report.jsonl"))) {
            EXPECT_TRUE(Json(line).contains("slot")) << "torn: " << line;
        }
    }
    disk.bFull = false;
    records->AppendMainLog("after\r\n");
    records->BatchEnded({{}, std::chrono::system_clock::now(), 8, 4, 4});

    const std::vector<std::string> report = Lines(ReadFileText(folder / "report.jsonl"));
    ASSERT_EQ(report.size(), 8u) << ReadFileText(folder / "report.jsonl");
    std::set<int> seen;
    for (const std::string& line : report) {
        seen.insert(Json(line)["slot"].toInt());
    }
    EXPECT_EQ(seen.size(), 8u) << "each slot once";
    EXPECT_EQ(Json(ReadFileText(folder / "summary.json"))["failed"].toInt(), 4);

    // The logs hold whole stamped lines, and say where lines are missing.
    const std::string mainLog = ReadFileText(folder / "main.log");
    for (const std::string& line : Lines(mainLog)) {
        EXPECT_EQ(line.substr(23, 2), "Z ") << "a line without its time: " << line;
    }
    EXPECT_NE(mainLog.find("line(s) missing here: records on disk were paused."), std::string::npos)
        << mainLog;
    EXPECT_TRUE(mainLog.ends_with(" after\r\n")) << mainLog;
    EXPECT_EQ(CountOf(Said(), "Records on disk paused ("), 1u);
    EXPECT_TRUE(Contains(Said(), "Records on disk resumed in "));
}

// A batch shorter than the pause: what waits is written when the station ends, and the
// logs say at their end what they missed.
TEST_F(RecordsFaultsTest, WhatAPauseHeldBackIsWrittenOrMarkedWhenTheStationEnds) {
    FillingDisk disk;
    RecordsSettings settings = Settings();
    settings.write = disk.Write();
    settings.retryAfter = 1h;
    fs::path folder;
    {
        auto records = Make(settings);
        records->StartBatch("first\r\n");
        folder = records->Folder();
        disk.bFull = true;
        records->AppendMainLog("second\r\nthird\r\n");
        records->SetImages({});
        records->SlotEnded(Report(1, true));
        records->BatchEnded({{}, std::chrono::system_clock::now(), 1, 1, 0});
        disk.bFull = false;
    }
    const std::string mainLog = ReadFileText(folder / "main.log");
    EXPECT_NE(mainLog.find(" first\r\n"), std::string::npos) << mainLog;
    EXPECT_TRUE(
        mainLog.ends_with(" [Records] 2 line(s) missing here: records on disk were paused.\r\n"))
        << mainLog;
    EXPECT_EQ(ReadReportLines((folder / "report.jsonl").string()).size(), 1u);
    EXPECT_EQ(Json(ReadFileText(folder / "summary.json"))["done"].toInt(), 1);
}

TEST_F(RecordsFaultsTest, AFailedAppendIsCutBackToWhereTheLineBegan) {
    FillingDisk disk;
    AppendFile file(disk.Write());
    std::string error;
    ASSERT_TRUE(file.Open(dir / "report.jsonl", error)) << error;
    ASSERT_TRUE(file.Append("{\"slot\":1}\n", error));
    disk.bFull = true;
    EXPECT_FALSE(file.Append("{\"boot_loader_version\":\"T4K9\"}\n", error));
    EXPECT_NE(error.find("No space left"), std::string::npos) << error;
    EXPECT_EQ(ReadFileText(dir / "report.jsonl"), "{\"slot\":1}\n");
    disk.bFull = false;
    ASSERT_TRUE(file.Append("{\"slot\":2}\n", error));
    EXPECT_EQ(ReadFileText(dir / "report.jsonl"), "{\"slot\":1}\n{\"slot\":2}\n");
}

TEST_F(RecordsFaultsTest, AReportCopyThatCannotBeWrittenPausesNothing) {
    RecordsSettings settings = Settings();
    settings.retryAfter = 1h;  // a pause would last the whole test
    auto records = Make(settings);
    EXPECT_FALSE(records->CopyReportTo(dir.Path()));  // a folder as the copy
    records->StartBatch("chosen\r\n");
    records->SetImages({});
    records->SlotEnded(Report(1, true));
    const fs::path folder = records->Folder();
    EXPECT_EQ(ReadReportLines((folder / "report.jsonl").string()).size(), 1u);
    EXPECT_NE(ReadFileText(folder / "main.log").find("chosen"), std::string::npos);
    EXPECT_TRUE(Contains(Said(), "Report copy not written ("));
    EXPECT_FALSE(Contains(Said(), "Records on disk paused"));

    // Nor is opening a FIFO as the copy a wait for a reader.
    const fs::path fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(records->CopyReportTo(fifo));
    EXPECT_EQ(AppendTargetProblem(fifo), "not a regular file");
    EXPECT_EQ(AppendTargetProblem(dir.Path()), "a folder, not a file");
    EXPECT_NE(AppendTargetProblem(dir / "no" / "report.jsonl")->find("does not exist"),
              std::string::npos);
    EXPECT_FALSE(AppendTargetProblem(dir / "report.jsonl"));
}

TEST_F(RecordsFaultsTest, LinesWaitingForASlowDigestAreWrittenWhenTheStationEnds) {
    // A sparse file of 512 MiB: its digest takes far longer than ending the records.
    const fs::path big = dir / "pda.nb0";
    std::ofstream(big) << 'x';
    fs::resize_file(big, uint64_t{512} << 20);
    fs::path folder;
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->SetImages({{"pda", big.string(), std::nullopt}}, SentCsc{"EUR", 4096},
                           SentLanguage{3, "0407"});
        records->SlotEnded(Report(1, false));
        records->SlotEnded(Report(2, true));
        records->BatchEnded({{}, std::chrono::system_clock::now(), 2, 1, 1});
        folder = records->Folder();
    }
    const std::vector<std::string> lines = ReadReportLines((folder / "report.jsonl").string());
    ASSERT_EQ(lines.size(), 2u) << "no line dropped";
    for (const std::string& line : lines) {
        const QJsonObject image = Json(line)["images"].toArray()[0].toObject();
        EXPECT_TRUE(image["sha256"].isString() || image["sha256_state"] == "not computed") << line;
        EXPECT_EQ(Json(line)["csc"].toObject()["entry"].toString(), "EUR") << line;
        EXPECT_EQ(Json(line)["csc"].toObject()["offset"].toInt(), 4096);
        EXPECT_EQ(Json(line)["language"].toObject()["code"].toString(), "0407") << line;
        EXPECT_EQ(Json(line)["language"].toObject()["index"].toInt(), 3);
    }
    EXPECT_EQ(Json(ReadFileText(folder / "summary.json"))["end"].toString(), "finished");
}

TEST_F(RecordsFaultsTest, StationsOnOneFolderNeverShareABatchFolder) {
    // All in the same second: each claims a name of its own.
    const auto second = std::chrono::system_clock::now();
    RecordsSettings settings = Settings();
    settings.now = [second] { return second; };
    constexpr int kStations = 6;
    for (int round = 0; round < 10; ++round) {
        settings.root = dir / ("round" + std::to_string(round));
        std::vector<std::unique_ptr<BatchRecords>> stations;
        for (int i = 0; i < kStations; ++i) {
            stations.push_back(Make(settings));
        }
        std::vector<std::jthread> starts;
        for (auto& station : stations) {
            starts.emplace_back([&station] { station->StartBatch("mine\r\n"); });
        }
        starts.clear();
        std::set<fs::path> folders;
        for (auto& station : stations) {
            folders.insert(station->Folder());
        }
        ASSERT_EQ(folders.size(), static_cast<size_t>(kStations)) << "round " << round;
        for (const fs::path& folder : folders) {
            EXPECT_TRUE(IsBatchFolderName(folder.filename().string())) << folder;
        }
    }
}

TEST_F(RecordsFaultsTest, EveryAffectedBatchSaysItsRecordsArePaused) {
    RecordsSettings settings = Settings();
    std::ofstream(root) << "a file where the folder should be";
    auto records = Make(settings);
    records->StartBatch("first batch\r\n");
    records->AppendMainLog("more\r\n");
    EXPECT_EQ(CountOf(Said(), "Records on disk paused ("), 1u);
    records->StartBatch("second batch\r\n");
    records->AppendMainLog("more\r\n");
    EXPECT_EQ(CountOf(Said(), "Records on disk paused ("), 2u) << "once in each batch";
}

TEST_F(RecordsFaultsTest, PruningRemovesOnlyTheStationsOwnOldBatchesOffTheCallersThread) {
    const auto make = [&](const std::string& name, const std::string& file) {
        fs::create_directories(root / name);
        std::ofstream(root / name / file) << std::string(600, 'x');
        fs::last_write_time(root / name / file, fs::file_time_type::clock::now() - 24h * 100);
        fs::last_write_time(root / name, fs::file_time_type::clock::now() - 24h * 100);
    };
    make("2026-01-01T00-00-00Z", "main.log");
    make("2026-01-02T00-00-00Z-2", "report.jsonl");
    make("Documents", "thesis.odt");               // the operator's
    make("2026-01-03T00-00-00Z", "holiday.jpg");   // named like ours, not ours
    make("2026-01-04T00-00-00Z.bak", "main.log");  // not our name
    make("2026-01-05T00-00-00Z", "main.log");      // another station's running batch
    fs::create_directory_symlink(root / "Documents", root / "2026-01-06T00-00-00Z");
    std::optional<BatchFolderLock> running =
        BatchFolderLock::TryTake(root / "2026-01-05T00-00-00Z");
    ASSERT_TRUE(running);
    ASSERT_EQ(::close(::open((root / "2026-01-05T00-00-00Z" / "summary.json").c_str(),
                             O_CREAT | O_WRONLY, 0644)),
              0);

    std::vector<std::thread::id> sayers;
    RecordsSettings settings = Settings();
    settings.maxAge = 24h * 90;
    BatchRecords records(settings, [&](const std::string& text) {
        std::lock_guard lock(mutex);
        said.push_back(text);
        sayers.push_back(std::this_thread::get_id());
    });
    records.StartBatch("");
    records.WaitForUpkeep();

    EXPECT_FALSE(fs::exists(root / "2026-01-01T00-00-00Z"));
    EXPECT_FALSE(fs::exists(root / "2026-01-02T00-00-00Z-2"));
    EXPECT_TRUE(fs::exists(root / "Documents" / "thesis.odt"));
    EXPECT_TRUE(fs::exists(root / "2026-01-03T00-00-00Z" / "holiday.jpg"));
    EXPECT_TRUE(fs::exists(root / "2026-01-04T00-00-00Z.bak"));
    EXPECT_TRUE(fs::exists(root / "2026-01-05T00-00-00Z" / "main.log"));
    EXPECT_TRUE(fs::is_symlink(root / "2026-01-06T00-00-00Z"));
    EXPECT_TRUE(fs::exists(records.Folder())) << "never the current batch";
    const std::vector<std::string> lines = Said();
    EXPECT_TRUE(
        Contains(lines, "Old batch records removed: " + (root / "2026-01-01T00-00-00Z").string()));
    EXPECT_TRUE(Contains(
        lines, "Old batch records removed: " + (root / "2026-01-02T00-00-00Z-2").string()));
    EXPECT_EQ(CountOf(lines, "Old batch records removed"), 2u);
    std::lock_guard lock(mutex);
    for (const std::thread::id sayer : sayers) {
        EXPECT_NE(sayer, std::this_thread::get_id()) << "pruned on the caller's thread";
    }
}

TEST_F(RecordsFaultsTest, ABatchThatDoesNotEndNormallySaysHowItEnded) {
    // Quit mid-batch: the records end it as they go.
    fs::path quit;
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->SetImages({});
        records->SlotEnded(Report(1, true));
        quit = records->Folder();
    }
    const QJsonObject quitSummary = Json(ReadFileText(quit / "summary.json"));
    EXPECT_EQ(quitSummary["end"].toString(), "quit");
    EXPECT_EQ(quitSummary["done"].toInt(), 1);

    // Reset all: the dialog ends the batch so; a later end changes nothing.
    fs::path reset;
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->BatchEnded({{}, std::chrono::system_clock::now(), 2, 0, 0, "reset all"});
        records->BatchEnded({{}, std::chrono::system_clock::now(), 2, 0, 0, "quit"});
        reset = records->Folder();
    }
    EXPECT_EQ(Json(ReadFileText(reset / "summary.json"))["end"].toString(), "reset all");

    // Killed: a folder with lines and no summary, whose station is gone, is marked at the
    // next start; one whose station still runs is not.
    const fs::path killed = root / "2026-03-01T10-00-00Z";
    fs::create_directories(killed);
    std::ofstream(killed / "main.log") << "2026-03-01T10:00:00.000Z [Setup] ...\r\n";
    std::ofstream(killed / "report.jsonl") << "{\"slot\":1,\"result\":\"done\"}\n{\"slot\":2,"
                                              "\"result\":\"failed\"}\n{\"slot\":3,\"res";
    const fs::path running = root / "2026-03-02T10-00-00Z";
    fs::create_directories(running);
    std::ofstream(running / "main.log") << "x\r\n";
    std::optional<BatchFolderLock> lock = BatchFolderLock::TryTake(running);
    ASSERT_TRUE(lock);
    const fs::path operators = root / "Notes";
    fs::create_directories(operators);
    std::ofstream(operators / "main.log") << "mine\n";
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->WaitForUpkeep();
        EXPECT_FALSE(fs::exists(records->Folder() / "summary.json")) << "not its own";
    }
    const QJsonObject killedSummary = Json(ReadFileText(killed / "summary.json"));
    EXPECT_EQ(killedSummary["end"].toString(), "interrupted");
    EXPECT_EQ(killedSummary["detected"].toInt(), 2);
    EXPECT_EQ(killedSummary["done"].toInt(), 1);
    EXPECT_EQ(killedSummary["started"].toString(), "2026-03-01T10:00:00.000Z");
    EXPECT_FALSE(fs::exists(running / "summary.json"));
    EXPECT_FALSE(fs::exists(operators / "summary.json"));
    EXPECT_TRUE(Contains(Said(), "marked interrupted: " + killed.string()));
}

// A shift's summary is on disk while the shift goes on, says "running", and follows every
// handset; a station killed mid-shift leaves a running summary that the next start marks.
TEST_F(RecordsFaultsTest, AShiftsSummaryRunsAlongAndAKilledShiftIsMarkedInterrupted) {
    fs::path shift;
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->SetImages({});
        shift = records->Folder();
        records->SlotEnded(Report(1, true));
        records->SummaryForNow({{}, std::chrono::system_clock::now(), 1, 1, 0, "ignored"});
        QJsonObject summary = Json(ReadFileText(shift / "summary.json"));
        EXPECT_EQ(summary["end"].toString(), kRunningEnd);
        EXPECT_EQ(summary["done"].toInt(), 1);
        records->SlotEnded(Report(2, false));
        records->SummaryForNow({{}, std::chrono::system_clock::now(), 2, 1, 1, "ignored"});
        summary = Json(ReadFileText(shift / "summary.json"));
        EXPECT_EQ(summary["failed"].toInt(), 1);
        EXPECT_EQ(summary["end"].toString(), kRunningEnd);
        records->BatchEnded({{}, std::chrono::system_clock::now(), 2, 1, 1, "reset all"});
        records->SummaryForNow({{}, std::chrono::system_clock::now(), 3, 2, 1, "ignored"});
    }
    EXPECT_EQ(Json(ReadFileText(shift / "summary.json"))["end"].toString(), "reset all")
        << "an ended shift's summary stays";

    // Killed mid-shift: lines, a running summary and no station.
    const fs::path killed = root / "2026-03-03T10-00-00Z";
    fs::create_directories(killed);
    std::ofstream(killed / "main.log") << "2026-03-03T10:00:00.000Z [Shift] ...\r\n";
    std::ofstream(killed / "report.jsonl") << "{\"slot\":1,\"result\":\"done\"}\n";
    std::ofstream(killed / "summary.json") << SummaryText({{}, {}, 1, 1, 0, kRunningEnd});
    {
        auto records = Make(Settings());
        records->StartBatch("");
        records->WaitForUpkeep();
    }
    EXPECT_EQ(Json(ReadFileText(killed / "summary.json"))["end"].toString(), "interrupted");
    EXPECT_TRUE(Contains(Said(), "marked interrupted: " + killed.string()));
}

TEST_F(RecordsFaultsTest, TheReaderTakesOnlyBoundedRegularFiles) {
    EXPECT_TRUE(ReadReportLines("/dev/zero").empty());
    const fs::path fifo = dir / "report.jsonl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(ReadReportLines(fifo.string()).empty()) << "and did not wait for a writer";
    EXPECT_EQ(SummaryOfReport("\xff\xfe{\n[1,2]\n{\"result\":\"done\"}\n\n").detected, 1);
}

}  // namespace
}  // namespace vantorel::records
