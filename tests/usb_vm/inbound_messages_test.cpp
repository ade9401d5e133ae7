#include "tools/usb_vm/inbound_messages.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace vantorel::usb_vm {
namespace {

constexpr size_t kBlock = InboundMessages::kMessageBlock;

TEST(InboundMessages, RequestsAreWholeBlocksWithinTheBuffer) {
    // The boot loader's first word of a packet, and the rest of it: one block each time, so
    // a 2048-byte packet is never cut at a packet boundary.
    EXPECT_EQ(InboundMessages::RequestSize(4, 8 * kBlock), kBlock);
    EXPECT_EQ(InboundMessages::RequestSize(kBlock - 4, 8 * kBlock), kBlock);
    EXPECT_EQ(InboundMessages::RequestSize(kBlock + 1, 8 * kBlock), 2 * kBlock);
    EXPECT_EQ(InboundMessages::RequestSize(100 * kBlock, 8 * kBlock), 8 * kBlock);
    // Even a buffer smaller than a block asks for one block; never for nothing.
    EXPECT_EQ(InboundMessages::RequestSize(0, 8 * kBlock), kBlock);
    EXPECT_EQ(InboundMessages::RequestSize(4, 100), kBlock);
}

TEST(InboundMessages, HandsOutDeliveredBytesInOrderAcrossPieces) {
    InboundMessages messages;
    std::vector<uint8_t> block(kBlock);
    std::iota(block.begin(), block.end(), uint8_t{0});
    const uint8_t greeting[4]{'A', 'T', 'U', 'D'};

    messages.Append(greeting, sizeof greeting);
    messages.Append(block.data(), block.size());
    ASSERT_EQ(messages.Buffered(), 4 + kBlock);

    uint8_t word[4]{};
    ASSERT_EQ(messages.Take(word, 4), 4u);
    EXPECT_EQ(std::vector<uint8_t>(word, word + 4), std::vector<uint8_t>(greeting, greeting + 4));
    ASSERT_EQ(messages.Take(word, 4), 4u);
    EXPECT_EQ(word[0], 0);
    EXPECT_EQ(word[3], 3);

    // Asking for more than is there moves what there is.
    std::vector<uint8_t> rest(kBlock);
    ASSERT_EQ(messages.Take(rest.data(), rest.size()), kBlock - 4);
    EXPECT_TRUE(std::equal(block.begin() + 4, block.end(), rest.begin()));
    EXPECT_EQ(messages.Buffered(), 0u);
    EXPECT_EQ(messages.Take(rest.data(), rest.size()), 0u);

    // Bytes that come after the buffer ran empty start over at the front.
    messages.Append(greeting, 2);
    messages.Append(greeting + 2, 2);
    ASSERT_EQ(messages.Take(word, 4), 4u);
    EXPECT_EQ(word[2], 'U');
}

}  // namespace
}  // namespace vantorel::usb_vm
