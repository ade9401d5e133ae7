#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <vector>

#include "engine/byte_sum.h"

namespace vantorel::engine {
namespace {

uint32_t ReferenceSum(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    return ByteSumPortable(bytes.data() + offset, length);
}

TEST(ByteSum, MatchesAPlainByteLoopAtEveryLengthAndAlignment) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(5000);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    for (size_t offset : {0u, 1u, 3u, 15u, 17u}) {
        for (size_t length :
             {0u, 1u, 15u, 16u, 31u, 32u, 33u, 127u, 128u, 129u, 2031u, 2032u, 4095u}) {
            EXPECT_EQ(ByteSum(bytes.data() + offset, length), ReferenceSum(bytes, offset, length))
                << "offset " << offset << " length " << length;
        }
    }
}

TEST(ByteSum, TreatsBytesAsUnsignedAndWrapsModulo2To32) {
    const std::vector<uint8_t> high(2032, 0xFF);
    EXPECT_EQ(ByteSum(high.data(), high.size()), 2032u * 255u);
    // 17 million bytes of 0xFF sum past 2^32: the result is the sum modulo 2^32.
    const std::vector<uint8_t> large(17'000'000, 0xFF);
    const uint64_t exact = uint64_t{17'000'000} * 255u;
    EXPECT_EQ(ByteSum(large.data(), large.size()), static_cast<uint32_t>(exact));
}

TEST(ByteSum, ContinuingOverChunksEqualsOneSum) {
    std::vector<uint8_t> bytes(100'000);
    std::iota(bytes.begin(), bytes.end(), 0);
    uint32_t chunked = 0;
    for (size_t offset = 0; offset < bytes.size(); offset += 4093) {
        chunked = ByteSumContinue(chunked, bytes.data() + offset,
                                  std::min<size_t>(4093, bytes.size() - offset));
    }
    EXPECT_EQ(chunked, ByteSum(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace vantorel::engine
