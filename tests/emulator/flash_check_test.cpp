#include <gtest/gtest.h>

#include "emulator/flash_check.h"
#include "engine/boot_loader_protocol.h"
#include "images/csc_file.h"
#include "tests/support/temp_dir.h"

namespace vantorel::emulator::test {
namespace {

using emulator::FlashedImage;
using emulator::FlashRecord;
using emulator::SmdRange;
using vantorel::test::PatternBytes;

constexpr size_t kSmdBlock = 135168;
constexpr size_t kSmdHeader = 2048;

FlashedImage Flashed(std::span<const uint8_t> bytes) {
    FlashedImage image;
    image.length = bytes.size();
    image.bytes.assign(bytes.begin(), bytes.end());
    return image;
}

// As a handset in digest mode keeps it: no bytes.
FlashedImage Digested(std::span<const uint8_t> bytes) {
    FlashedImage image;
    image.length = bytes.size();
    image.byteSum = 0;
    for (const uint8_t byte : bytes) {
        image.byteSum += byte;
    }
    image.digest = emulator::FlashDigest::Of(bytes);
    return image;
}

// A multi-CSC file of two entries, one and two blocks long.
std::vector<uint8_t> MultiCsc() {
    std::vector<images::CscEntry> entries(2);
    entries[0].strName = "ONE.csc";
    entries[0].dwBlockCount = 1;
    entries[1].strName = "TWO.csc";
    entries[1].dwBlockCount = 2;
    std::vector<uint8_t> file = images::BuildCscTable(entries);
    for (const images::CscEntry& entry : entries) {
        const std::vector<uint8_t> header = images::BuildCscImageHeader({});
        const std::vector<uint8_t> body = PatternBytes(
            entry.dwBlockCount * images::kCscBlockSize - header.size(), entry.dwBlockCount);
        file.insert(file.end(), header.begin(), header.end());
        file.insert(file.end(), body.begin(), body.end());
    }
    return file;
}

TEST(FlashCheck, AMultiCscFileIsComparedByItsChosenEntry) {
    vantorel::test::TempDir files;
    const std::vector<uint8_t> file = MultiCsc();
    const std::string path = files.WriteFile("multi.csc", file);
    const std::span<const uint8_t> second = std::span(file).subspan(
        images::kCscTableSize + images::kCscBlockSize, 2 * images::kCscBlockSize);
    FlashRecord record;
    record.csc = Flashed(second);

    EXPECT_EQ(emulator::CheckFlashed(record, {{images::IMG_CSC, path, 1}}),
              std::vector<std::string>{});
    EXPECT_EQ(emulator::CheckFlashed(record, {{images::IMG_CSC, path, 0}}),
              std::vector<std::string>{"flashed a CSC image that differs from multi.csc"});
    EXPECT_EQ(emulator::CheckFlashed(record, {{images::IMG_CSC, path, 2}}),
              std::vector<std::string>{"has no such CSC entry: multi.csc"});
    record.csc = Flashed(std::vector<uint8_t>(file.begin(), file.end()));
    EXPECT_EQ(emulator::CheckFlashed(record, {{images::IMG_CSC, path, 1}}),
              std::vector<std::string>{"flashed a CSC image that differs from multi.csc"})
        << "the whole file is not the entry";

    // A single CSC file goes whole.
    std::vector<uint8_t> single = images::BuildCscImageHeader({});
    const std::vector<uint8_t> body = PatternBytes(5000, 9);
    single.insert(single.end(), body.begin(), body.end());
    record.csc = Flashed(single);
    EXPECT_EQ(
        emulator::CheckFlashed(record, {{images::IMG_CSC, files.WriteFile("one.csc", single)}}),
        std::vector<std::string>{});
}

class SmdCheck : public ::testing::Test {
protected:
    SmdCheck() : image(PatternBytes(kSmdHeader + 4 * kSmdBlock, 5)) {
        path = files.WriteFile("nand.smd", image);
        // The handset handed out block 10, then blocks 3 and 4; the image's fourth block
        // was not asked for.
        record.smdBlocks[10] = Flashed(Block(0));
        record.smdBlocks[3] = Digested(Block(1));
        record.smdBlocks[4] = Flashed(Block(2));
        record.commands = {{engine::kCmdWriteSmdBlocks, 0, 1, 10},
                           {engine::kCmdWriteSmdBlocks, 0, 2, 3}};
    }

    std::span<const uint8_t> Block(size_t index) const {
        return std::span(image).subspan(kSmdHeader + index * kSmdBlock, kSmdBlock);
    }
    std::vector<std::string> Check(std::span<const SmdRange> ranges = {}) const {
        return emulator::CheckFlashed(record, {{images::IMG_SMD, path}}, ranges);
    }

    vantorel::test::TempDir files;
    std::vector<uint8_t> image;
    std::string path;
    FlashRecord record;
    const std::vector<SmdRange> ranges{{10, 1}, {3, 2}};
};

TEST_F(SmdCheck, BlocksFillTheRangesInOrderAfterTheHeader) {
    EXPECT_EQ(Check(ranges), std::vector<std::string>{});
    EXPECT_EQ(Check(), std::vector<std::string>{}) << "ranges taken from the block writes";
    // The same blocks laid out in another order are another image.
    const std::vector<SmdRange> swapped{{3, 2}, {10, 1}};
    EXPECT_EQ(Check(swapped),
              std::vector<std::string>{
                  "flashed 3 SMD block(s) that differ from nand.smd, the first block 3"});
}

TEST_F(SmdCheck, AChangedMissingOrStrayBlockIsNamed) {
    record.smdBlocks[4].bytes[kSmdBlock - 1] ^= 0x40;
    EXPECT_EQ(Check(ranges),
              std::vector<std::string>{
                  "flashed 1 SMD block(s) that differ from nand.smd, the first block 4"});

    record.smdBlocks[4] = Flashed(Block(2));
    record.smdBlocks.erase(10);
    record.smdBlocks[11] = Flashed(Block(1));
    EXPECT_EQ(Check(ranges), (std::vector<std::string>{
                                 "did not flash 1 SMD block(s) of nand.smd, the first block 10",
                                 "flashed 1 SMD block(s) outside the ranges handed out for "
                                 "nand.smd"}));
}

TEST_F(SmdCheck, AnImageShorterThanTheRangesOrNoBlockAtAllIsAProblem) {
    const std::vector<SmdRange> beyond{{10, 1}, {3, 2}, {20, 2}};
    EXPECT_EQ(Check(beyond), std::vector<std::string>{"could not read SMD block 21 from nand.smd"});
    EXPECT_EQ(emulator::CheckFlashed(FlashRecord{}, {{images::IMG_SMD, path}}, ranges),
              std::vector<std::string>{"flashed no block of nand.smd"});
}

}  // namespace
}  // namespace vantorel::emulator::test
