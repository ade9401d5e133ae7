#include "tools/usb_vm/ffs_descriptors.h"

#include <gtest/gtest.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

#include <string>
#include <vector>

namespace vantorel::usb_vm {
namespace {

uint32_t Le32(const std::vector<uint8_t>& blob, size_t offset) {
    return blob[offset] | blob[offset + 1] << 8 | blob[offset + 2] << 16 |
           static_cast<uint32_t>(blob[offset + 3]) << 24;
}

struct Endpoint {
    uint8_t address;
    uint8_t attributes;
    uint16_t maxPacket;
};

struct SpeedSet {
    uint8_t interfaceClass = 0;
    uint8_t interfaceNumber = 0xff;
    uint8_t endpointCount = 0;
    std::vector<Endpoint> endpoints;
};

// Walks `count` descriptors from `offset` by their own lengths, as FunctionFS does.
SpeedSet ReadSpeedSet(const std::vector<uint8_t>& blob, size_t& offset, uint32_t count) {
    SpeedSet set;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t length = blob.at(offset);
        const uint8_t type = blob.at(offset + 1);
        if (type == USB_DT_INTERFACE) {
            EXPECT_EQ(length, USB_DT_INTERFACE_SIZE);
            set.interfaceNumber = blob[offset + 2];
            set.endpointCount = blob[offset + 4];
            set.interfaceClass = blob[offset + 5];
        } else if (type == USB_DT_ENDPOINT) {
            EXPECT_EQ(length, USB_DT_ENDPOINT_SIZE);
            set.endpoints.push_back(
                {blob[offset + 2], blob[offset + 3],
                 static_cast<uint16_t>(blob[offset + 4] | blob[offset + 5] << 8)});
        } else {
            ADD_FAILURE() << "unexpected descriptor type " << int{type};
        }
        offset += length;
    }
    return set;
}

TEST(FfsDescriptors, TwoSpeedSetsOfOneVendorInterfaceWithBulkInBeforeBulkOut) {
    const std::vector<uint8_t> blob = BuildFfsDescriptors();
    ASSERT_GE(blob.size(), 20u);
    EXPECT_EQ(Le32(blob, 0), uint32_t{FUNCTIONFS_DESCRIPTORS_MAGIC_V2});
    EXPECT_EQ(Le32(blob, 4), blob.size());
    EXPECT_EQ(Le32(blob, 8), uint32_t{FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC});

    size_t offset = 20;
    const SpeedSet full = ReadSpeedSet(blob, offset, Le32(blob, 12));
    const SpeedSet high = ReadSpeedSet(blob, offset, Le32(blob, 16));
    EXPECT_EQ(offset, blob.size()) << "nothing may follow the two sets";

    for (const auto& [set, packet] : {std::pair{full, 64}, std::pair{high, 512}}) {
        EXPECT_EQ(set.interfaceNumber, 0);
        EXPECT_EQ(set.interfaceClass, 0xff);
        ASSERT_EQ(set.endpointCount, 2);
        ASSERT_EQ(set.endpoints.size(), 2u);
        // The station reads the first pipe and writes the second.
        EXPECT_NE(set.endpoints[0].address & USB_DIR_IN, 0);
        EXPECT_EQ(set.endpoints[1].address & USB_DIR_IN, 0);
        for (const Endpoint& endpoint : set.endpoints) {
            EXPECT_EQ(endpoint.attributes, USB_ENDPOINT_XFER_BULK);
            EXPECT_EQ(endpoint.maxPacket, packet);
        }
    }
    // The same endpoints at both speeds.
    EXPECT_EQ(full.endpoints[0].address, high.endpoints[0].address);
    EXPECT_EQ(full.endpoints[1].address, high.endpoints[1].address);
    EXPECT_NE(full.endpoints[0].address & 0x0f, full.endpoints[1].address & 0x0f);
}

TEST(FfsDescriptors, StringsBlobHoldsTheNameOnceInUsEnglish) {
    const std::vector<uint8_t> blob = BuildFfsStrings(std::string("Down\0load", 9));
    EXPECT_EQ(Le32(blob, 0), uint32_t{FUNCTIONFS_STRINGS_MAGIC});
    EXPECT_EQ(Le32(blob, 4), blob.size());
    EXPECT_EQ(Le32(blob, 8), 1u);   // strings
    EXPECT_EQ(Le32(blob, 12), 1u);  // languages
    EXPECT_EQ(blob[16] | blob[17] << 8, 0x0409);
    // An embedded NUL would end the string early and shift every later one.
    const std::string text(blob.begin() + 18, blob.end());
    EXPECT_EQ(text, std::string("Download\0", 9));
}

}  // namespace
}  // namespace vantorel::usb_vm
