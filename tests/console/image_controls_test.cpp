// The image controls of the real dialog: browse buttons, drop-downs, path boxes, Detect, the
// second log and the snapshot the workers get, with the operator's file dialogs answered.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <filesystem>
#include <memory>

#include "images/csc_file.h"
#include "images/image_selection.h"
#include "images/integrated_image.h"
#include "images/pda_image.h"
#include "samples/sample_images.h"
#include "tests/console/console_fixture.h"
#include "tests/support/shown_logs.h"
#include "tests/support/temp_dir.h"

namespace vantorel::console::test {
namespace {

namespace fs = std::filesystem;
using vantorel::test::TempDir;

class ImageControlsTest : public ConsoleTest {
protected:
    static void SetUpTestSuite() {
        s_files = std::make_unique<TempDir>();
        s_set =
            samples::WriteSampleSet((s_files->Path() / "set").string(), samples::SampleSizes{}, 7);
    }
    static void TearDownTestSuite() { s_files.reset(); }

    void SetUp() override {
        ConsoleTest::SetUp();
        // Unpacked images go to a directory of this test, never to the user's cache.
        dlg->m_selection = images::ImageSelection(UnpackDir().string());
    }

    fs::path UnpackDir() const { return m_scratch.Path() / "unpacked"; }
    QComboBox* Combo(int id) const { return dlg->Controls().As<QComboBox>(id); }
    QStringList Items(int id) const {
        QStringList items;
        for (int i = 0; i < Combo(id)->count(); ++i) {
            items.append(Combo(id)->itemText(i));
        }
        return items;
    }
    bool AuxLogShown() const { return !dlg->GetDlgItem(ctl::kAuxLog)->isHidden(); }
    QString AuxLogText() const { return vantorel::test::ShownLogText(*dlg, ctl::kAuxLog); }
    bool Selected(images::ImageKind kind) const { return dlg->m_selection.IsSelected(kind); }
    static uint32_t Size(const std::string& path) {
        return static_cast<uint32_t>(fs::file_size(path));
    }

    static std::unique_ptr<TempDir> s_files;
    static samples::SampleSet s_set;
    TempDir m_scratch;
};

std::unique_ptr<TempDir> ImageControlsTest::s_files;
samples::SampleSet ImageControlsTest::s_set;

TEST_F(ImageControlsTest, ABrowseButtonChoosesAndThenWithdrawsWithoutADialog) {
    QString shownWhileChoosing;
    prompts.onChooseFile = [&] { shownWhileChoosing = Text(ctl::kEbootPath); };
    ChooseImage(ctl::kEbootButton, s_set.eboot);

    EXPECT_EQ(shownWhileChoosing, "File Loading...");
    ASSERT_EQ(prompts.fileFilters.size(), 1u);
    EXPECT_EQ(prompts.fileFilters[0],
              "EBoot ROM Image (*.eb0)|*.eb0|EBoot ROM Image (*.nb0)|*.nb0|");
    EXPECT_TRUE(Selected(images::IMG_EBOOT));
    EXPECT_EQ(Text(ctl::kEbootPath).toStdString(), s_set.eboot);
    EXPECT_EQ(Text(ctl::kEbootVersion), "Eboot Ver : 20090110");
    EXPECT_TRUE(Enabled(ctl::kDetect));

    dlg->Controls().As<QAbstractButton>(ctl::kEbootButton)->click();
    EXPECT_EQ(prompts.fileFilters.size(), 1u) << "withdrawing opens no dialog";
    EXPECT_FALSE(Selected(images::IMG_EBOOT));
    EXPECT_EQ(Text(ctl::kEbootPath), "");
    EXPECT_EQ(Text(ctl::kEbootVersion), "");
    EXPECT_FALSE(Enabled(ctl::kDetect));

    ChooseImage(ctl::kEbootButton, s_set.eboot);
    EXPECT_EQ(prompts.fileFilters.size(), 2u) << "the next press opens the dialog again";
    EXPECT_TRUE(Selected(images::IMG_EBOOT));
}

// Return in a drop-down confirms the pick; it must not press a browse button, which would
// withdraw that button's image without a word.
TEST_F(ImageControlsTest, ReturnInADropDownPressesNoBrowseButton) {
    ChooseImage(ctl::kEbootButton, s_set.eboot);
    ChooseImage(ctl::kLangButton, s_set.langPack);
    dlg->show();
    auto* language = dlg->Controls().As<QComboBox>(ctl::kLanguageCombo);
    language->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(language, &press);
    EXPECT_TRUE(Selected(images::IMG_EBOOT));
    EXPECT_TRUE(Selected(images::IMG_LANGPACK));
    EXPECT_EQ(prompts.fileFilters.size(), 2u) << "no browse dialog opened";
}

TEST_F(ImageControlsTest, DetectFollowsTheSelectionAndReset) {
    EXPECT_FALSE(Enabled(ctl::kDetect));
    ChooseImage(ctl::kPhoneButton, s_set.phone);
    EXPECT_TRUE(Enabled(ctl::kDetect));
    ChooseImage(ctl::kCscButton, s_set.csc);
    dlg->Controls().As<QAbstractButton>(ctl::kPhoneButton)->click();
    EXPECT_TRUE(Enabled(ctl::kDetect)) << "the CSC image is still chosen";
    dlg->Controls().As<QAbstractButton>(ctl::kCscButton)->click();
    EXPECT_FALSE(Enabled(ctl::kDetect)) << "the last image was withdrawn";

    // A batch has ended with nothing chosen any more: "reset all" leaves Detect off, and
    // turns it on once an image is chosen.
    StartBatch({0});
    Send(518, 0);
    dlg->OnBnClickedResetAll();
    EXPECT_FALSE(Enabled(ctl::kDetect));
    ChooseImage(ctl::kSmdButton, s_set.smd);
    dlg->OnBnClickedResetAll();
    EXPECT_TRUE(Enabled(ctl::kDetect));
}

TEST_F(ImageControlsTest, AChosenSetReachesTheControlsAndTheWorkersSnapshot) {
    ChooseImage(ctl::kEbootButton, s_set.ebootLarge);
    ChooseImage(ctl::kPdaButton, s_set.pdaWithLang);
    // The pack behind the PDA image chooses the LANG kind and fills the language list.
    EXPECT_TRUE(Selected(images::IMG_LANGPACK));
    EXPECT_EQ(Items(ctl::kLanguageCombo),
              (QStringList{"English(USA)", "German(Germany)", "French(France)", "Korean(Korea)",
                           "User Select"}));
    EXPECT_EQ(Combo(ctl::kLanguageCombo)->currentIndex(), 4);

    ChooseImage(ctl::kCscButton, s_set.multiCsc);
    ChooseImage(ctl::kPhoneButton, s_set.phone);
    EXPECT_EQ(Items(ctl::kCscCombo), (QStringList{"CSC_0.csc", "CSC_1.csc"}));
    EXPECT_EQ(Combo(ctl::kCscCombo)->currentIndex(), 0);
    // The first CSC image offers its own list and picks the pack's second language.
    EXPECT_EQ(Items(ctl::kLanguageCombo),
              (QStringList{"English(USA)", "German(Germany)", "French(France)", "User Select"}));
    EXPECT_EQ(Combo(ctl::kLanguageCombo)->currentText(), "German(Germany)");
    EXPECT_NE(
        MainLog().find("----------------- Information of Multi CSC Image ------------------\r\n"
                       "Csc(0) file name: [CSC_0.csc] file size:[0x5ff9c] TotalBlockCnt:[0x3]\r\n"
                       "Csc(1) file name: [CSC_1.csc] file size:[0x9ff9c] TotalBlockCnt:[0x5]\r\n"),
        std::string::npos)
        << MainLog();
    EXPECT_EQ(Text(ctl::kPdaPath).toStdString(), s_set.pdaWithLang);
    EXPECT_EQ(Text(ctl::kCscPath).toStdString(), s_set.multiCsc);
    EXPECT_EQ(Text(ctl::kPhonePath).toStdString(), s_set.phone);
    EXPECT_EQ(Text(ctl::kLangPath), "") << "the pack came with the PDA image";

    // The path boxes only show the selection: reading the controls back changes nothing.
    dlg->Controls().SetText(ctl::kPdaPath, QStringLiteral("/elsewhere/other.nb0"));
    dlg->UpdateData(true);
    EXPECT_EQ(dlg->m_selection.Path(images::IMG_PDA), s_set.pdaWithLang);
    dlg->UpdateData(false);
    EXPECT_EQ(Text(ctl::kPdaPath).toStdString(), s_set.pdaWithLang);

    engine::DownloadImages batch = dlg->CurrentDownloadImages();
    EXPECT_TRUE(batch.bEboot);
    EXPECT_TRUE(batch.bPda);
    EXPECT_TRUE(batch.bCsc);
    EXPECT_TRUE(batch.bLangPack);
    EXPECT_TRUE(batch.bPhone);
    EXPECT_FALSE(batch.bSmd);
    EXPECT_EQ(batch.strEbootPath, s_set.ebootLarge);
    EXPECT_EQ(batch.strPdaPath, s_set.pdaWithLang);
    EXPECT_EQ(batch.strCscPath, s_set.multiCsc);
    EXPECT_EQ(batch.strPhonePath, s_set.phone);
    EXPECT_EQ(batch.strSmdPath, "");
    EXPECT_TRUE(batch.bEbootLarge);
    EXPECT_EQ(batch.info.dwEbootSize, Size(s_set.ebootLarge));
    EXPECT_EQ(batch.info.dwPdaSize, Size(s_set.pdaWithLang));
    EXPECT_EQ(batch.info.dwPhoneSize, Size(s_set.phone));
    EXPECT_EQ(batch.info.dwCscSize, 3u * images::kCscBlockSize);
    EXPECT_EQ(batch.dwCscOffset, 0x20000u);
    EXPECT_EQ(batch.dwLanguageIndex, 1u);
    EXPECT_EQ(batch.strLanguageCode, "0407");

    // The operator's pick in the language list is what the workers send.
    Combo(ctl::kLanguageCombo)->setCurrentIndex(3);
    batch = dlg->CurrentDownloadImages();
    EXPECT_EQ(batch.dwLanguageIndex, 21u);
    EXPECT_EQ(batch.strLanguageCode, "0000");
    Combo(ctl::kLanguageCombo)->setCurrentIndex(0);
    batch = dlg->CurrentDownloadImages();
    EXPECT_EQ(batch.dwLanguageIndex, 0u);
    EXPECT_EQ(batch.strLanguageCode, "0409");
}

TEST_F(ImageControlsTest, PickingAnotherCscEntryRereadsItAndShowsItInTheSecondLog) {
    ChooseImage(ctl::kPdaButton, s_set.pdaWithLang);
    ChooseImage(ctl::kCscButton, s_set.multiCsc);
    EXPECT_TRUE(AuxLogShown());
    EXPECT_EQ(AuxLogText(),
              "----------------- Information of selected CSC ------------------\n"
              "Version:[MULTI0]\nDefaultLangCode:[0409]\nSalesCode:[S0]\nPriority:[0]\n");

    Combo(ctl::kCscCombo)->setCurrentIndex(1);
    EXPECT_EQ(dlg->m_selection.CscOffset(), 0x80000u);
    EXPECT_EQ(dlg->CurrentDownloadImages().info.dwCscSize, 5u * images::kCscBlockSize);
    EXPECT_EQ(dlg->m_logs.Text(ShownLog::Aux),
              "----------------- Information of selected CSC ------------------\r\n"
              "Version:[MULTI1]\r\nDefaultLangCode:[0412]\r\nSalesCode:[S1]\r\nPriority:[1]\r\n");
    EXPECT_EQ(AuxLogText(),
              "----------------- Information of selected CSC ------------------\n"
              "Version:[MULTI1]\nDefaultLangCode:[0412]\nSalesCode:[S1]\nPriority:[1]\n");
    // This entry offers no list of its own: the pack's list, at the entry's default.
    EXPECT_EQ(Items(ctl::kLanguageCombo),
              (QStringList{"English(USA)", "German(Germany)", "French(France)", "Korean(Korea)",
                           "User Select"}));
    EXPECT_EQ(Combo(ctl::kLanguageCombo)->currentText(), "Korean(Korea)");

    dlg->Controls().As<QAbstractButton>(ctl::kCscButton)->click();
    EXPECT_FALSE(AuxLogShown());
    EXPECT_EQ(AuxLogText(), "");
    EXPECT_EQ(Combo(ctl::kCscCombo)->count(), 0);
}

TEST_F(ImageControlsTest, AFailedChoiceLogsItsLineAndLeavesTheKindUnchosen) {
    const std::string badPack = m_scratch.WriteFile("bad.lan", std::vector<uint8_t>(300, 0x11));
    ChooseImage(ctl::kLangButton, badPack);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "LangPack image file is invalid");
    EXPECT_EQ(prompts.messages[0].caption, "VELDHARROW");
    EXPECT_EQ(prompts.messages[0].icon, OperatorPrompts::Icon::Error);

    ChooseImage(ctl::kPdaButton, s_set.phone);  // not a .nb0 file
    ChooseImage(ctl::kEbootButton, std::nullopt);
    ChooseImage(ctl::kPhoneButton, (m_scratch.Path() / "gone.bin").string());

    EXPECT_EQ(MainLog(),
              "Select LANGPACK file is incorrected. 4\r\n"
              "Select PDA file is incorrected. 1\r\n"
              "Select Eboot file is incorrected. 3\r\n"
              "Select Phone file is incorrected. 5\r\n");
    for (const images::ImageKind kind :
         {images::IMG_LANGPACK, images::IMG_PDA, images::IMG_EBOOT, images::IMG_PHONE}) {
        EXPECT_FALSE(Selected(kind)) << kind;
    }
    for (const int id : {ctl::kLangPath, ctl::kPdaPath, ctl::kEbootPath, ctl::kPhonePath}) {
        EXPECT_EQ(Text(id), "") << id;
    }
    EXPECT_FALSE(Enabled(ctl::kDetect));
    EXPECT_FALSE(dlg->CurrentDownloadImages().bLangPack);
}

TEST_F(ImageControlsTest, AnIntegratedImageIsUnpackedWithdrawnAndDeletedAtClose) {
    ChooseImage(ctl::kImgButton, s_set.img);
    const fs::path eboot = UnpackDir() / "eboot.eb0";
    const fs::path pda = UnpackDir() / "pda.nb0";
    const fs::path phone = UnpackDir() / "phone.bin";
    EXPECT_EQ(prompts.fileFilters.back(), "IMG ROM Image (*.img)|*.img|");
    EXPECT_EQ(Text(ctl::kImgPath).toStdString(), s_set.img);
    EXPECT_EQ(Text(ctl::kEbootPath).toStdString(), eboot.string());
    EXPECT_EQ(Text(ctl::kPdaPath).toStdString(), pda.string());
    EXPECT_EQ(Text(ctl::kPhonePath).toStdString(), phone.string());
    EXPECT_EQ(Size(eboot.string()), Size(s_set.eboot));
    EXPECT_EQ(Size(phone.string()), Size(s_set.phone));
    EXPECT_TRUE(Enabled(ctl::kDetect));
    const engine::DownloadImages batch = dlg->CurrentDownloadImages();
    EXPECT_TRUE(batch.bEboot && batch.bPda && batch.bPhone);
    EXPECT_EQ(batch.strPdaPath, pda.string());

    // Withdrawn: its images are no longer chosen and their files are gone.
    dlg->Controls().As<QAbstractButton>(ctl::kImgButton)->click();
    EXPECT_EQ(prompts.fileFilters.size(), 1u);
    EXPECT_FALSE(Selected(images::IMG_EBOOT) || Selected(images::IMG_PDA) ||
                 Selected(images::IMG_PHONE));
    EXPECT_EQ(Text(ctl::kImgPath), "");
    EXPECT_EQ(Text(ctl::kPdaPath), "");
    EXPECT_FALSE(Enabled(ctl::kDetect));
    EXPECT_FALSE(fs::exists(eboot) || fs::exists(pda) || fs::exists(phone));

    ChooseImage(ctl::kImgButton, s_set.img);
    ASSERT_TRUE(fs::exists(pda));
    ASSERT_TRUE(dlg->OnClose());
    EXPECT_FALSE(fs::exists(eboot) || fs::exists(pda) || fs::exists(phone));
}

// A container whose PDA image is broken: its boot loader was unpacked and stays chosen, the
// IMG choice fails; the unpacked boot loader must not outlive the window.
TEST_F(ImageControlsTest, AnImageUnpackedBeforeAFailureIsDeletedAtClose) {
    const std::vector<uint8_t> ebootBytes(4096, 0xE0);
    std::vector<uint8_t> brokenPda = images::BuildPdaHeader(1 << 20, 0);  // longer than the file
    brokenPda.resize(brokenPda.size() + 64, 0x5A);
    images::ContainerHeader header;
    header.entries[images::kContainerEboot] = {32, static_cast<uint32_t>(ebootBytes.size())};
    header.entries[images::kContainerPda] = {static_cast<uint32_t>(32 + ebootBytes.size()),
                                             static_cast<uint32_t>(brokenPda.size())};
    std::vector<uint8_t> container = images::BuildContainerHeader(header);
    container.insert(container.end(), ebootBytes.begin(), ebootBytes.end());
    container.insert(container.end(), brokenPda.begin(), brokenPda.end());

    ChooseImage(ctl::kImgButton, m_scratch.WriteFile("broken.img", container));
    EXPECT_NE(MainLog().find("Select PDA file is incorrected. 4\r\n"), std::string::npos);
    EXPECT_NE(MainLog().find("Select IMG file is incorrected. 1\r\n"), std::string::npos);
    EXPECT_EQ(Text(ctl::kImgPath), "");
    ASSERT_TRUE(Selected(images::IMG_EBOOT));
    const fs::path eboot = UnpackDir() / "eboot.eb0";
    ASSERT_TRUE(fs::exists(eboot));

    ASSERT_TRUE(dlg->OnClose());
    EXPECT_FALSE(fs::exists(eboot));
}

// Closing deletes only what this window unpacked.
TEST_F(ImageControlsTest, ClosingWithoutAnUnpackedImageLeavesTheDirectoryAlone) {
    fs::create_directories(UnpackDir());
    const std::string other = (UnpackDir() / "pda.nb0").string();
    m_scratch.WriteFile("unpacked/pda.nb0", {1, 2, 3});
    ChooseImage(ctl::kPdaButton, s_set.pda);
    ASSERT_TRUE(dlg->OnClose());
    EXPECT_TRUE(fs::exists(other));
}

}  // namespace
}  // namespace vantorel::console::test
