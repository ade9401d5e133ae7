// The language pack and the language choice as the handsets receive them: the pack that is
// flashed, its size and check word, and the index and code of command 1007, against what
// the Language box shows.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <set>

#include "engine/byte_sum.h"
#include "images/lang_pack.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using emulator::ChosenImage;
using emulator::FlashRecord;

class LanguageRunTest : public E2eTest {
protected:
    QComboBox* LanguageBox() const { return dlg->Controls().As<QComboBox>(ctl::kLanguageCombo); }
    std::string ShownLanguage() const { return LanguageBox()->currentText().toStdString(); }
    // Picks `name` in the Language box as the operator does; false when the box lacks it.
    bool PickLanguage(const QString& name) {
        const int item = LanguageBox()->findText(name);
        if (item < 0) {
            return false;
        }
        LanguageBox()->setCurrentIndex(item);
        return true;
    }
    // Starts the batch and runs it to its end line, noting every language the box showed.
    bool RunBatchWatchingTheLanguage(std::set<std::string>& shown) {
        dlg->Controls().As<QAbstractButton>(ctl::kStartDownloading)->click();
        return PumpUntil(
            [&] {
                shown.insert(ShownLanguage());
                return BatchEnded();
            },
            std::chrono::seconds(90));
    }
    // Detect, one handset, the batch run to its end without the wait after download; the
    // slot must end done.
    bool RunOneHandsetBatch() {
        SetOption(kWaitAfterDownloadBox, false);
        PressDetect();
        Attach(1);
        std::set<std::string> shown;
        if (!RunBatchWatchingTheLanguage(shown)) {
            ADD_FAILURE() << MainLog();
            return false;
        }
        ExpectDone(0);
        return true;
    }
    void ExpectLanguageSent(int slot, uint32_t index, const std::string& code) const {
        handsets[static_cast<size_t>(slot)]->Emulator().Inspect([&](const FlashRecord& record) {
            ASSERT_TRUE(record.languageChoice) << "slot " << slot + 1;
            EXPECT_EQ(record.languageChoice->index, index) << "slot " << slot + 1;
            EXPECT_EQ(record.languageChoice->code, code) << "slot " << slot + 1;
        });
    }
};

// The box keeps the operator's pick from Start to the batch's end, and every handset gets
// that language: here after an integrated image, a multi-CSC entry with its own list and a
// pack chosen after it.
TEST_P(LanguageRunTest, TheLanguageShownAtStartStaysAndReachesEveryHandset) {
    const samples::SampleSet set = WriteSamples();
    dlg->m_selection = images::ImageSelection((files / "unpacked").string());
    dlg->show();
    ChooseImage(ctl::kImgButton, set.img);
    ChooseImage(ctl::kCscButton, set.multiCsc);
    ChooseImage(ctl::kLangButton, set.langPack);
    ASSERT_TRUE(PickLanguage("German(Germany)"));
    PressDetect();
    for (int n = 1; n <= 3; ++n) {
        Attach(n);
    }
    ASSERT_EQ(ShownLanguage(), "German(Germany)");
    std::set<std::string> shown;
    ASSERT_TRUE(RunBatchWatchingTheLanguage(shown)) << MainLog();

    EXPECT_EQ(shown, std::set<std::string>{"German(Germany)"});
    for (int slot = 0; slot < 3; ++slot) {
        ExpectDone(slot);
        ExpectLanguageSent(slot, 1, "0407");
    }
}

// A pack chosen after a CSC image with its own list: the pick is sent as the pack's own
// entry, also for a language the CSC's list does not hold.
TEST_P(LanguageRunTest, APackChosenAfterACscListSendsThePickedLanguage) {
    const samples::SampleSet set = WriteSamples();
    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kCscButton, set.csc);
    ChooseImage(ctl::kLangButton, set.langPack);
    ASSERT_TRUE(PickLanguage("Korean(Korea)"));
    ASSERT_TRUE(RunOneHandsetBatch());
    ExpectLanguageSent(0, 3, "0412");
}

// A PDA image that carries a pack, chosen after a ".lan": its own pack goes out whole, with
// its own languages in the box and its own index sent.
TEST_P(LanguageRunTest, APdaPackChosenAfterALanIsTheOneSentWhole) {
    const samples::SampleSet set = WriteSamples();
    const std::vector<uint8_t> data(1000, 0x42);
    std::vector<uint8_t> lan =
        images::BuildLangPackHeader(engine::ByteSum(data.data(), data.size()), {"0412", "0407"});
    lan.insert(lan.end(), data.begin(), data.end());
    const std::string otherLan = files.WriteFile("other.lan", lan);

    ChooseImage(ctl::kEbootButton, set.eboot);
    ChooseImage(ctl::kLangButton, otherLan);
    ChooseImage(ctl::kPdaButton, set.pdaWithLang);
    EXPECT_TRUE(PickLanguage("French(France)")) << "the PDA pack's own languages";
    ASSERT_TRUE(RunOneHandsetBatch());
    // The sample ".lan" holds exactly the pack behind the PDA image.
    const std::vector<ChosenImage> chosen{{images::IMG_EBOOT, set.eboot},
                                          {images::IMG_PDA, set.pdaWithLang},
                                          {images::IMG_LANGPACK, set.langPack}};
    EXPECT_EQ(FlashProblems(*handsets[0], chosen), std::vector<std::string>{});
    ExpectLanguageSent(0, 2, "040C");
}

INSTANTIATE_TEST_SUITE_P(BothLinks, LanguageRunTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
