#include "images/lang_pack.h"

#include <algorithm>

#include "images/le_bytes.h"

namespace vantorel::images {

namespace {

constexpr size_t kCountOffset = 8;
constexpr size_t kCodesOffset = 12;
constexpr size_t kCodeStride = 10;  // four UTF-16 characters and a UTF-16 NUL
constexpr size_t kCodeCharacters = 4;
constexpr size_t kEndMagicOffset = 224;

std::string NarrowCode(const uint8_t* wide) {
    std::string code;
    for (size_t i = 0; i < kCodeCharacters; ++i) {
        const uint16_t unit = static_cast<uint16_t>(wide[2 * i] | (wide[2 * i + 1] << 8));
        if (unit == 0) {
            break;
        }
        code.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return code;
}

}  // namespace

Parsed<uint32_t> ParseLangPackCheckWord(const uint8_t* header) {
    if (LoadLe32(header) != kLangPackMagic ||
        LoadLe32(header + kEndMagicOffset) != kLangPackEndMagic) {
        return Fail<uint32_t>(FormatError::kBadMagic);
    }
    return Parsed<uint32_t>{FormatError::kNone, LoadLe32(header + 4)};
}

Parsed<LangPackHeader> ParseLangPackHeader(const uint8_t* header) {
    const auto checkWord = ParseLangPackCheckWord(header);
    if (!checkWord) {
        return Fail<LangPackHeader>(checkWord.error);
    }
    const uint32_t count = LoadLe32(header + kCountOffset);
    if (count > kMaxPackLanguages) {
        return Fail<LangPackHeader>(FormatError::kCountTooLarge);
    }
    Parsed<LangPackHeader> parsed;
    parsed.value.dwCheckWord = checkWord.value;
    for (uint32_t i = 0; i < count; ++i) {
        parsed.value.codes.push_back(NarrowCode(header + kCodesOffset + i * kCodeStride));
    }
    return parsed;
}

Parsed<LangPackHeader> ReadLangPackHeader(const ByteSource& source, uint64_t offset) {
    uint8_t header[kLangPackHeaderSize];
    if (offset > source.Length() || source.Length() - offset < kLangPackHeaderSize) {
        return Fail<LangPackHeader>(FormatError::kTooShort);
    }
    if (!source.ReadAt(offset, header, sizeof header)) {
        return Fail<LangPackHeader>(FormatError::kUnreadable);
    }
    return ParseLangPackHeader(header);
}

std::vector<uint8_t> BuildLangPackHeader(uint32_t checkWord,
                                         const std::vector<std::string>& codes) {
    std::vector<uint8_t> header(kLangPackHeaderSize, 0);
    const size_t count = std::min<size_t>(codes.size(), kMaxPackLanguages);
    StoreLe32(header.data(), kLangPackMagic);
    StoreLe32(header.data() + 4, checkWord);
    StoreLe32(header.data() + kCountOffset, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) {
        uint8_t* wide = header.data() + kCodesOffset + i * kCodeStride;
        for (size_t c = 0; c < kCodeCharacters && c < codes[i].size(); ++c) {
            wide[2 * c] = static_cast<uint8_t>(codes[i][c]);
        }
    }
    StoreLe32(header.data() + kEndMagicOffset, kLangPackEndMagic);
    return header;
}

}  // namespace vantorel::images
