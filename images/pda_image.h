#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "images/byte_source.h"
#include "images/format_error.h"
#include "images/lang_pack.h"

namespace vantorel::images {

inline constexpr size_t kPdaHeaderSize = 20;
inline constexpr uint32_t kPdaMagic = 0x55555555u;
inline constexpr uint32_t kPdaEndMagic = 0xEEEEEEEEu;

// The 20-byte header as the worker uses it when it sends the image.
struct PdaHeader {
    uint32_t dwImageSize = 0;      // the image's size without the header
    uint32_t dwLastTurnCheck = 0;  // check word of the last turn
};

// Checks both markers of a 20-byte header (kBadMagic when one is wrong) and takes its words.
Parsed<PdaHeader> ParsePdaHeader(const uint8_t* header);

// What choosing a PDA image needs of it: the image size word and, when the file goes on
// past the image, the language pack appended behind it.
struct PdaLayout {
    uint32_t dwImageSize = 0;  // the header's size word, without the header
    std::optional<LangPackHeader> pack;
    uint64_t packDataSize = 0;  // bytes after the pack's header, to the end of the file
};

// Why a PDA file was refused, and whether the message about the language pack goes with it.
struct PdaRefusal {
    FormatError error = FormatError::kNone;
    bool bLangPackInvalid = false;  // the pack behind the image is the part that is wrong
};

struct PdaReadResult {
    PdaRefusal refusal;
    PdaLayout layout;
    explicit operator bool() const { return refusal.error == FormatError::kNone; }
};

// The markers are left to the worker, as for every header it sends; what is checked here is
// every length: a file shorter than the header, a size word reaching past the end, a pack too
// short for its header, and the pack's own header.
PdaReadResult ReadPdaImage(const ByteSource& source);

// A 20-byte PDA header, for the sample images and the tests.
std::vector<uint8_t> BuildPdaHeader(uint32_t imageSize, uint32_t lastTurnCheck);

}  // namespace vantorel::images
