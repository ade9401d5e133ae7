#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "images/image_selection.h"
#include "images/integrated_image.h"
#include "samples/sample_images.h"
#include "tests/images/image_files.h"
#include "tests/support/xdg_rule_check.h"

namespace vantorel::images {
namespace {

namespace fs = std::filesystem;
using test::PdaBytes;
using test::RecordingView;

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class UnpackTest : public ::testing::Test {
protected:
    // A container holding `eboot`, `pda` and `phone` back to back (an empty one is absent).
    std::string Container(const std::vector<uint8_t>& eboot, const std::vector<uint8_t>& pda,
                          const std::vector<uint8_t>& phone) {
        ContainerHeader header;
        std::vector<uint8_t> body;
        const std::vector<uint8_t>* parts[] = {&eboot, &pda, &phone};
        for (size_t i = 0; i < kContainerPartCount; ++i) {
            if (!parts[i]->empty()) {
                header.entries[i] = {static_cast<uint32_t>(kContainerHeaderSize + body.size()),
                                     static_cast<uint32_t>(parts[i]->size())};
                body = test::Concat(body, *parts[i]);
            }
        }
        return dir.WriteFile("image.img", test::Concat(BuildContainerHeader(header), body));
    }

    void PressImg(const std::optional<std::string>& path) {
        view.Answer(path);
        selection.OnImgButton(view);
    }

    fs::path Unpacked(ImageKind kind) const { return selection.Unpacked().FilePath(kind); }

    test::TempDir dir;
    RecordingView view;
    ImageSelection selection{(dir / "cache" / "vantorel").string()};
};

TEST(UnpackDirectoryPlace, ItIsInTheUsersCacheFolder) {
    test::ExpectTheXdgRule("XDG_CACHE_HOME", ".cache/vantorel/unpacked", "vantorel/unpacked",
                           [] { return fs::path(UnpackDirectory::DefaultPath()); });
}

// Without a home there is no directory: nothing is written, and no file outside it is named
// (an empty path joined with "/eboot.eb0" would be a file in the root).
TEST(UnpackDirectoryPlace, WithoutAPathNothingIsWrittenOrNamed) {
    const UnpackDirectory nowhere{std::string()};
    EXPECT_EQ(nowhere.FilePath(IMG_EBOOT), "");
    UnpackDirectory writable{std::string()};
    const std::vector<uint8_t> bytes(16, 0x5a);
    const MemorySource source(bytes);
    EXPECT_EQ(writable.Write(IMG_EBOOT, source, 0, bytes.size()), UnpackWrite::kCreateFailed);
}

TEST_F(UnpackTest, SampleImageUnpacksByteForByteIntoAPrivateDirectory) {
    samples::SampleSizes sizes;
    sizes.dwEboot = 5000;
    sizes.dwPdaImage = 70000;
    sizes.dwPhone = 3000;
    const auto set = samples::WriteSampleSet((dir / "samples").string(), sizes, 7);
    std::string shownWhileChoosing;
    view.onShowSelection = [&] { shownWhileChoosing = selection.ImgPath(); };

    PressImg(set.img);
    EXPECT_EQ(shownWhileChoosing, "File Loading...");
    EXPECT_EQ(view.filters.back(), "IMG ROM Image (*.img)|*.img|");
    ASSERT_TRUE(selection.ImgSelected()) << (view.mainLog.empty() ? "" : view.mainLog.back());
    EXPECT_EQ(selection.ImgPath(), set.img);
    EXPECT_TRUE(view.mainLog.empty());
    for (const auto& [kind, source] : {std::pair{IMG_EBOOT, set.eboot}, std::pair{IMG_PDA, set.pda},
                                       std::pair{IMG_PHONE, set.phone}}) {
        EXPECT_TRUE(selection.IsSelected(kind));
        EXPECT_EQ(selection.Path(kind), Unpacked(kind).string());
        EXPECT_EQ(ReadAll(Unpacked(kind)), ReadAll(source)) << source;
    }
    EXPECT_EQ(selection.Info().dwPdaSize, 70020u);
    EXPECT_EQ(view.detectEnabled, true);
    struct stat status {};
    ASSERT_EQ(::stat(selection.Unpacked().Path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    // Only the three fixed files are left: no temporary file behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(selection.Unpacked().Path()), {}), 3);
}

TEST_F(UnpackTest, WithdrawingTheImageClearsItsKindsAndDeletesItsFiles) {
    PressImg(Container({1, 2, 3}, PdaBytes(4), {9, 9}));
    ASSERT_TRUE(selection.ImgSelected());
    selection.OnImgButton(view);  // no dialog may open
    EXPECT_EQ(view.filters.size(), 1u);
    EXPECT_FALSE(selection.ImgSelected());
    EXPECT_EQ(selection.ImgPath(), "");
    for (const ImageKind kind : {IMG_EBOOT, IMG_PDA, IMG_PHONE}) {
        EXPECT_FALSE(selection.IsSelected(kind));
        EXPECT_FALSE(fs::exists(Unpacked(kind)));
    }
    EXPECT_EQ(view.detectEnabled, false);

    PressImg(Container({1, 2, 3}, {}, {}));
    ASSERT_TRUE(fs::exists(Unpacked(IMG_EBOOT)));
    selection.OnWindowClose();
    EXPECT_FALSE(fs::exists(Unpacked(IMG_EBOOT)));
}

TEST_F(UnpackTest, EmptyContainerSucceedsAndSelectsNothing) {
    PressImg(Container({}, {}, {}));
    EXPECT_TRUE(selection.ImgSelected());
    for (int kind = 0; kind < kImageKindCount; ++kind) {
        EXPECT_FALSE(selection.IsSelected(static_cast<ImageKind>(kind)));
    }
    EXPECT_FALSE(fs::exists(Unpacked(IMG_EBOOT)));
    EXPECT_FALSE(view.detectEnabled.has_value());
}

TEST_F(UnpackTest, PhoneOnlyContainerSelectsOnlyPhone) {
    PressImg(Container({}, {}, {4, 5, 6, 7}));
    EXPECT_TRUE(selection.IsSelected(IMG_PHONE));
    EXPECT_FALSE(selection.IsSelected(IMG_EBOOT));
    EXPECT_FALSE(selection.IsSelected(IMG_PDA));
    EXPECT_EQ(selection.Info().dwPhoneSize, 4u);
    EXPECT_EQ(ReadAll(Unpacked(IMG_PHONE)), (std::vector<uint8_t>{4, 5, 6, 7}));
}

TEST_F(UnpackTest, LeftoverFileAndPlantedLinkAreReplacedNotFollowed) {
    const fs::path target = selection.Unpacked().Path();
    fs::create_directories(target);
    const std::string victim = dir.WriteFile("victim.txt", {'k', 'e', 'e', 'p'});
    fs::create_symlink(victim, Unpacked(IMG_PDA));
    std::ofstream(Unpacked(IMG_EBOOT)) << "leftover from an earlier run";

    const auto pda = PdaBytes(6);
    PressImg(Container({8, 8}, pda, {}));
    ASSERT_TRUE(selection.ImgSelected());
    EXPECT_EQ(ReadAll(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(fs::is_symlink(Unpacked(IMG_PDA)));
    EXPECT_EQ(ReadAll(Unpacked(IMG_PDA)), pda);
    EXPECT_EQ(ReadAll(Unpacked(IMG_EBOOT)), (std::vector<uint8_t>{8, 8}));
    EXPECT_TRUE(view.messages.empty());
}

// A file that cannot be put in place (here a directory with something in it holds the fixed
// name) fails the IMG choice with the write failure's line and box.
TEST_F(UnpackTest, AFileThatCannotBeWrittenFailsTheChoiceWithItsLineAndBox) {
    fs::create_directories(Unpacked(IMG_PDA));
    std::ofstream(Unpacked(IMG_PDA) / "occupied") << "x";

    PressImg(Container({7, 7}, PdaBytes(6), {}));
    EXPECT_FALSE(selection.ImgSelected());
    ASSERT_EQ(view.mainLog.size(), 2u);
    EXPECT_EQ(view.mainLog[0], Unpacked(IMG_PDA).string() + " File write failed  \r\n");
    EXPECT_EQ(view.mainLog[1], "Select IMG file is incorrected. 1\r\n");
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "ERROR: File write failed \r\n");
    EXPECT_TRUE(fs::is_directory(Unpacked(IMG_PDA)));
    EXPECT_EQ(std::distance(fs::directory_iterator(selection.Unpacked().Path()),
                            fs::directory_iterator{}),
              2)
        << "no temporary file is left behind (the boot loader and the blocking directory stay)";
}

TEST_F(UnpackTest, DirectoryIsClosedToOthersAndMustBeTheUsersOwn) {
    const fs::path target = selection.Unpacked().Path();
    fs::create_directories(target);
    fs::permissions(target, fs::perms::all);
    PressImg(Container({1}, {}, {}));
    ASSERT_TRUE(selection.ImgSelected());
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    selection.OnImgButton(view);

    // A directory at that name that belongs to someone else is not written into.
    if (::geteuid() != 0) {
        GTEST_SKIP() << "changing a directory's owner needs root";
    }
    ASSERT_EQ(::chown(target.c_str(), 12345, 12345), 0);
    PressImg(Container({1}, {}, {}));
    EXPECT_FALSE(selection.ImgSelected());
    EXPECT_EQ(view.mainLog[0], Unpacked(IMG_EBOOT).string() + " file creation was failed\r\n");
    EXPECT_EQ(view.mainLog[1], "Select IMG file is incorrected. 1\r\n");
    EXPECT_EQ(view.messages.back().text,
              "ERROR: file creation ( GENERIC_WRITE | GENERIC_READ ) was failed error code\r\n");
    EXPECT_FALSE(fs::exists(Unpacked(IMG_EBOOT)));
}

TEST_F(UnpackTest, BadContainersWriteNothing) {
    const auto good = ReadAll(Container({1, 2}, {}, {3}));
    const auto expectCertificationFailure = [&](std::vector<uint8_t> bytes, const char* what) {
        view.mainLog.clear();
        view.messages.clear();
        PressImg(dir.WriteFile("bad.img", bytes));
        EXPECT_FALSE(selection.ImgSelected()) << what;
        EXPECT_EQ(selection.ImgPath(), "") << what;
        const Message failed{"IMG file certification failed!\r\n", "", MessageIcon::kNone};
        EXPECT_EQ(view.messages, std::vector<Message>{failed}) << what;
        EXPECT_EQ(view.mainLog, std::vector<std::string>{"Select IMG file is incorrected. 1\r\n"})
            << what;
        EXPECT_FALSE(fs::exists(selection.Unpacked().Path())) << what;
    };
    auto bytes = good;
    bytes[0] ^= 1;
    expectCertificationFailure(bytes, "first marker");
    bytes = good;
    bytes[31] ^= 1;
    expectCertificationFailure(bytes, "last marker");
    expectCertificationFailure({good.begin(), good.begin() + 31}, "shorter than its header");
    bytes = good;
    bytes.pop_back();
    expectCertificationFailure(bytes, "Phone image past the end");
}

TEST_F(UnpackTest, OtherFailedChoicesAreLoggedLikeEveryKinds) {
    PressImg(std::nullopt);
    EXPECT_EQ(view.mainLog.back(), "Select IMG file is incorrected. 2\r\n");
    PressImg(dir.WriteFile("image.bin", {1}));
    EXPECT_EQ(view.mainLog.back(), "Select IMG file is incorrected. 1\r\n");
    PressImg("");
    EXPECT_EQ(view.mainLog.back(), "Select IMG file is incorrected. 1\r\n");
    EXPECT_FALSE(selection.ImgSelected());
    EXPECT_EQ(selection.ImgPath(), "");

    const std::string missing = (dir / "gone.IMG").string();
    view.mainLog.clear();
    PressImg(missing);
    const std::vector<std::string> log = {missing + " CreateFile failed \r\n",
                                          "Select IMG file is incorrected. 1\r\n"};
    EXPECT_EQ(view.mainLog, log);
    EXPECT_EQ(view.messages.back(), (Message{"CreateFile failed", "", MessageIcon::kNone}));
}

TEST_F(UnpackTest, InvalidImageInsideTheContainerIsNotSelected) {
    auto pda = PdaBytes(50);
    pda.resize(40);  // its size word reaches past its end
    PressImg(Container({1, 2, 3}, pda, {7}));
    EXPECT_FALSE(selection.ImgSelected());
    EXPECT_TRUE(selection.IsSelected(IMG_EBOOT));  // unpacked before the failure
    EXPECT_FALSE(selection.IsSelected(IMG_PDA));
    EXPECT_FALSE(selection.IsSelected(IMG_PHONE));
    EXPECT_FALSE(fs::exists(Unpacked(IMG_PDA)));
    const std::vector<std::string> log = {"Select PDA file is incorrected. 4\r\n",
                                          "Select IMG file is incorrected. 1\r\n"};
    EXPECT_EQ(view.mainLog, log);
}

TEST_F(UnpackTest, UnpackedPdaReplacesAnEarlierPdaWithItsPack) {
    view.Answer(dir.WriteFile("own.nb0", PdaBytes(10, test::PackBytes({"0409"}, 20))));
    selection.OnBrowseButton(IMG_PDA, view);
    ASSERT_TRUE(selection.PdaHasLang());
    PressImg(Container({}, PdaBytes(30), {}));
    ASSERT_TRUE(selection.ImgSelected());
    EXPECT_EQ(selection.Path(IMG_PDA), Unpacked(IMG_PDA).string());
    EXPECT_EQ(selection.Info().dwPdaSize, 50u);
    EXPECT_FALSE(selection.PdaHasLang());
    EXPECT_FALSE(selection.IsSelected(IMG_LANGPACK));
}

}  // namespace
}  // namespace vantorel::images
