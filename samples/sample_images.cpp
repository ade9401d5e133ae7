#include "samples/sample_images.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "engine/byte_sum.h"
#include "images/csc_file.h"
#include "images/integrated_image.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"

namespace vantorel::samples {

namespace {

using images::CscEntry;
using images::CscImageHeader;

constexpr size_t kChunk = 1 << 20;

// One content stream per kind of data, so that no two files share bytes by accident.
enum Stream : uint32_t {
    kEbootStream = 1,
    kLargeEbootStream,
    kPdaStream,
    kLangStream,
    kCscStream,
    kMultiCscStream,  // + entry index
    kPhoneStream = 100,
    kSmdStream,
    kFixedCscStream,
};

uint64_t SplitMix(uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// Generates `count` content bytes of `stream` from `offset` a chunk at a time, hands each
// chunk to `use` and returns the byte sum of them all.
template <typename Use>
uint32_t GenerateContent(uint32_t seed, uint32_t stream, uint64_t offset, uint64_t count, Use use) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(count, kChunk)));
    uint32_t sum = 0;
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, chunk.size()));
        FillSampleBytes(seed, stream, offset, chunk.data(), n);
        sum = engine::ByteSumContinue(sum, chunk.data(), n);
        use(chunk.data(), n);
        offset += n;
        count -= n;
    }
    return sum;
}

class SampleWriter {
public:
    explicit SampleWriter(const std::string& path) : m_path(path), m_out(path, std::ios::binary) {
        if (!m_out) {
            throw std::runtime_error("cannot create " + path);
        }
    }
    void Bytes(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
    // `count` content bytes of `stream` from its `offset`; returns their byte sum.
    uint32_t Content(uint32_t seed, uint32_t stream, uint64_t offset, uint64_t count) {
        return GenerateContent(seed, stream, offset, count,
                               [this](const uint8_t* bytes, size_t n) { Write(bytes, n); });
    }
    void Finish() {
        m_out.close();
        if (!m_out) {
            throw std::runtime_error("cannot write " + m_path);
        }
    }

private:
    void Write(const uint8_t* bytes, size_t count) {
        m_out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
        if (!m_out) {
            throw std::runtime_error("cannot write " + m_path);
        }
    }

    std::string m_path;
    std::ofstream m_out;
};

uint32_t StreamSum(uint32_t seed, uint32_t stream, uint64_t offset, uint64_t count) {
    return GenerateContent(seed, stream, offset, count, [](const uint8_t*, size_t) {});
}

void WritePlain(const std::string& path, uint32_t seed, uint32_t stream, uint64_t size) {
    SampleWriter out(path);
    out.Content(seed, stream, 0, size);
    out.Finish();
}

// The PDA image's check word of its last turn: the sum of the bytes that turn sends.
uint32_t LastTurnCheck(const SampleSizes& sizes, uint32_t seed) {
    const uint32_t sector = std::max<uint32_t>(sizes.dwPdaSectorSize, 1);
    const uint64_t size = sizes.dwPdaImage;
    const uint64_t lastTurn = size == 0 ? 0 : (size - 1) / sector * sector;
    return StreamSum(seed, kPdaStream, lastTurn, size - lastTurn);
}

void WritePda(const std::string& path, const SampleSizes& sizes, uint32_t seed, bool withLang) {
    SampleWriter out(path);
    out.Bytes(images::BuildPdaHeader(sizes.dwPdaImage, LastTurnCheck(sizes, seed)));
    out.Content(seed, kPdaStream, 0, sizes.dwPdaImage);
    if (withLang) {
        const uint32_t sum = StreamSum(seed, kLangStream, 0, sizes.dwLangPackData);
        out.Bytes(images::BuildLangPackHeader(sum, kSamplePackCodes));
        out.Content(seed, kLangStream, 0, sizes.dwLangPackData);
    }
    out.Finish();
}

void WriteLangPack(const std::string& path, const SampleSizes& sizes, uint32_t seed) {
    SampleWriter out(path);
    const uint32_t sum = StreamSum(seed, kLangStream, 0, sizes.dwLangPackData);
    out.Bytes(images::BuildLangPackHeader(sum, kSamplePackCodes));
    out.Content(seed, kLangStream, 0, sizes.dwLangPackData);
    out.Finish();
}

// A CSC image of `size` bytes: its header, then content.
void WriteCscImage(SampleWriter& out, const CscImageHeader& header, uint32_t seed, uint32_t stream,
                   uint64_t size) {
    const auto bytes = images::BuildCscImageHeader(header);
    out.Bytes(bytes);
    out.Content(seed, stream, 0, size - bytes.size());
}

CscImageHeader ListCscHeader() {
    CscImageHeader header;
    header.dwDefaultLanguage = 1;  // the pack's second language, German
    header.strVersion = "T4K9XXJA1";
    header.strDefaultLangCode = "0409";
    header.strSalesCode = "XEU";
    header.byPriority = 1;
    header.languages = {5, 8, 7};  // English, German, French
    return header;
}

void WriteMultiCsc(const std::string& path, const SampleSizes& sizes, uint32_t seed) {
    std::vector<CscEntry> entries;
    for (size_t i = 0; i < sizes.multiCscBlocks.size(); ++i) {
        CscEntry entry;
        entry.strName = "CSC_" + std::to_string(i) + ".csc";
        entry.dwBlockCount = std::max<uint32_t>(sizes.multiCscBlocks[i], 1);
        entry.dwFileSize = entry.dwBlockCount * images::kCscBlockSize - 100;
        entries.push_back(entry);
    }
    SampleWriter out(path);
    out.Bytes(images::BuildCscTable(entries));
    for (size_t i = 0; i < entries.size(); ++i) {
        CscImageHeader header = ListCscHeader();
        header.strVersion = "MULTI" + std::to_string(i);
        header.strSalesCode = "S" + std::to_string(i);
        header.byPriority = static_cast<uint8_t>(i);
        if (i % 2 == 1) {
            header.languages.clear();  // odd entries offer no list of their own
            header.dwDefaultLanguage = 3;
            header.strDefaultLangCode = "0412";
        }
        WriteCscImage(out, header, seed, kMultiCscStream + static_cast<uint32_t>(i),
                      uint64_t{entries[i].dwBlockCount} * images::kCscBlockSize);
    }
    out.Finish();
}

void WriteSingleCsc(const std::string& path, const CscImageHeader& header, uint32_t seed,
                    uint32_t stream, uint32_t size) {
    SampleWriter out(path);
    WriteCscImage(out, header, seed, stream, std::max<uint64_t>(size, images::kCscHeaderSize));
    out.Finish();
}

void WriteIntegrated(const SampleSet& set, const std::string& path) {
    const std::string parts[] = {set.eboot, set.pda, set.phone};
    images::ContainerHeader header;
    uint64_t offset = images::kContainerHeaderSize;
    for (size_t i = 0; i < images::kContainerPartCount; ++i) {
        const auto size = std::filesystem::file_size(parts[i]);
        header.entries[i] = {static_cast<uint32_t>(offset), static_cast<uint32_t>(size)};
        offset += size;
    }
    SampleWriter out(path);
    out.Bytes(images::BuildContainerHeader(header));
    std::vector<char> chunk(kChunk);
    for (const auto& part : parts) {
        std::ifstream in(part, std::ios::binary);
        while (in) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            const auto got = static_cast<size_t>(in.gcount());
            out.Bytes(std::vector<uint8_t>(chunk.begin(), chunk.begin() + static_cast<long>(got)));
        }
    }
    out.Finish();
}

}  // namespace

uint8_t SampleByte(uint32_t seed, uint32_t stream, uint64_t offset) {
    const uint64_t word = SplitMix((uint64_t{seed} << 32 | stream) ^ SplitMix(offset / 8));
    return static_cast<uint8_t>(word >> (8 * (offset % 8)));
}

void FillSampleBytes(uint32_t seed, uint32_t stream, uint64_t offset, uint8_t* out, size_t count) {
    const uint64_t key = uint64_t{seed} << 32 | stream;
    size_t i = 0;
    while (i < count) {
        const uint64_t word = SplitMix(key ^ SplitMix((offset + i) / 8));
        for (unsigned byte = (offset + i) % 8; byte < 8 && i < count; ++byte, ++i) {
            out[i] = static_cast<uint8_t>(word >> (8 * byte));
        }
    }
}

SampleSet WriteSampleSet(const std::string& directory, const SampleSizes& sizes, uint32_t seed) {
    std::filesystem::create_directories(directory);
    const auto at = [&directory](const char* name) { return directory + "/" + name; };
    SampleSet set{at("eboot.eb0"),    at("eboot_large.eb0"), at("pda.nb0"),
                  at("pda_lang.nb0"), at("langpack.lan"),    at("single.csc"),
                  at("multi.csc"),    at("fixed.csc"),       at("phone.bin"),
                  at("nand.smd"),     at("integrated.img")};
    WritePlain(set.eboot, seed, kEbootStream, sizes.dwEboot);
    WritePlain(set.ebootLarge, seed, kLargeEbootStream, sizes.dwLargeEboot);
    WritePda(set.pda, sizes, seed, false);
    WritePda(set.pdaWithLang, sizes, seed, true);
    WriteLangPack(set.langPack, sizes, seed);
    WriteSingleCsc(set.csc, ListCscHeader(), seed, kCscStream, sizes.dwCsc);
    WriteMultiCsc(set.multiCsc, sizes, seed);
    CscImageHeader fixed = ListCscHeader();
    fixed.strDefaultLangCode = "041F";
    fixed.strSalesCode = "TUR";
    WriteSingleCsc(set.fixedCsc, fixed, seed, kFixedCscStream, sizes.dwCsc);
    WritePlain(set.phone, seed, kPhoneStream, sizes.dwPhone);
    WritePlain(set.smd, seed, kSmdStream, sizes.dwSmd);
    WriteIntegrated(set, set.img);
    return set;
}

}  // namespace vantorel::samples
