#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "images/byte_source.h"
#include "images/format_error.h"

namespace vantorel::images {

inline constexpr size_t kLangPackHeaderSize = 228;
inline constexpr uint32_t kLangPackMagic = 0x55557777u;
inline constexpr uint32_t kLangPackEndMagic = 0xEEEE7777u;
// A pack names at most this many languages (the codes area holds no more).
inline constexpr uint32_t kMaxPackLanguages = 21;

// The header of a language pack, as a ".lan" file or appended to a PDA image.
struct LangPackHeader {
    uint32_t dwCheckWord = 0;  // sent by the worker with the flash command
    // The pack's language codes in pack order, each the 8-bit form of its UTF-16 code: at
    // most four characters, a character outside ASCII becoming '?'.
    std::vector<std::string> codes;
};

// Checks both markers of a 228-byte header (kBadMagic when one is wrong) and takes the check
// word sent with the flash command; the worker's check before it sends a pack.
Parsed<uint32_t> ParseLangPackCheckWord(const uint8_t* header);

// Parses a 228-byte header; kBadMagic for a wrong marker, kCountTooLarge for a count above
// kMaxPackLanguages.
Parsed<LangPackHeader> ParseLangPackHeader(const uint8_t* header);

// Reads the header at `offset` of `source`; kTooShort when the 228 bytes are not all there.
Parsed<LangPackHeader> ReadLangPackHeader(const ByteSource& source, uint64_t offset);

// Writes a header for `codes` (each four ASCII characters): the inverse of the parser, for
// the sample images and the tests.
std::vector<uint8_t> BuildLangPackHeader(uint32_t checkWord, const std::vector<std::string>& codes);

}  // namespace vantorel::images
