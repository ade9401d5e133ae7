// What a batch leaves on disk when the whole station runs it: the logs in the window's
// order, a failed slot's reason in its log, the CSC entry and language in each report line,
// and a summary that says how the batch ended.
#include <QAbstractButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <sstream>

#include "engine/boot_loader_protocol.h"
#include "records/slot_report.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

namespace fs = std::filesystem;
using vantorel::test::ReadFileText;

// A log file's text without the time in front of each line ("2026-12-08T16:20:05.123Z ").
std::string WithoutStamps(const std::string& text) {
    std::istringstream lines(text);
    std::string bare;
    for (std::string line; std::getline(lines, line);) {
        bare += (line.size() >= 25 ? line.substr(25) : "<unstamped> " + line) + "\n";
    }
    return bare;
}

class RecordsRunTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        MakeRecordingDialog(records.Path());
    }
    // The dialog goes as the station's window does; its records are then all on disk.
    fs::path CloseStation() {
        const fs::path folder = dlg->Records()->Folder();
        dlg.reset();
        return folder;
    }

    vantorel::test::TempDir records;
};

TEST_P(RecordsRunTest, EightSlotsLeaveTheWindowsLogsInTheirOrder) {
    const tools::SampleSet set = WriteSamples();
    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kPdaButton, set.pda);
    ChooseImage(ctl::kLangButton, set.langPack);
    ChooseImage(ctl::kCscButton, set.multiCsc);
    PickCscEntry(1);
    const std::string cscEntry = dlg->m_selection.CscCombo().items.at(1);
    const qint64 cscOffset = dlg->m_selection.CscOffset();
    ASSERT_NE(cscOffset, 0) << "the second entry lies after the table";
    const images::LanguageChoice language = dlg->m_selection.WorkerLanguage();
    SetOption(kWaitAfterDownloadBox, false);
    PressDetect();
    for (int n = 1; n <= 8; ++n) {
        Attach(n);
    }
    ASSERT_TRUE(RunBatch()) << MainLog();
    dlg->StopWorkers();  // every line a worker writes is in
    const std::string mainLog = MainLog();
    std::array<std::string, 8> slotLogs;
    for (int slot = 0; slot < 8; ++slot) {
        slotLogs[static_cast<size_t>(slot)] = SlotLog(slot);
    }
    const fs::path folder = CloseStation();

    const auto plain = [](std::string text) {
        std::erase(text, '\r');
        return text;
    };
    EXPECT_EQ(plain(WithoutStamps(ReadFileText(folder / "main.log"))), plain(mainLog));
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_EQ(plain(WithoutStamps(
                      ReadFileText(folder / ("slot-" + std::to_string(slot + 1) + ".log")))),
                  plain(slotLogs[static_cast<size_t>(slot)]))
            << "slot " << slot + 1;
    }
    const std::vector<std::string> lines =
        records::ReadReportLines((folder / "report.jsonl").string());
    ASSERT_EQ(lines.size(), 8u);
    for (const std::string& line : lines) {
        const QJsonObject report = Json(line);
        EXPECT_EQ(report["csc"].toObject()["entry"].toString().toStdString(), cscEntry) << line;
        EXPECT_EQ(report["csc"].toObject()["offset"].toInteger(), cscOffset) << line;
        EXPECT_EQ(report["language"].toObject()["code"].toString().toStdString(), language.code)
            << line;
        EXPECT_EQ(report["language"].toObject()["index"].toInt(), language.index) << line;
    }
    EXPECT_EQ(Json(ReadFileText(folder / "summary.json"))["end"].toString(), "finished");
}

TEST_P(RecordsRunTest, AStalledFlashLeavesItsErrorLineInTheSlotsLogOnDisk) {
    AttachStalledFlashBesideAHealthyHandset();
    ASSERT_TRUE(RunBatch()) << MainLog();
    // The station closes as soon as the batch has ended, as the headless bench does.
    const fs::path folder = CloseStation();
    const std::string slotLog = ReadFileText(folder / "slot-1.log");
    EXPECT_NE(slotLog.find("[Error:1] [FAIL] read error from usb"), std::string::npos) << slotLog;
}

TEST_P(RecordsRunTest, ResetAllWithHandsetsReadyEndsTheBatchAsReset) {
    const tools::SampleSet set = WriteSamples();
    ChooseEveryImageAndDetect(set);
    Attach(1);
    Attach(2);
    const fs::path folder = dlg->Records()->Folder();
    dlg->Controls().As<QAbstractButton>(ctl::kResetAll)->click();
    const QJsonObject summary = Json(ReadFileText(folder / "summary.json"));
    EXPECT_EQ(summary["end"].toString(), "reset all");
    EXPECT_EQ(summary["detected"].toInt(), 2);
}

TEST_P(RecordsRunTest, QuittingMidRunEndsTheBatchAsQuit) {
    const tools::SampleSet set = WriteSamples();
    ChooseEveryImageAndDetect(set);
    Attach(1);
    dlg->Controls().As<QAbstractButton>(ctl::kStartDownloading)->click();
    const fs::path folder = CloseStation();
    EXPECT_EQ(Json(ReadFileText(folder / "summary.json"))["end"].toString(), "quit");
}

INSTANTIATE_TEST_SUITE_P(BothLinks, RecordsRunTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
