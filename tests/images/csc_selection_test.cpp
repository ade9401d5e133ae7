#include <gtest/gtest.h>

#include <filesystem>

#include "images/image_selection.h"
#include "tests/images/image_files.h"

namespace vantorel::images {
namespace {

using test::CscBytes;
using test::CscHeader;
using test::PackBytes;
using test::RecordingView;

class CscSelectionTest : public ::testing::Test {
protected:
    void Choose(ImageKind kind, const std::string& path) {
        view.Answer(path);
        selection.OnBrowseButton(kind, view);
    }

    // A multi-CSC file with entries of 3 and 5 blocks.
    std::string MultiCsc() {
        std::vector<CscEntry> entries(2);
        entries[0] = {"EUR.csc", 0x5000, 3, 0, 0};
        entries[1] = {"KOR.csc", 0x9000, 5, 0, 0};
        auto file = BuildCscTable(entries);
        file = test::Concat(file, CscBytes(CscHeader("EUR1", "0409", {5, 8}, 0), 3 * 0x20000));
        file = test::Concat(file, CscBytes(CscHeader("KOR1", "0412", {}, 1), 5 * 0x20000));
        return dir.WriteFile("multi.csc", file);
    }

    test::TempDir dir;
    RecordingView view;
    ImageSelection selection{(dir / "unpacked").string()};
};

TEST_F(CscSelectionTest, SingleCscShowsItsInformationAndLanguages) {
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0409", "0407"}, 10)));
    const auto file = CscBytes(CscHeader("T4K9XXJA1", "0409", {5, 8, 7}, 1), 1000);
    Choose(IMG_CSC, dir.WriteFile("one.csc", file));
    ASSERT_TRUE(selection.IsSelected(IMG_CSC));
    EXPECT_EQ(selection.CscOffset(), 0u);
    EXPECT_EQ(selection.Info().dwCscSize, 1000u);
    EXPECT_TRUE(selection.CscCombo().items.empty());
    EXPECT_TRUE(view.auxVisible);
    const std::vector<std::string> info = {
        "----------------- Information of selected CSC ------------------\r\n",
        "Version:[T4K9XXJA1]\r\n", "DefaultLangCode:[0409]\r\n", "SalesCode:[XEU]\r\n",
        "Priority:[1]\r\n"};
    EXPECT_EQ(view.auxLog, info);
    const std::vector<std::string> items = {"English(USA)", "German(Germany)", "French(France)",
                                            "User Select"};
    EXPECT_EQ(selection.LanguageCombo().items, items);
    EXPECT_EQ(selection.LanguageCombo().current, 1);  // the pack's entry 1, German
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{1, "0407"}));

    selection.OnLanguageSelectionChanged(3);
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{21, "0000"}));

    selection.OnBrowseButton(IMG_CSC, view);
    EXPECT_FALSE(view.auxVisible);
    EXPECT_TRUE(view.auxLog.empty());
    EXPECT_EQ(selection.Info().dwCscSize, 0u);
}

TEST_F(CscSelectionTest, MultiCscListsItsEntriesAndRereadsTheChosenHeader) {
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0409", "0412"}, 10)));
    Choose(IMG_CSC, MultiCsc());
    ASSERT_TRUE(selection.IsSelected(IMG_CSC));
    const std::vector<std::string> log = {
        "----------------- Information of Multi CSC Image ------------------\r\n",
        "Csc(0) file name: [EUR.csc] file size:[0x5000] TotalBlockCnt:[0x3]\r\n",
        "Csc(1) file name: [KOR.csc] file size:[0x9000] TotalBlockCnt:[0x5]\r\n"};
    EXPECT_EQ(view.mainLog, log);
    EXPECT_EQ(selection.CscCombo().items, (std::vector<std::string>{"EUR.csc", "KOR.csc"}));
    EXPECT_EQ(selection.CscCombo().current, 0);
    EXPECT_EQ(selection.CscOffset(), 0x20000u);
    EXPECT_EQ(selection.Info().dwCscSize, 3u * 131072);
    EXPECT_EQ(selection.CscHeader().strVersion, "EUR1");
    EXPECT_EQ(selection.CscEntries()[1].dwOffset, 0x80000u);

    selection.OnCscSelectionChanged(1, view);
    EXPECT_EQ(selection.CscCombo().current, 1);
    EXPECT_EQ(selection.CscOffset(), 0x80000u);
    EXPECT_EQ(selection.Info().dwCscSize, 5u * 131072);
    EXPECT_EQ(selection.CscHeader().strVersion, "KOR1");
    EXPECT_EQ(view.auxLog[1], "Version:[KOR1]\r\n");
    // No list of its own: the pack's languages, with the image's default (entry 1) picked.
    EXPECT_EQ(selection.LanguageCombo().items.size(), 3u);
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{1, "0412"}));

    selection.OnCscSelectionChanged(2, view);  // no such entry: nothing changes
    EXPECT_EQ(selection.CscOffset(), 0x80000u);
}

TEST_F(CscSelectionTest, EntryThatChangedUnderneathDropsTheChoice) {
    const std::string path = MultiCsc();
    Choose(IMG_CSC, path);
    std::filesystem::resize_file(path, 0x80000 + 100);
    selection.OnCscSelectionChanged(1, view);
    EXPECT_FALSE(selection.IsSelected(IMG_CSC));
    EXPECT_EQ(selection.Path(IMG_CSC), "");
    EXPECT_TRUE(selection.CscCombo().items.empty());
    EXPECT_EQ(view.mainLog.back(), "Select CSC file is incorrected. 4\r\n");
}

TEST_F(CscSelectionTest, FixedLanguageCscEmptiesTheComboAndFixesTheWorkersLanguage) {
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0409", "0412"}, 10)));
    Choose(IMG_CSC, dir.WriteFile("tr.csc", CscBytes(CscHeader("TUR", "041F", {5, 8}, 1), 500)));
    ASSERT_TRUE(selection.IsSelected(IMG_CSC));
    EXPECT_TRUE(selection.LanguageCombo().items.empty());
    EXPECT_EQ(selection.Languages().PackLanguages()[0], 5);  // the pack's list is kept
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{0, "041F"}));

    // Once the CSC is cleared it fixes nothing.
    selection.OnBrowseButton(IMG_CSC, view);
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{21, "0000"}));
}

// A pack chosen after a CSC image that offers its own list replaces that list in the box,
// and the pick is then a position in the pack's list, whichever order the CSC listed.
TEST_F(CscSelectionTest, PackChosenAfterACscListSendsThePickedLanguage) {
    // English, German, French, with the pack's entry 1 as default.
    Choose(IMG_CSC,
           dir.WriteFile("one.csc", CscBytes(CscHeader("EUR", "0409", {5, 8, 7}, 1), 500)));
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0407", "0409", "0412"}, 10)));
    const std::vector<std::string> items = {"German(Germany)", "English(USA)", "Korean(Korea)",
                                            "User Select"};
    ASSERT_EQ(selection.LanguageCombo().items, items);
    const LanguageChoice expected[] = {{0, "0407"}, {1, "0409"}, {2, "0412"}, {21, "0000"}};
    for (int item = 0; item < 4; ++item) {
        selection.OnLanguageSelectionChanged(item);
        EXPECT_EQ(selection.WorkerLanguage(), expected[item]) << items[item];
    }
}

// Withdrawing the CSC image returns the box to the pack's list (or to nothing), and its list
// maps no pick any more.
TEST_F(CscSelectionTest, WithdrawnCscLeavesThePacksLanguagesInForce) {
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0407", "0409", "0412"}, 10)));
    Choose(IMG_CSC,
           dir.WriteFile("one.csc", CscBytes(CscHeader("EUR", "0409", {5, 8, 7}, 1), 500)));
    ASSERT_EQ(selection.LanguageCombo().items.size(), 4u) << "the CSC's own list";
    selection.OnBrowseButton(IMG_CSC, view);

    const std::vector<std::string> items = {"German(Germany)", "English(USA)", "Korean(Korea)",
                                            "User Select"};
    EXPECT_EQ(selection.LanguageCombo().items, items);
    EXPECT_EQ(selection.LanguageCombo().current, 3);
    EXPECT_EQ(selection.Languages().CscLanguages()[0], -1);
    selection.OnLanguageSelectionChanged(1);
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{1, "0409"}));

    // Without a pack, a withdrawn CSC image leaves nothing to choose.
    selection.OnBrowseButton(IMG_LANGPACK, view);
    Choose(IMG_CSC,
           dir.WriteFile("one.csc", CscBytes(CscHeader("EUR", "0409", {5, 8, 7}, 1), 500)));
    ASSERT_FALSE(selection.LanguageCombo().items.empty());
    selection.OnBrowseButton(IMG_CSC, view);
    EXPECT_TRUE(selection.LanguageCombo().items.empty());
    EXPECT_EQ(selection.Languages().CscLanguages()[0], -1);
}

TEST_F(CscSelectionTest, MalformedCscFilesAreRefusedBeforeAnythingIsShown) {
    std::vector<CscEntry> entries(1);
    entries[0] = {"A.csc", 0, 1, 0, 0};
    auto tooMany = BuildCscTable(entries);
    test::PutLe32(tooMany, 36, 1024);
    tooMany.resize(0x40000);
    auto pastEnd = BuildCscTable({{"A.csc", 0, 3, 0, 0}});
    pastEnd.resize(0x20000 + 2 * 0x20000);

    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"many.csc", tooMany}, {"past.csc", pastEnd}, {"short.csc", {0xCC, 0xCC}}}) {
        view.mainLog.clear();
        Choose(IMG_CSC, dir.WriteFile(name, bytes));
        EXPECT_FALSE(selection.IsSelected(IMG_CSC)) << name;
        EXPECT_EQ(selection.Path(IMG_CSC), "") << name;
        EXPECT_EQ(view.mainLog, std::vector<std::string>{"Select CSC file is incorrected. 4\r\n"})
            << name;
        EXPECT_TRUE(selection.CscCombo().items.empty()) << name;
        EXPECT_TRUE(view.auxLog.empty()) << name;
    }
}

}  // namespace
}  // namespace vantorel::images
