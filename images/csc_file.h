#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "images/byte_source.h"
#include "images/format_error.h"

namespace vantorel::images {

inline constexpr uint32_t kMultiCscMagic = 0xAAAAAAAAu;
inline constexpr uint32_t kCscMagic = 0xCCCCCCCCu;
inline constexpr uint32_t kCscEndMagic = 0xEEEEEEEEu;
// A multi-CSC file starts with a table of this size; its images follow in blocks of the same.
inline constexpr uint32_t kCscTableSize = 0x20000;
inline constexpr uint32_t kCscBlockSize = 0x20000;
inline constexpr uint32_t kMaxCscEntries = 1023;
// The part of a CSC image's header that the station reads (and the worker checks).
inline constexpr size_t kCscHeaderSize = 128;
// A CSC language list holds at most this many languages before "User Select" is appended.
inline constexpr size_t kMaxCscLanguages = 20;

struct CscImageHeader {
    uint32_t dwDefaultLanguage = 0;  // an index into the pack's language list
    std::string strVersion;
    std::string strDefaultLangCode;
    std::string strSalesCode;
    uint8_t byPriority = 0;
    // Indices into the language names, in list order; empty when the image offers no list.
    // A list longer than kMaxCscLanguages is cut there.
    std::vector<int32_t> languages;
};

struct CscEntry {
    std::string strName;
    uint32_t dwFileSize = 0;    // the table's file-size field, only shown
    uint32_t dwBlockCount = 0;  // blocks of kCscBlockSize the image occupies
    uint32_t dwOffset = 0;      // where the image starts in the file
    uint32_t dwSize = 0;        // dwBlockCount blocks, in bytes
};

struct CscFile {
    bool bMulti = false;
    std::vector<CscEntry> entries;  // multi-CSC only
    CscImageHeader header;          // of the first image
    uint32_t dwOffset = 0;          // of the first image
    uint32_t dwSize = 0;            // of the first image
};

// Reads a single or multi-CSC file: for a multi-CSC file every table entry is checked to lie
// inside the file and the file to fit 32-bit offsets; every image must hold its header.
Parsed<CscFile> ReadCscFile(const ByteSource& source);

// Checks both markers of a CSC image's 128-byte header (kBadMagic when one is wrong) and
// takes its fields. Choosing a CSC file reads the fields only; the worker checks the markers
// when it sends the image.
Parsed<CscImageHeader> ParseCscImageHeader(const uint8_t* header);

// Reads the header of the image at `offset` that occupies `imageSize` bytes.
Parsed<CscImageHeader> ReadCscImageHeader(const ByteSource& source, uint64_t offset,
                                          uint64_t imageSize);

// The inverses, for the sample images and the tests: a 128-byte header with both markers,
// and a multi-CSC table (names, file sizes and block counts taken from `entries`).
std::vector<uint8_t> BuildCscImageHeader(const CscImageHeader& header);
std::vector<uint8_t> BuildCscTable(const std::vector<CscEntry>& entries);

}  // namespace vantorel::images
