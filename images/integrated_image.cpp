#include "images/integrated_image.h"

#include "images/le_bytes.h"

namespace vantorel::images {

Parsed<ContainerHeader> ReadContainerHeader(const ByteSource& source) {
    uint8_t bytes[kContainerHeaderSize];
    if (source.Length() < kContainerHeaderSize) {
        return Fail<ContainerHeader>(FormatError::kTooShort);
    }
    if (!source.ReadAt(0, bytes, sizeof bytes)) {
        return Fail<ContainerHeader>(FormatError::kUnreadable);
    }
    if (LoadLe32(bytes) != kContainerMagic || LoadLe32(bytes + 28) != kContainerEndMagic) {
        return Fail<ContainerHeader>(FormatError::kBadMagic);
    }
    Parsed<ContainerHeader> header;
    for (size_t part = 0; part < kContainerPartCount; ++part) {
        ContainerEntry& entry = header.value.entries[part];
        entry.dwOffset = LoadLe32(bytes + 4 + 8 * part);
        entry.dwSize = LoadLe32(bytes + 8 + 8 * part);
        if (entry.dwSize != 0 && uint64_t{entry.dwOffset} + entry.dwSize > source.Length()) {
            return Fail<ContainerHeader>(FormatError::kLengthPastEnd);
        }
    }
    return header;
}

std::vector<uint8_t> BuildContainerHeader(const ContainerHeader& header) {
    std::vector<uint8_t> bytes(kContainerHeaderSize, 0);
    StoreLe32(bytes.data(), kContainerMagic);
    for (size_t part = 0; part < kContainerPartCount; ++part) {
        StoreLe32(bytes.data() + 4 + 8 * part, header.entries[part].dwOffset);
        StoreLe32(bytes.data() + 8 + 8 * part, header.entries[part].dwSize);
    }
    StoreLe32(bytes.data() + 28, kContainerEndMagic);
    return bytes;
}

}  // namespace vantorel::images
