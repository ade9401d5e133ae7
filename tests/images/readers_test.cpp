#include <gtest/gtest.h>

#include "images/csc_file.h"
#include "images/integrated_image.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"
#include "tests/images/recording_view.h"

namespace vantorel::images {
namespace {

using test::Concat;
using test::PutLe32;

// A language-pack header written field by field, independently of the library's builder.
std::vector<uint8_t> RawPackHeader(uint32_t count, const std::vector<std::u16string>& codes) {
    std::vector<uint8_t> header(228, 0);
    PutLe32(header, 0, 0x55557777u);
    PutLe32(header, 4, 0x1234u);
    PutLe32(header, 8, count);
    for (size_t i = 0; i < codes.size(); ++i) {
        for (size_t c = 0; c < codes[i].size(); ++c) {
            header[12 + 10 * i + 2 * c] = static_cast<uint8_t>(codes[i][c]);
            header[12 + 10 * i + 2 * c + 1] = static_cast<uint8_t>(codes[i][c] >> 8);
        }
    }
    PutLe32(header, 224, 0xEEEE7777u);
    return header;
}

std::vector<uint8_t> PdaFile(uint32_t sizeWord, size_t imageBytes) {
    std::vector<uint8_t> file(20 + imageBytes, 0x5A);
    PutLe32(file, 0, 0x55555555u);
    PutLe32(file, 4, sizeWord);
    PutLe32(file, 16, 0xEEEEEEEEu);
    return file;
}

PdaReadResult ReadPda(const std::vector<uint8_t>& bytes) {
    return ReadPdaImage(MemorySource(bytes));
}

TEST(LangPackReader, ReadsCountCheckWordAndCodes) {
    const auto header = RawPackHeader(3, {u"0409", u"04\u00e912", u"04"});
    const auto parsed = ReadLangPackHeader(MemorySource(header), 0);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed.value.dwCheckWord, 0x1234u);
    const std::vector<std::string> codes = {"0409", "04?1", "04"};
    EXPECT_EQ(parsed.value.codes, codes);
}

TEST(LangPackReader, RejectsWrongMarkersCountsAboveTwentyOneAndShortFiles) {
    auto header = RawPackHeader(21, {});
    EXPECT_TRUE(ReadLangPackHeader(MemorySource(header), 0));
    EXPECT_EQ(ReadLangPackHeader(MemorySource(RawPackHeader(22, {})), 0).error,
              FormatError::kCountTooLarge);
    EXPECT_EQ(ReadLangPackHeader(MemorySource(RawPackHeader(0xFFFFFFFFu, {})), 0).error,
              FormatError::kCountTooLarge);
    PutLe32(header, 224, 0xEEEE7778u);
    EXPECT_EQ(ReadLangPackHeader(MemorySource(header), 0).error, FormatError::kBadMagic);
    header = RawPackHeader(1, {u"0409"});
    PutLe32(header, 0, 0);
    EXPECT_EQ(ReadLangPackHeader(MemorySource(header), 0).error, FormatError::kBadMagic);
    header = RawPackHeader(1, {u"0409"});
    header.pop_back();
    EXPECT_EQ(ReadLangPackHeader(MemorySource(header), 0).error, FormatError::kTooShort);
    EXPECT_EQ(ReadLangPackHeader(MemorySource(header), 1000).error, FormatError::kTooShort);
}

TEST(PdaReader, ImageWithoutPack) {
    const auto result = ReadPda(PdaFile(100, 100));
    ASSERT_TRUE(result);
    EXPECT_EQ(result.layout.dwImageSize, 100u);
    EXPECT_FALSE(result.layout.pack);
}

TEST(PdaReader, PackBehindTheImage) {
    auto file = Concat(PdaFile(100, 100), RawPackHeader(2, {u"0409", u"0412"}));
    file.resize(file.size() + 50, 0x11);
    const auto result = ReadPda(file);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result.layout.pack);
    EXPECT_EQ(result.layout.pack->codes.size(), 2u);
    EXPECT_EQ(result.layout.packDataSize, 50u);  // file length - size - 248
}

TEST(PdaReader, RejectsEveryLengthThatDoesNotFit) {
    EXPECT_EQ(ReadPda(std::vector<uint8_t>(19, 0)).refusal.error, FormatError::kTooShort);

    auto pastEnd = ReadPda(PdaFile(101, 100));
    EXPECT_EQ(pastEnd.refusal.error, FormatError::kLengthPastEnd);
    EXPECT_FALSE(pastEnd.refusal.bLangPackInvalid);
    EXPECT_EQ(ReadPda(PdaFile(0xFFFFFFFFu, 100)).refusal.error, FormatError::kLengthPastEnd);

    // A pack too short for its header, one with a wrong marker, one naming 22 languages.
    auto truncated = PdaFile(100, 100 + 227);
    EXPECT_EQ(ReadPda(truncated).refusal.error, FormatError::kTooShort);
    EXPECT_TRUE(ReadPda(truncated).refusal.bLangPackInvalid);
    auto badMagic = Concat(PdaFile(100, 100), RawPackHeader(1, {u"0409"}));
    PutLe32(badMagic, 120, 0x55557776u);
    EXPECT_EQ(ReadPda(badMagic).refusal.error, FormatError::kBadMagic);
    EXPECT_TRUE(ReadPda(badMagic).refusal.bLangPackInvalid);
    const auto tooMany = ReadPda(Concat(PdaFile(100, 100), RawPackHeader(22, {})));
    EXPECT_EQ(tooMany.refusal.error, FormatError::kCountTooLarge);
    EXPECT_TRUE(tooMany.refusal.bLangPackInvalid);
}

std::vector<uint8_t> RawCscHeader(const std::string& version, const std::string& langCode,
                                  const std::vector<uint8_t>& list) {
    std::vector<uint8_t> header(128, 0);
    PutLe32(header, 0, 0xCCCCCCCCu);
    PutLe32(header, 4, 2);
    std::copy(version.begin(), version.end(), header.begin() + 8);
    std::copy(langCode.begin(), langCode.end(), header.begin() + 24);
    std::copy(list.begin(), list.end(), header.begin() + 36);
    const std::string sales = "XEU";
    std::copy(sales.begin(), sales.end(), header.begin() + 92);
    header[104] = 7;
    PutLe32(header, 124, 0xEEEEEEEEu);
    return header;
}

TEST(CscReader, SingleImageHeaderFields) {
    auto file = RawCscHeader("ABCDEFGHIJKLMNOPQ", "0409", {5, 8, 0, 0xFF});
    file.resize(300, 0x33);
    const auto csc = ReadCscFile(MemorySource(file));
    ASSERT_TRUE(csc);
    EXPECT_FALSE(csc.value.bMulti);
    EXPECT_EQ(csc.value.dwOffset, 0u);
    EXPECT_EQ(csc.value.dwSize, 300u);
    const CscImageHeader& header = csc.value.header;
    EXPECT_EQ(header.dwDefaultLanguage, 2u);
    // A text that fills its field without a NUL stops at the field's end.
    EXPECT_EQ(header.strVersion, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(header.strDefaultLangCode, "0409");
    EXPECT_EQ(header.strSalesCode, "XEU");
    EXPECT_EQ(header.byPriority, 7);
    EXPECT_EQ(header.languages, (std::vector<int32_t>{5, 8, 0}));
}

TEST(CscReader, LanguageListsWithoutEntriesOrWithoutEnd) {
    EXPECT_TRUE(ReadCscFile(MemorySource(RawCscHeader("v", "0409", {0, 5, 0xFF})))
                    .value.header.languages.empty());
    EXPECT_TRUE(ReadCscFile(MemorySource(RawCscHeader("v", "0409", {0xFF, 5})))
                    .value.header.languages.empty());
    // 56 list bytes and no end marker: cut at 20, SalesCode untouched.
    const auto endless =
        ReadCscFile(MemorySource(RawCscHeader("v", "", std::vector<uint8_t>(56, 3))));
    ASSERT_TRUE(endless);
    EXPECT_EQ(endless.value.header.languages, std::vector<int32_t>(20, 3));
    EXPECT_EQ(endless.value.header.strSalesCode, "XEU");
}

TEST(CscReader, SingleFileTooShortForItsHeader) {
    auto file = RawCscHeader("v", "0409", {});
    file.pop_back();
    EXPECT_EQ(ReadCscFile(MemorySource(file)).error, FormatError::kTooShort);
    EXPECT_EQ(ReadCscFile(MemorySource(std::vector<uint8_t>{})).error, FormatError::kTooShort);
}

struct RawEntry {
    std::string name;
    uint32_t fileSize;
    uint32_t blocks;
};

// A multi-CSC file written field by field: the table, then each image's header at its start.
std::vector<uint8_t> MultiCscFile(uint32_t count, const std::vector<RawEntry>& entries,
                                  size_t totalBlocks) {
    std::vector<uint8_t> file(0x20000 + totalBlocks * 0x20000, 0);
    PutLe32(file, 0, 0xAAAAAAAAu);
    PutLe32(file, 36, count);
    size_t offset = 0x20000;
    for (size_t i = 0; i < entries.size(); ++i) {
        std::copy(entries[i].name.begin(), entries[i].name.end(), file.begin() + 132 + 128 * i);
        PutLe32(file, 132 + 128 * i + 32, entries[i].fileSize);
        PutLe32(file, 132 + 128 * i + 36, entries[i].blocks);
        const auto header = RawCscHeader("V" + std::to_string(i), "0409", {});
        if (offset + header.size() <= file.size()) {
            std::copy(header.begin(), header.end(), file.begin() + static_cast<long>(offset));
        }
        offset += size_t{entries[i].blocks} * 0x20000;
    }
    return file;
}

TEST(CscReader, MultiCscOffsetsFollowTheBlockCounts) {
    const auto file = MultiCscFile(2, {{"EUR.csc", 0x5000, 3}, {"KOR.csc", 0x9000, 5}}, 8);
    const auto csc = ReadCscFile(MemorySource(file));
    ASSERT_TRUE(csc);
    EXPECT_TRUE(csc.value.bMulti);
    ASSERT_EQ(csc.value.entries.size(), 2u);
    EXPECT_EQ(csc.value.entries[0].strName, "EUR.csc");
    EXPECT_EQ(csc.value.entries[0].dwFileSize, 0x5000u);
    EXPECT_EQ(csc.value.entries[0].dwOffset, 0x20000u);
    EXPECT_EQ(csc.value.entries[0].dwSize, 3u * 131072);
    EXPECT_EQ(csc.value.entries[1].dwOffset, 0x80000u);
    EXPECT_EQ(csc.value.entries[1].dwSize, 5u * 131072);
    EXPECT_EQ(csc.value.dwOffset, 0x20000u);
    EXPECT_EQ(csc.value.dwSize, 3u * 131072);
    EXPECT_EQ(csc.value.header.strVersion, "V0");
    const auto second = ReadCscImageHeader(MemorySource(file), 0x80000, 5 * 131072);
    ASSERT_TRUE(second);
    EXPECT_EQ(second.value.strVersion, "V1");
}

TEST(CscReader, MultiCscRejectsCountsAndEntriesThatDoNotFit) {
    const auto error = [](const std::vector<uint8_t>& file) {
        return ReadCscFile(MemorySource(file)).error;
    };
    EXPECT_EQ(error(MultiCscFile(1024, {{"A", 0, 1}}, 1)), FormatError::kCountTooLarge);
    EXPECT_EQ(error(MultiCscFile(0xFFFFFFFFu, {{"A", 0, 1}}, 1)), FormatError::kCountTooLarge);
    EXPECT_EQ(error(MultiCscFile(0, {}, 1)), FormatError::kEmptyTable);
    // The second entry reaches one block past the end; a count that names an entry the table
    // leaves empty lists an image of no blocks.
    EXPECT_EQ(error(MultiCscFile(2, {{"A", 0, 3}, {"B", 0, 6}}, 8)), FormatError::kLengthPastEnd);
    EXPECT_EQ(error(MultiCscFile(3, {{"A", 0, 3}, {"B", 0, 5}}, 8)), FormatError::kEmptyEntry);
    EXPECT_EQ(error(MultiCscFile(1, {{"A", 0, 0xFFFFFFFFu}}, 1)), FormatError::kLengthPastEnd);
    auto shortTable = MultiCscFile(1, {{"A", 0, 1}}, 1);
    shortTable.resize(0x20000 - 1);
    EXPECT_EQ(error(shortTable), FormatError::kTooShort);
}

std::vector<uint8_t> Container(std::array<ContainerEntry, 3> entries, size_t length) {
    std::vector<uint8_t> file(length, 0);
    PutLe32(file, 0, 0xAAAABBBBu);
    for (size_t i = 0; i < 3; ++i) {
        PutLe32(file, 4 + 8 * i, entries[i].dwOffset);
        PutLe32(file, 8 + 8 * i, entries[i].dwSize);
    }
    PutLe32(file, 28, 0xCCCCDDDDu);
    file.resize(length);
    return file;
}

TEST(ContainerReader, ReadsEntriesAndIgnoresOffsetsOfAbsentImages) {
    const auto file = Container({{{32, 10}, {0xFFFFFFFFu, 0}, {42, 8}}}, 50);
    const auto header = ReadContainerHeader(MemorySource(file));
    ASSERT_TRUE(header);
    EXPECT_EQ(header.value.entries[kContainerEboot].dwOffset, 32u);
    EXPECT_EQ(header.value.entries[kContainerEboot].dwSize, 10u);
    EXPECT_EQ(header.value.entries[kContainerPda].dwSize, 0u);
    EXPECT_EQ(header.value.entries[kContainerPhone].dwOffset, 42u);
}

TEST(ContainerReader, RejectsShortFilesWrongMarkersAndEntriesPastTheEnd) {
    const auto error = [](const std::vector<uint8_t>& file) {
        return ReadContainerHeader(MemorySource(file)).error;
    };
    auto file = Container({}, 32);
    EXPECT_EQ(error(file), FormatError::kNone);
    file.pop_back();
    EXPECT_EQ(error(file), FormatError::kTooShort);
    file = Container({}, 32);
    PutLe32(file, 0, 0xAAAABBBAu);
    EXPECT_EQ(error(file), FormatError::kBadMagic);
    file = Container({}, 32);
    PutLe32(file, 28, 0);
    EXPECT_EQ(error(file), FormatError::kBadMagic);
    EXPECT_EQ(error(Container({{{32, 10}, {42, 9}, {0, 0}}}, 50)), FormatError::kLengthPastEnd);
    EXPECT_EQ(error(Container({{{0, 0}, {0, 0}, {0xFFFFFFF0u, 0x20}}}, 50)),
              FormatError::kLengthPastEnd);
}

}  // namespace
}  // namespace vantorel::images
