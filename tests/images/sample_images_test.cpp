#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "images/image_selection.h"
#include "images/le_bytes.h"
#include "samples/sample_images.h"
#include "tests/images/recording_view.h"
#include "tests/support/temp_dir.h"

namespace vantorel::samples {
namespace {

namespace fs = std::filesystem;
using images::ImageKind;
using images::ImageSelection;

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

SampleSizes SmallSizes() {
    SampleSizes sizes;
    sizes.dwEboot = 3000;
    sizes.dwLargeEboot = 2048001;
    sizes.dwPdaImage = 10000;
    sizes.dwLangPackData = 500;
    sizes.dwCsc = 4000;
    sizes.multiCscBlocks = {3, 5};
    sizes.dwPhone = 2000;
    sizes.dwSmd = 1000;
    sizes.dwPdaSectorSize = 4096;  // three turns, the last of 10000 - 8192 bytes
    return sizes;
}

TEST(SampleImages, ContentIsAFunctionOfSeedStreamAndPosition) {
    test::TempDir first, second, third;
    const auto a = WriteSampleSet(first.Path().string(), SmallSizes(), 5);
    const auto b = WriteSampleSet(second.Path().string(), SmallSizes(), 5);
    const auto c = WriteSampleSet(third.Path().string(), SmallSizes(), 6);
    EXPECT_EQ(ReadAll(a.img), ReadAll(b.img));
    EXPECT_EQ(ReadAll(a.multiCsc), ReadAll(b.multiCsc));
    EXPECT_NE(ReadAll(a.phone), ReadAll(c.phone));
    EXPECT_NE(ReadAll(a.phone), ReadAll(a.smd));

    const auto phone = ReadAll(a.phone);
    ASSERT_EQ(phone.size(), 2000u);
    uint8_t piece[13];
    FillSampleBytes(5, 100, 1003, piece, sizeof piece);  // 100: the Phone stream
    EXPECT_TRUE(std::equal(piece, piece + sizeof piece, phone.begin() + 1003));
    EXPECT_EQ(SampleByte(5, 100, 1999), phone[1999]);
}

TEST(SampleImages, CheckWordsAreTheSumsTheWorkerSends) {
    test::TempDir dir;
    const auto set = WriteSampleSet(dir.Path().string(), SmallSizes(), 9);
    const auto pda = ReadAll(set.pdaWithLang);
    uint32_t lastTurn = 0;
    for (size_t i = 20 + 8192; i < 20 + 10000; ++i) {
        lastTurn += pda[i];
    }
    EXPECT_EQ(images::LoadLe32(pda.data() + 12), lastTurn);
    uint32_t packSum = 0;
    for (size_t i = 20 + 10000 + 228; i < pda.size(); ++i) {
        packSum += pda[i];
    }
    EXPECT_EQ(images::LoadLe32(pda.data() + 20 + 10000 + 4), packSum);
    EXPECT_EQ(ReadAll(set.langPack), std::vector<uint8_t>(pda.begin() + 20 + 10000, pda.end()));
}

TEST(SampleImages, EveryFileIsAcceptedForItsKind) {
    test::TempDir dir;
    const auto set = WriteSampleSet((dir / "set").string(), SmallSizes(), 3);
    test::RecordingView view;
    ImageSelection selection((dir / "unpacked").string());
    const auto choose = [&](ImageKind kind, const std::string& path) {
        if (selection.IsSelected(kind)) {
            selection.OnBrowseButton(kind, view);
        }
        view.Answer(path);
        selection.OnBrowseButton(kind, view);
        EXPECT_TRUE(selection.IsSelected(kind)) << path;
    };
    choose(images::IMG_EBOOT, set.eboot);
    choose(images::IMG_EBOOT, set.ebootLarge);
    EXPECT_TRUE(selection.EbootLarge());
    choose(images::IMG_PDA, set.pda);
    EXPECT_FALSE(selection.PdaHasLang());
    choose(images::IMG_PDA, set.pdaWithLang);
    EXPECT_TRUE(selection.PdaHasLang());
    EXPECT_EQ(selection.Info().dwLangSize, 500u);
    EXPECT_EQ(selection.LanguageCombo().items.size(), kSamplePackCodes.size() + 1);
    choose(images::IMG_CSC, set.multiCsc);
    EXPECT_EQ(selection.CscEntries().size(), 2u);
    EXPECT_EQ(fs::file_size(set.multiCsc), (1u + 3 + 5) * 0x20000);
    choose(images::IMG_CSC, set.csc);
    EXPECT_EQ(selection.LanguageCombo().items.size(), 4u);
    EXPECT_EQ(selection.WorkerLanguage(), (images::LanguageChoice{1, "0407"}));
    choose(images::IMG_CSC, set.fixedCsc);
    EXPECT_EQ(selection.WorkerLanguage(), (images::LanguageChoice{0, "041F"}));
    choose(images::IMG_PHONE, set.phone);
    choose(images::IMG_SMD, set.smd);
    selection.OnBrowseButton(images::IMG_PDA, view);
    choose(images::IMG_LANGPACK, set.langPack);
    EXPECT_TRUE(view.mainLog.size() == 3u) << "only the multi-CSC listing is logged";
    EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace vantorel::samples
