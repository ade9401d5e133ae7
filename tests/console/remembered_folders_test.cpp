// Each kind of open-file dialog opens where the operator last chose a file of that kind,
// across a restart of the station; the real dialog is driven as the operator drives it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <fstream>

#include "console/operator_prompts.h"
#include "console/remembered_folders.h"
#include "tests/support/file_dialog_answers.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

const QString kBootLoaderFilter = QStringLiteral("Eboot File (*.eb0)|*.eb0|");
const QString kApplicationFilter = QStringLiteral("PDA File (*.nb0)|*.nb0|");

QString Canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QString Q(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class RememberedFoldersTest : public ::testing::Test {
protected:
    RememberedFoldersTest() {
        std::filesystem::create_directories(scratch / "first");
        std::filesystem::create_directories(scratch / "boot loaders");
        std::ofstream(scratch / "boot loaders" / "eboot.eb0") << "x";
    }

    vantorel::test::TempDir scratch;
    const std::filesystem::path settings = scratch / "config" / "vantorel.ini";
    const QString first = Q(scratch / "first");
    const QString bootLoaders = Q(scratch / "boot loaders");
    const QString chosen = Q(scratch / "boot loaders" / "eboot.eb0");
};

TEST_F(RememberedFoldersTest, EachKindOfFileDialogOpensWhereItsLastFileCameFromAcrossARestart) {
    {
        QSettings(Q(settings), QSettings::IniFormat).setValue("ports/map", "1=1-2");
        RememberedFolders folders(first, settings);
        EXPECT_EQ(folders.StartFolder(kBootLoaderFilter), first);
        folders.Remember(kBootLoaderFilter, chosen);
        EXPECT_EQ(folders.StartFolder(kBootLoaderFilter), bootLoaders);
        EXPECT_EQ(folders.StartFolder(kApplicationFilter), first);
    }
    const RememberedFolders restarted(first, settings);
    EXPECT_EQ(restarted.StartFolder(kBootLoaderFilter), bootLoaders);
    EXPECT_EQ(restarted.StartFolder(kApplicationFilter), first);
    // The station's other settings in the same file stay as they were.
    EXPECT_EQ(QSettings(Q(settings), QSettings::IniFormat).value("ports/map").toString(), "1=1-2");

    // A remembered folder that has gone is no place to open in.
    std::filesystem::remove_all(scratch / "boot loaders");
    EXPECT_EQ(RememberedFolders(first, settings).StartFolder(kBootLoaderFilter), first);
}

TEST_F(RememberedFoldersTest, WithoutASettingsFileTheyLastAsLongAsTheObjectAndWriteNothing) {
    RememberedFolders folders(first, {});
    folders.Remember(kBootLoaderFilter, chosen);
    EXPECT_EQ(folders.StartFolder(kBootLoaderFilter), bootLoaders);
    EXPECT_EQ(RememberedFolders(first, {}).StartFolder(kBootLoaderFilter), first);
    EXPECT_FALSE(std::filesystem::exists(scratch / "config"));
    // No first folder given: the home folder, which the test programs keep in a scratch place.
    EXPECT_EQ(RememberedFolders({}, {}).StartFolder(kBootLoaderFilter), QDir::homePath());
}

// A settings path that is a FIFO, a device or a huge file is neither read (a FIFO would
// block, a device never end) nor written over.
TEST_F(RememberedFoldersTest, ASettingsFileThatIsNoBoundedRegularFileIsLeftAlone) {
    const std::filesystem::path fifo = scratch / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::filesystem::path device = scratch / "zero.ini";
    std::filesystem::create_symlink("/dev/zero", device);
    const std::filesystem::path huge = scratch / "huge.ini";
    {
        std::ofstream out(huge);
        out << "[open-file-folders]\n";
        out.seekp(64 << 20);
        out << "\n";
    }
    for (const auto& path : {fifo, device, huge}) {
        SCOPED_TRACE(path.string());
        RememberedFolders folders(first, path);
        EXPECT_EQ(folders.StartFolder(kBootLoaderFilter), first);
        folders.Remember(kBootLoaderFilter, chosen);
        EXPECT_EQ(folders.StartFolder(kBootLoaderFilter), bootLoaders);
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(device));
    EXPECT_EQ(std::filesystem::file_size(huge), (64u << 20) + 1);
}

// The real dialog, answered through its name box and Open: it opens in the first folder,
// gives the file typed, and after a restart the dialog of that kind opens where it came from.
TEST_F(RememberedFoldersTest, TheRealDialogOpensInTheRememberedFolderAndGivesTheFileTyped) {
    vantorel::test::FileDialogAnswers answers;
    {
        QtOperatorPrompts prompts(first, settings);
        answers.Queue(chosen);
        const auto answer = prompts.ChooseOpenFile(nullptr, kBootLoaderFilter);
        EXPECT_EQ(Canonical(answers.LastOpenedIn()), Canonical(first));
        ASSERT_TRUE(answer.has_value()) << answers.Problems();
        EXPECT_EQ(Canonical(*answer), Canonical(chosen));
    }
    QtOperatorPrompts restarted(first, settings);
    answers.Queue(chosen);
    EXPECT_TRUE(restarted.ChooseOpenFile(nullptr, kBootLoaderFilter).has_value());
    EXPECT_EQ(Canonical(answers.LastOpenedIn()), Canonical(bootLoaders));

    // A name that is no file: Open refuses it (its warning is answered), and cancelling
    // then gives nothing and remembers nothing.
    answers.Queue(Q(scratch / "first" / "missing.eb0"));
    EXPECT_FALSE(restarted.ChooseOpenFile(nullptr, kApplicationFilter).has_value());
    EXPECT_NE(answers.Problems().find("did not take"), std::string::npos) << answers.Problems();
    EXPECT_EQ(RememberedFolders(first, settings).StartFolder(kApplicationFilter), first);
    EXPECT_TRUE(answers.AllTaken());
}

// "Save main log as..." opens where the last log was saved, and keeps apart from the
// open-file dialogs' folders.
TEST_F(RememberedFoldersTest, TheSaveDialogOpensWhereTheLastLogWasSaved) {
    const QString logFilter = QStringLiteral("Log (*.log)|*.log|Text (*.txt)|*.txt|");
    std::filesystem::create_directories(scratch / "shift logs");
    vantorel::test::FileDialogAnswers answers;
    {
        QtOperatorPrompts prompts(first, settings);
        answers.Queue(Q(scratch / "shift logs" / "monday.log"));
        ASSERT_TRUE(prompts.ChooseSaveFile(nullptr, logFilter).has_value()) << answers.Problems();
        EXPECT_EQ(Canonical(answers.LastOpenedIn()), Canonical(first));
    }
    QtOperatorPrompts restarted(first, settings);
    answers.Queue(Q(scratch / "shift logs" / "tuesday.log"));
    ASSERT_TRUE(restarted.ChooseSaveFile(nullptr, logFilter).has_value()) << answers.Problems();
    EXPECT_EQ(Canonical(answers.LastOpenedIn()), Canonical(Q(scratch / "shift logs")));
    EXPECT_EQ(RememberedFolders(first, settings).StartFolder(logFilter), first)
        << "an open-file dialog with the same filter is another kind";
}

}  // namespace
}  // namespace vantorel::console::test
