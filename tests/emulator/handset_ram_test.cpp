#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "emulator/handset_ram.h"
#include "engine/byte_sum.h"

namespace vantorel::emulator {
namespace {

std::vector<uint8_t> ReadBack(const HandsetRam& ram, uint64_t offset, uint64_t length) {
    std::vector<uint8_t> bytes;
    ram.Read(offset, length, [&](const uint8_t* data, size_t count) {
        bytes.insert(bytes.end(), data, data + count);
    });
    return bytes;
}

// A sparse image arrives as pages of zeros: past what the RAM holds they take no memory,
// and everything still reads back as written.
TEST(HandsetRamTest, ZerosPastTheHeldBytesTakeNoMemoryAndReadBackAsWritten) {
    HandsetRam ram(1 << 20);
    const std::vector<uint8_t> zeros(2032, 0);
    for (uint64_t offset = 0; offset < 100 * 2032; offset += 2032) {
        ASSERT_TRUE(ram.Write(offset, zeros.data(), zeros.size()));
    }
    EXPECT_EQ(ram.HeldBytes(), 0u);

    // One byte that is not zero, after the gap, is held with the gap before it.
    std::vector<uint8_t> packet(2032, 0);
    packet[5] = 0xA7;
    ASSERT_TRUE(ram.Write(100 * 2032, packet.data(), packet.size()));
    EXPECT_EQ(ram.HeldBytes(), 101u * 2032);
    const auto back = ReadBack(ram, 0, 102 * 2032);
    ASSERT_EQ(back.size(), 102u * 2032);
    EXPECT_EQ(back[100 * 2032 + 5], 0xA7);
    EXPECT_EQ(engine::ByteSum(back.data(), back.size()), 0xA7u);
    EXPECT_EQ(ram.Sum(0, 102 * 2032), 0xA7u);
}

// Zeros over bytes the RAM holds must overwrite them: only RAM past the end reads as zero.
TEST(HandsetRamTest, ZerosOverHeldBytesOverwriteThem) {
    HandsetRam ram(1 << 20);
    const std::vector<uint8_t> ones(4096, 1);
    ASSERT_TRUE(ram.Write(0, ones.data(), ones.size()));
    const std::vector<uint8_t> zeros(3000, 0);
    ASSERT_TRUE(ram.Write(1000, zeros.data(), zeros.size()));  // inside, and past the end
    EXPECT_EQ(ram.Sum(0, 4096), 1000u + 96u);
    EXPECT_EQ(ram.Sum(0, 8192), 1000u + 96u);
    const std::vector<uint8_t> more(10, 0);
    ASSERT_TRUE(ram.Write(0, more.data(), more.size()));
    EXPECT_EQ(ram.Sum(0, 4096), 990u + 96u);
}

TEST(HandsetRamTest, AWriteOutsideTheCapIsRefusedEvenAsZeros) {
    HandsetRam ram(4096);
    const std::vector<uint8_t> zeros(2032, 0);
    EXPECT_FALSE(ram.Write(4096 - 1000, zeros.data(), zeros.size()));
    EXPECT_TRUE(ram.Write(4096 - 2032, zeros.data(), zeros.size()));
}

}  // namespace
}  // namespace vantorel::emulator
