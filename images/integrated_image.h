#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "images/byte_source.h"
#include "images/format_error.h"

namespace vantorel::images {

inline constexpr size_t kContainerHeaderSize = 32;
inline constexpr uint32_t kContainerMagic = 0xAAAABBBBu;
inline constexpr uint32_t kContainerEndMagic = 0xCCCCDDDDu;

// The images an integrated image carries, in the order they are unpacked.
enum ContainerPart : size_t { kContainerEboot = 0, kContainerPda = 1, kContainerPhone = 2 };
inline constexpr size_t kContainerPartCount = 3;

struct ContainerEntry {
    uint32_t dwOffset = 0;
    uint32_t dwSize = 0;  // 0: the container does not carry this image
};

struct ContainerHeader {
    std::array<ContainerEntry, kContainerPartCount> entries{};
};

// Reads and checks the 32-byte header: both markers, and every entry of non-zero size lying
// inside the file. An entry of size 0 is absent and its offset is not looked at.
Parsed<ContainerHeader> ReadContainerHeader(const ByteSource& source);

// The inverse, for the sample images and the tests.
std::vector<uint8_t> BuildContainerHeader(const ContainerHeader& header);

}  // namespace vantorel::images
