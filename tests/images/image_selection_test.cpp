#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "images/image_selection.h"
#include "tests/images/image_files.h"

namespace vantorel::images {
namespace {

using test::PackBytes;
using test::PdaBytes;
using test::RecordingView;
using test::SparseFile;

class ImageSelectionTest : public ::testing::Test {
protected:
    // Presses the kind's button and answers its file dialog with `path`.
    void Choose(ImageKind kind, const std::optional<std::string>& path) {
        view.Answer(path);
        selection.OnBrowseButton(kind, view);
    }

    test::TempDir dir;
    RecordingView view;
    ImageSelection selection{(dir / "unpacked").string()};
};

TEST_F(ImageSelectionTest, ButtonTogglesBetweenChoosingAndDeselecting) {
    const std::string path = dir.WriteFile("boot.eb0", std::vector<uint8_t>(1000, 1));
    std::string shownWhileChoosing;
    view.onShowSelection = [&] { shownWhileChoosing = selection.Path(IMG_EBOOT); };

    Choose(IMG_EBOOT, path);
    EXPECT_EQ(shownWhileChoosing, "File Loading...");
    EXPECT_EQ(view.filters.back(), "EBoot ROM Image (*.eb0)|*.eb0|EBoot ROM Image (*.nb0)|*.nb0|");
    EXPECT_TRUE(selection.IsSelected(IMG_EBOOT));
    EXPECT_EQ(selection.Path(IMG_EBOOT), path);
    EXPECT_EQ(selection.Info().dwEbootSize, 1000u);
    EXPECT_EQ(selection.EbootVersion(), "Eboot Ver : 20090110");
    EXPECT_EQ(view.detectEnabled, true);
    EXPECT_TRUE(view.mainLog.empty());

    selection.OnBrowseButton(IMG_EBOOT, view);  // no answer queued: no dialog may open
    EXPECT_EQ(view.filters.size(), 1u);
    EXPECT_FALSE(selection.IsSelected(IMG_EBOOT));
    EXPECT_EQ(selection.Path(IMG_EBOOT), "");
    EXPECT_EQ(selection.Info().dwEbootSize, 0u);
    EXPECT_EQ(selection.EbootVersion(), "");
    EXPECT_EQ(view.detectEnabled, false);

    Choose(IMG_EBOOT, path);
    EXPECT_EQ(view.filters.size(), 2u);
    EXPECT_TRUE(selection.IsSelected(IMG_EBOOT));
}

TEST_F(ImageSelectionTest, DetectStaysEnabledUntilTheLastKindIsCleared) {
    Choose(IMG_PHONE, dir.WriteFile("modem.bin", std::vector<uint8_t>(77, 2)));
    Choose(IMG_SMD, dir.WriteFile("nand.smd", std::vector<uint8_t>(55, 3)));
    EXPECT_EQ(selection.Info().dwPhoneSize, 77u);
    EXPECT_EQ(selection.Info().dwPhoneLen, 77u);
    EXPECT_EQ(selection.Info().dwSmdSize, 55u);
    view.detectEnabled.reset();
    selection.OnBrowseButton(IMG_PHONE, view);
    EXPECT_FALSE(view.detectEnabled.has_value());
    EXPECT_EQ(selection.Info().dwPhoneLen, 0u);
    selection.OnBrowseButton(IMG_SMD, view);
    EXPECT_EQ(view.detectEnabled, false);
}

TEST_F(ImageSelectionTest, ExtensionsAreComparedIgnoringCaseAndEb0IsForEbootOnly) {
    const std::string upper = dir.WriteFile("PDA.NB0", PdaBytes(10));
    Choose(IMG_PDA, upper);
    EXPECT_TRUE(selection.IsSelected(IMG_PDA));
    // Kept as chosen: on this system the lower-cased name would be another file.
    EXPECT_EQ(selection.Path(IMG_PDA), upper);

    Choose(IMG_EBOOT, dir.WriteFile("BOOT.NB0", {1, 2, 3}));
    EXPECT_TRUE(selection.IsSelected(IMG_EBOOT));

    Choose(IMG_PHONE, dir.WriteFile("modem.eb0", {1}));
    EXPECT_FALSE(selection.IsSelected(IMG_PHONE));
    EXPECT_EQ(selection.Path(IMG_PHONE), "");
    EXPECT_EQ(view.mainLog.back(), "Select Phone file is incorrected. 1\r\n");

    selection.OnBrowseButton(IMG_PDA, view);
    Choose(IMG_PDA, dir.WriteFile("pda.eb0", PdaBytes(10)));
    EXPECT_FALSE(selection.IsSelected(IMG_PDA));
    EXPECT_EQ(view.mainLog.back(), "Select PDA file is incorrected. 1\r\n");
}

TEST_F(ImageSelectionTest, CancelledEmptyAndUnopenableChoicesAreLoggedWithTheirCodes) {
    Choose(IMG_SMD, std::nullopt);
    EXPECT_EQ(view.mainLog.back(), "Select SMD file is incorrected. 3\r\n");
    Choose(IMG_CSC, "");
    EXPECT_EQ(view.mainLog.back(), "Select CSC file is incorrected. 2\r\n");
    Choose(IMG_LANGPACK, (dir / "missing.lan").string());
    EXPECT_EQ(view.mainLog.back(), "Select LANGPACK file is incorrected. 5\r\n");
    // Neither a directory nor a FIFO is an image; the FIFO must not block the dialog.
    std::filesystem::create_directory(dir / "folder.bin");
    Choose(IMG_PHONE, (dir / "folder.bin").string());
    EXPECT_EQ(view.mainLog.back(), "Select Phone file is incorrected. 5\r\n");
    ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
    Choose(IMG_PHONE, (dir / "pipe.bin").string());
    EXPECT_EQ(view.mainLog.back(), "Select Phone file is incorrected. 5\r\n");
    for (int kind = 0; kind < kImageKindCount; ++kind) {
        EXPECT_FALSE(selection.IsSelected(static_cast<ImageKind>(kind)));
        EXPECT_EQ(selection.Path(static_cast<ImageKind>(kind)), "");
    }
    EXPECT_FALSE(view.detectEnabled.has_value());
}

TEST_F(ImageSelectionTest, LargeEbootStartsOneByteAbove2048000) {
    Choose(IMG_EBOOT, SparseFile(dir, "exact.eb0", 2048000));
    EXPECT_FALSE(selection.EbootLarge());
    EXPECT_EQ(selection.Info().dwEbootSize, 2048000u);
    selection.OnBrowseButton(IMG_EBOOT, view);
    Choose(IMG_EBOOT, SparseFile(dir, "large.eb0", 2048001));
    EXPECT_TRUE(selection.EbootLarge());
    selection.OnBrowseButton(IMG_EBOOT, view);
    EXPECT_FALSE(selection.EbootLarge());
}

TEST_F(ImageSelectionTest, FilesBeyondThirtyTwoBitSizesAreRefused) {
    Choose(IMG_SMD, SparseFile(dir, "huge.smd", 0x100000000ull));
    EXPECT_FALSE(selection.IsSelected(IMG_SMD));
    EXPECT_EQ(view.mainLog.back(), "Select SMD file is incorrected. 4\r\n");
}

TEST_F(ImageSelectionTest, PdaWithPackSelectsLangUntilThePdaIsCleared) {
    const auto file = PdaBytes(100, PackBytes({"0409", "0412"}, 300));
    Choose(IMG_PDA, dir.WriteFile("pda.nb0", file));
    ASSERT_TRUE(selection.IsSelected(IMG_PDA));
    EXPECT_TRUE(selection.PdaHasLang());
    EXPECT_TRUE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_EQ(selection.Path(IMG_LANGPACK), "");
    EXPECT_EQ(selection.Info().dwPdaSize, file.size());
    EXPECT_EQ(selection.Info().dwLangSize, file.size() - 100 - 248);
    const std::vector<std::string> items = {"English(USA)", "Korean(Korea)", "User Select"};
    EXPECT_EQ(selection.LanguageCombo().items, items);

    // The LANG button only clears the LANG path while the PDA image brings the pack.
    selection.OnBrowseButton(IMG_LANGPACK, view);
    EXPECT_TRUE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_EQ(selection.Info().dwLangSize, file.size() - 100 - 248);
    EXPECT_EQ(selection.LanguageCombo().items, items);

    selection.OnBrowseButton(IMG_PDA, view);
    EXPECT_FALSE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_FALSE(selection.PdaHasLang());
    EXPECT_EQ(selection.Info().dwLangSize, 0u);
    EXPECT_TRUE(selection.LanguageCombo().items.empty());
    EXPECT_EQ(selection.GetLanguageChoice(), (LanguageChoice{21, "0000"}));
    EXPECT_EQ(view.detectEnabled, false);
}

// The worker sends the pack a PDA file carries whenever it carries one, so that pack, its
// size and its languages replace a ".lan" chosen before; the LANG button then only clears
// the LANG path, so no ".lan" can come back while the PDA image brings its pack.
TEST_F(ImageSelectionTest, PdaPackReplacesALanguagePackChosenBefore) {
    Choose(IMG_LANGPACK, dir.WriteFile("pack.lan", PackBytes({"0407"}, 40)));
    EXPECT_EQ(selection.Info().dwLangSize, 40u);
    Choose(IMG_PDA, dir.WriteFile("pda.nb0", PdaBytes(8, PackBytes({"0409", "0412"}, 300))));
    ASSERT_TRUE(selection.IsSelected(IMG_PDA));
    EXPECT_TRUE(selection.PdaHasLang());
    EXPECT_TRUE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_EQ(selection.Path(IMG_LANGPACK), "") << "the .lan is no longer sent";
    EXPECT_EQ(selection.Info().dwLangSize, 300u);
    const std::vector<std::string> items = {"English(USA)", "Korean(Korea)", "User Select"};
    EXPECT_EQ(selection.LanguageCombo().items, items);
    selection.OnLanguageSelectionChanged(1);
    EXPECT_EQ(selection.WorkerLanguage(), (LanguageChoice{1, "0412"}));

    selection.OnBrowseButton(IMG_LANGPACK, view);  // no answer queued: no dialog may open
    selection.OnBrowseButton(IMG_LANGPACK, view);
    EXPECT_EQ(view.filters.size(), 2u) << "only the .lan and the PDA were asked for";
    EXPECT_TRUE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_EQ(selection.Info().dwLangSize, 300u);
    EXPECT_EQ(selection.LanguageCombo().items, items);

    selection.OnBrowseButton(IMG_PDA, view);
    EXPECT_FALSE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_EQ(selection.Info().dwLangSize, 0u);
    EXPECT_TRUE(selection.LanguageCombo().items.empty());
}

TEST_F(ImageSelectionTest, InvalidLanguagePacksShowTheirMessageBox) {
    const Message box{"LangPack image file is invalid", "VELDHARROW", MessageIcon::kError};
    auto badMagic = PackBytes({"0409"}, 10);
    badMagic[224] ^= 1;
    Choose(IMG_LANGPACK, dir.WriteFile("bad.lan", badMagic));
    EXPECT_EQ(view.messages, std::vector<Message>{box});
    EXPECT_EQ(view.mainLog.back(), "Select LANGPACK file is incorrected. 4\r\n");

    auto tooMany = PackBytes({}, 10);
    tooMany[8] = 22;
    Choose(IMG_LANGPACK, dir.WriteFile("many.lan", tooMany));
    EXPECT_EQ(view.messages.size(), 2u);
    Choose(IMG_LANGPACK, dir.WriteFile("short.lan", std::vector<uint8_t>(227, 0)));
    EXPECT_EQ(view.messages.size(), 3u);
    EXPECT_EQ(view.mainLog.back(), "Select LANGPACK file is incorrected. 4\r\n");

    // A pack behind a PDA image: too short for its header.
    Choose(IMG_PDA, dir.WriteFile("pda.nb0", PdaBytes(10, std::vector<uint8_t>(100, 0))));
    EXPECT_EQ(view.messages.size(), 4u);
    EXPECT_EQ(view.mainLog.back(), "Select PDA file is incorrected. 4\r\n");
    EXPECT_FALSE(selection.IsSelected(IMG_PDA));
    EXPECT_FALSE(selection.IsSelected(IMG_LANGPACK));
    EXPECT_FALSE(selection.Languages().PackHeader().has_value());
}

TEST_F(ImageSelectionTest, PdaSizeWordPastTheFileIsRefusedWithoutTheLanguageMessage) {
    auto file = PdaBytes(100);
    file.resize(110);
    Choose(IMG_PDA, dir.WriteFile("cut.nb0", file));
    EXPECT_FALSE(selection.IsSelected(IMG_PDA));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.mainLog.back(), "Select PDA file is incorrected. 4\r\n");
    Choose(IMG_PDA, dir.WriteFile("tiny.nb0", {1, 2, 3}));
    EXPECT_EQ(view.mainLog.back(), "Select PDA file is incorrected. 4\r\n");
}

}  // namespace
}  // namespace vantorel::images
