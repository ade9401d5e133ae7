#include <gtest/gtest.h>

#include "engine/byte_sum.h"
#include "engine/file_checksum.h"
#include "tests/support/temp_dir.h"

namespace vantorel::engine {
namespace {

TEST(FileChecksum, SumsInChunksAndLeavesThePositionWhereTheTransferStarts) {
    test::TempDir dir;
    const auto bytes = test::PatternBytes(1'000'003, 11);  // several read chunks and a tail
    ImageFile file;
    ASSERT_TRUE(file.Open(dir.WriteFile("a.bin", bytes)));

    EXPECT_EQ(FileByteSum(file), ByteSum(bytes.data(), bytes.size()));
    EXPECT_EQ(file.Position(), 0u);

    EXPECT_EQ(FileRangeByteSum(file, 0x20000, 300'000), ByteSum(bytes.data() + 0x20000, 300'000));
    EXPECT_EQ(file.Position(), 0x20000u);
    std::vector<uint8_t> head(16);
    ASSERT_EQ(file.Read(head.data(), head.size()), head.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin() + 0x20000));
}

TEST(FileChecksum, ARangePastTheEndSumsWhatIsThere) {
    test::TempDir dir;
    const auto bytes = test::PatternBytes(5000, 12);
    ImageFile file;
    ASSERT_TRUE(file.Open(dir.WriteFile("a.bin", bytes)));
    EXPECT_EQ(FileRangeByteSum(file, 4000, 10'000), ByteSum(bytes.data() + 4000, 1000));
}

TEST(ImageFile, ReadsAcrossItsBufferAndShortAtTheEnd) {
    test::TempDir dir;
    const auto bytes = test::PatternBytes(600'000, 13);
    ImageFile file;
    ASSERT_TRUE(file.Open(dir.WriteFile("a.bin", bytes)));
    EXPECT_EQ(file.Length(), bytes.size());
    std::vector<uint8_t> copy;
    std::vector<uint8_t> piece(2032);
    for (;;) {
        const size_t got = file.Read(piece.data(), piece.size());
        copy.insert(copy.end(), piece.begin(), piece.begin() + static_cast<long>(got));
        if (got < piece.size()) {
            break;
        }
    }
    EXPECT_EQ(copy, bytes);
    EXPECT_FALSE(ImageFile().Open((dir / "missing.bin").string()));
}

}  // namespace
}  // namespace vantorel::engine
