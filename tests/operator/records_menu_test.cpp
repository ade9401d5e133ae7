// The File menu's records folder and saved log, where no file manager runs and the operator
// types a bare name.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <fstream>

#include "tests/console/console_fixture.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

class RecordsMenuTest : public ConsoleTest {
protected:
    void SetUp() override {
        dlg = std::make_unique<CVantorelDlg>(ConsoleEnvironment{
            bus, bus, bus, false, Clock{0.0}, sync, prompts, nullptr, scratch / "records"});
        dlg->OnInitDialog();
    }
    vantorel::test::TempDir scratch;
};

TEST_F(RecordsMenuTest, WithoutAFileManagerTheRecordsFolderIsShownAndCopied) {
    prompts.bFileManager = false;
    dlg->OnOpenRecordsFolder();
    ASSERT_EQ(prompts.openedFolders.size(), 1u);
    const QString path = prompts.openedFolders.front();
    EXPECT_TRUE(path.startsWith(QString::fromStdString((scratch / "records").string())));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(path)) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(prompts.copied, std::vector<QString>{path});

    prompts.bFileManager = true;
    dlg->OnOpenRecordsFolder();
    EXPECT_EQ(prompts.messages.size(), 1u) << "a file manager opened it: nothing to say";
}

TEST_F(RecordsMenuTest, SaveMainLogAsAddsTheLogEndingAndAsksBeforeReplacingThatFile) {
    dlg->AppendMainLog("[Setup] a line\r\n");
    const std::filesystem::path bare = scratch / "shift-3";
    prompts.saveAnswers.push_back(QString::fromStdString(bare.string()));
    dlg->OnSaveMainLogAs();
    EXPECT_FALSE(std::filesystem::exists(bare));
    std::ifstream saved(bare.string() + ".log");
    std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[Setup] a line\r\n");

    // shift-3.log is there now; typing "shift-3" again must not replace it unasked.
    prompts.bConfirm = false;
    dlg->AppendMainLog("[Setup] another\r\n");
    prompts.saveAnswers.push_back(QString::fromStdString(bare.string()));
    dlg->OnSaveMainLogAs();
    ASSERT_EQ(prompts.confirmations.size(), 1u);
    std::ifstream kept(bare.string() + ".log");
    std::string keptText((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>());
    EXPECT_EQ(keptText, "[Setup] a line\r\n");
}

}  // namespace
}  // namespace vantorel::console::test
