#include <gtest/gtest.h>

#include "images/lang_pack.h"
#include "images/language_lists.h"
#include "images/language_tables.h"

namespace vantorel::images {
namespace {

LangPackHeader Pack(std::vector<std::string> codes) {
    LangPackHeader header;
    header.codes = std::move(codes);
    return header;
}

TEST(LanguageTables, CodesMatchExactlyAndUnknownOnesFallBackToUserSelect) {
    EXPECT_EQ(LanguageIndexOfCode("0804"), 0);
    EXPECT_EQ(LanguageIndexOfCode("0409"), 5);
    EXPECT_EQ(LanguageIndexOfCode("0C0A"), 18);
    EXPECT_EQ(LanguageIndexOfCode("0000"), kUserSelectLanguage);
    EXPECT_EQ(LanguageIndexOfCode("0c0a"), kNoLanguage);  // upper-case digits only
    EXPECT_EQ(LanguageIndexOfCode("041F"), kNoLanguage);  // a fixed code is not in the table
    EXPECT_EQ(LanguageIndexOfCode("040"), kNoLanguage);
    EXPECT_EQ(LanguageName(5), "English(USA)");
    EXPECT_EQ(LanguageName(20), "User Select");
    EXPECT_EQ(LanguageName(kNoLanguage), "");
    EXPECT_EQ(LanguageName(-1), "");
    EXPECT_EQ(LanguageCode(kNoLanguage), "0000");
    EXPECT_EQ(LanguageCode(-1), "0000");
    EXPECT_TRUE(IsFixedLanguageCode("041F"));
    EXPECT_TRUE(IsFixedLanguageCode("0C01-TR"));
    EXPECT_FALSE(IsFixedLanguageCode("041"));
    EXPECT_FALSE(IsFixedLanguageCode("0409"));
}

TEST(LanguageLists, StartEmptyAndChooseUserSelect) {
    LanguageLists lists;
    for (int32_t entry : lists.PackLanguages()) {
        EXPECT_EQ(entry, -1);
    }
    for (int32_t entry : lists.CscLanguages()) {
        EXPECT_EQ(entry, -1);
    }
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
}

TEST(LanguageLists, PackWithUnknownCodeShowsAnEmptyItemThatMeansUserSelect) {
    LanguageLists lists;
    lists.AcceptPack(Pack({"0409", "9999", "0407"}));
    lists.ShowPackLanguages();

    EXPECT_EQ(lists.PackLanguages()[0], 5);
    EXPECT_EQ(lists.PackLanguages()[1], kNoLanguage);
    EXPECT_EQ(lists.PackLanguages()[2], 8);
    EXPECT_EQ(lists.PackLanguages()[3], kUserSelectLanguage);
    EXPECT_EQ(lists.PackLanguages()[4], -1);
    const std::vector<std::string> items = {"English(USA)", "", "German(Germany)", "User Select"};
    EXPECT_EQ(lists.Combo().items, items);
    EXPECT_EQ(lists.Combo().current, 3);

    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
    lists.SelectLanguage(0);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{0, "0409"}));
    lists.SelectLanguage(1);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
    lists.SelectLanguage(2);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{2, "0407"}));
    lists.SelectLanguage(7);  // no such item: nothing selected
    EXPECT_EQ(lists.Combo().current, -1);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
}

TEST(LanguageLists, FullPackKeepsUserSelectBehindItsTwentyOneLanguages) {
    std::vector<std::string> codes;
    for (int32_t i = 0; i < 21; ++i) {
        codes.emplace_back(LanguageCode(i % 20));
    }
    LanguageLists lists;
    lists.AcceptPack(Pack(codes));
    lists.ShowPackLanguages();
    ASSERT_EQ(lists.Combo().items.size(), 22u);
    EXPECT_EQ(lists.Combo().items.back(), "User Select");
    EXPECT_EQ(lists.Combo().current, 21);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
    lists.SelectLanguage(20);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{20, "0804"}));
}

TEST(LanguageLists, PackReplacesACscListInsteadOfBeingAppendedToIt) {
    LanguageLists lists;
    lists.ShowCscLanguages(0, {5, 8});
    ASSERT_EQ(lists.Combo().items.size(), 3u);
    lists.AcceptPack(Pack({"0412"}));
    lists.ShowPackLanguages();
    const std::vector<std::string> items = {"Korean(Korea)", "User Select"};
    EXPECT_EQ(lists.Combo().items, items);
    EXPECT_EQ(lists.Combo().current, 1);
}

TEST(LanguageLists, CscListMapsThePickBackIntoThePack) {
    LanguageLists lists;
    lists.AcceptPack(Pack({"0409", "0407", "0412"}));  // English, German, Korean
    // The CSC offers English, German and French; its default is the pack's entry 1 (German).
    lists.ShowCscLanguages(1, {5, 8, 7});
    const std::vector<std::string> items = {"English(USA)", "German(Germany)", "French(France)",
                                            "User Select"};
    EXPECT_EQ(lists.Combo().items, items);
    EXPECT_EQ(lists.Combo().current, 1);
    EXPECT_EQ(lists.CscLanguages()[3], kUserSelectLanguage);
    EXPECT_EQ(lists.CscLanguages()[4], -1);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{1, "0407"}));

    lists.SelectLanguage(0);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{0, "0409"}));
    lists.SelectLanguage(2);  // French is not in the pack
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
    lists.SelectLanguage(3);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
}

TEST(LanguageLists, CscWithoutListShowsThePackAndSelectsItsDefault) {
    LanguageLists lists;
    lists.AcceptPack(Pack({"0409", "0407", "0412"}));
    lists.ShowCscLanguages(2, {});
    EXPECT_EQ(lists.Combo().items.size(), 4u);
    EXPECT_EQ(lists.Combo().current, 2);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{2, "0412"}));

    lists.ShowCscLanguages(0xFFFFFFFFu, {});  // a default word that names no entry
    EXPECT_EQ(lists.Combo().current, -1);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));

    lists.ShowCscLanguages(0xFFFFFFFFu, {5, 8});  // and with a list
    EXPECT_EQ(lists.Combo().current, -1);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
}

TEST(LanguageLists, ResetTurnsThePackIntoUserSelectUnlessKept) {
    LanguageLists lists;
    lists.AcceptPack(Pack({"0409", "0407"}));
    lists.ShowPackLanguages();
    lists.ResetLanguages(true);
    EXPECT_TRUE(lists.Combo().items.empty());
    EXPECT_EQ(lists.PackLanguages()[0], 5);

    lists.ResetLanguages(false);
    EXPECT_EQ(lists.PackLanguages()[0], kUserSelectLanguage);
    EXPECT_EQ(lists.PackLanguages()[1], kUserSelectLanguage);
    lists.ShowPackLanguages();
    lists.SelectLanguage(0);
    EXPECT_EQ(lists.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
}

TEST(LanguageLists, PositionLookupSearchesTheFirstTwentyOneEntriesOnly) {
    std::vector<int32_t> list(22, -1);
    list[3] = 7;
    list[21] = 9;
    EXPECT_EQ(FindLanguagePosition(list, 7), 3);
    EXPECT_EQ(FindLanguagePosition(list, 9), kNoLanguage);
    EXPECT_EQ(FindLanguagePosition(list, -1), 0);
}

}  // namespace
}  // namespace vantorel::images
