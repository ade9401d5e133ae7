#include "images/csc_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "images/le_bytes.h"

namespace vantorel::images {

namespace {

constexpr size_t kCountOffset = 36;
constexpr size_t kFirstEntryOffset = 132;
constexpr size_t kEntryStride = 128;
constexpr size_t kEntryUsedBytes = 40;  // name, file size, block count
constexpr size_t kEntryNameWidth = 32;

constexpr size_t kVersionOffset = 8, kVersionWidth = 16;
constexpr size_t kLangCodeOffset = 24, kLangCodeWidth = 12;
constexpr size_t kListOffset = 36, kListWidth = 56;
constexpr size_t kSalesCodeOffset = 92, kSalesCodeWidth = 12;
constexpr size_t kPriorityOffset = 104;
constexpr size_t kEndMagicOffset = 124;
constexpr uint8_t kListEnd = 0xFF;

constexpr uint64_t kMaxOffset = std::numeric_limits<uint32_t>::max();

CscImageHeader ParseFields(const uint8_t* bytes) {
    CscImageHeader header;
    header.dwDefaultLanguage = LoadLe32(bytes + 4);
    header.strVersion = TextField(bytes + kVersionOffset, kVersionWidth);
    header.strDefaultLangCode = TextField(bytes + kLangCodeOffset, kLangCodeWidth);
    header.strSalesCode = TextField(bytes + kSalesCodeOffset, kSalesCodeWidth);
    header.byPriority = bytes[kPriorityOffset];
    const uint8_t* list = bytes + kListOffset;
    if (list[0] != 0 && list[0] != kListEnd) {
        for (size_t i = 0; i < kListWidth && list[i] != kListEnd; ++i) {
            if (header.languages.size() == kMaxCscLanguages) {
                break;
            }
            header.languages.push_back(list[i]);
        }
    }
    return header;
}

Parsed<CscEntry> ReadEntry(const ByteSource& source, uint32_t index) {
    uint8_t bytes[kEntryUsedBytes];
    if (!source.ReadAt(kFirstEntryOffset + uint64_t{index} * kEntryStride, bytes, sizeof bytes)) {
        return Fail<CscEntry>(FormatError::kUnreadable);
    }
    Parsed<CscEntry> entry;
    entry.value.strName = TextField(bytes, kEntryNameWidth);
    entry.value.dwFileSize = LoadLe32(bytes + 32);
    entry.value.dwBlockCount = LoadLe32(bytes + 36);
    return entry;
}

Parsed<CscFile> ReadMultiCsc(const ByteSource& source) {
    const uint64_t length = source.Length();
    if (length < kCscTableSize) {
        return Fail<CscFile>(FormatError::kTooShort);
    }
    uint8_t countBytes[4];
    if (!source.ReadAt(kCountOffset, countBytes, sizeof countBytes)) {
        return Fail<CscFile>(FormatError::kUnreadable);
    }
    const uint32_t count = LoadLe32(countBytes);
    if (count > kMaxCscEntries) {
        return Fail<CscFile>(FormatError::kCountTooLarge);
    }
    if (count == 0) {
        return Fail<CscFile>(FormatError::kEmptyTable);
    }
    Parsed<CscFile> file;
    file.value.bMulti = true;
    uint64_t offset = kCscTableSize;
    for (uint32_t i = 0; i < count; ++i) {
        auto entry = ReadEntry(source, i);
        if (!entry) {
            return Fail<CscFile>(entry.error);
        }
        if (entry.value.dwBlockCount == 0) {
            return Fail<CscFile>(FormatError::kEmptyEntry);
        }
        const uint64_t size = uint64_t{entry.value.dwBlockCount} * kCscBlockSize;
        if (size > kMaxOffset || offset + size > length) {
            return Fail<CscFile>(FormatError::kLengthPastEnd);
        }
        if (offset + size > kMaxOffset) {
            return Fail<CscFile>(FormatError::kTooLarge);
        }
        entry.value.dwOffset = static_cast<uint32_t>(offset);
        entry.value.dwSize = static_cast<uint32_t>(size);
        offset += size;
        file.value.entries.push_back(std::move(entry.value));
    }
    const CscEntry& first = file.value.entries.front();
    const auto header = ReadCscImageHeader(source, first.dwOffset, first.dwSize);
    if (!header) {
        return Fail<CscFile>(header.error);
    }
    file.value.header = header.value;
    file.value.dwOffset = first.dwOffset;
    file.value.dwSize = first.dwSize;
    return file;
}

}  // namespace

Parsed<CscImageHeader> ParseCscImageHeader(const uint8_t* header) {
    if (LoadLe32(header) != kCscMagic || LoadLe32(header + kEndMagicOffset) != kCscEndMagic) {
        return Fail<CscImageHeader>(FormatError::kBadMagic);
    }
    return Parsed<CscImageHeader>{FormatError::kNone, ParseFields(header)};
}

Parsed<CscImageHeader> ReadCscImageHeader(const ByteSource& source, uint64_t offset,
                                          uint64_t imageSize) {
    if (imageSize < kCscHeaderSize) {
        return Fail<CscImageHeader>(FormatError::kTooShort);
    }
    if (offset > source.Length() || source.Length() - offset < kCscHeaderSize) {
        return Fail<CscImageHeader>(FormatError::kLengthPastEnd);
    }
    uint8_t bytes[kCscHeaderSize];
    if (!source.ReadAt(offset, bytes, sizeof bytes)) {
        return Fail<CscImageHeader>(FormatError::kUnreadable);
    }
    return Parsed<CscImageHeader>{FormatError::kNone, ParseFields(bytes)};
}

Parsed<CscFile> ReadCscFile(const ByteSource& source) {
    const uint64_t length = source.Length();
    uint8_t magic[4];
    if (length < kCscHeaderSize) {
        return Fail<CscFile>(FormatError::kTooShort);
    }
    if (!source.ReadAt(0, magic, sizeof magic)) {
        return Fail<CscFile>(FormatError::kUnreadable);
    }
    if (LoadLe32(magic) == kMultiCscMagic) {
        return ReadMultiCsc(source);
    }
    if (length > kMaxOffset) {
        return Fail<CscFile>(FormatError::kTooLarge);
    }
    const auto header = ReadCscImageHeader(source, 0, length);
    if (!header) {
        return Fail<CscFile>(header.error);
    }
    Parsed<CscFile> file;
    file.value.header = header.value;
    file.value.dwSize = static_cast<uint32_t>(length);
    return file;
}

std::vector<uint8_t> BuildCscImageHeader(const CscImageHeader& header) {
    std::vector<uint8_t> bytes(kCscHeaderSize, 0);
    const auto putText = [&bytes](size_t offset, size_t width, const std::string& text) {
        std::memcpy(bytes.data() + offset, text.data(), std::min(text.size(), width - 1));
    };
    StoreLe32(bytes.data(), kCscMagic);
    StoreLe32(bytes.data() + 4, header.dwDefaultLanguage);
    putText(kVersionOffset, kVersionWidth, header.strVersion);
    putText(kLangCodeOffset, kLangCodeWidth, header.strDefaultLangCode);
    std::memset(bytes.data() + kListOffset, kListEnd, kListWidth);
    const size_t listLength = std::min(header.languages.size(), kListWidth - 1);
    for (size_t i = 0; i < listLength; ++i) {
        bytes[kListOffset + i] = static_cast<uint8_t>(header.languages[i]);
    }
    putText(kSalesCodeOffset, kSalesCodeWidth, header.strSalesCode);
    bytes[kPriorityOffset] = header.byPriority;
    StoreLe32(bytes.data() + kEndMagicOffset, kCscEndMagic);
    return bytes;
}

std::vector<uint8_t> BuildCscTable(const std::vector<CscEntry>& entries) {
    std::vector<uint8_t> table(kCscTableSize, 0);
    const size_t count = std::min<size_t>(entries.size(), kMaxCscEntries);
    StoreLe32(table.data(), kMultiCscMagic);
    StoreLe32(table.data() + kCountOffset, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        uint8_t* entry = table.data() + kFirstEntryOffset + i * kEntryStride;
        const std::string& name = entries[i].strName;
        std::memcpy(entry, name.data(), std::min(name.size(), kEntryNameWidth - 1));
        StoreLe32(entry + 32, entries[i].dwFileSize);
        StoreLe32(entry + 36, entries[i].dwBlockCount);
    }
    return table;
}

}  // namespace vantorel::images
