#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantorel::samples {

// Sizes of a synthetic image set, in bytes unless said otherwise.
struct SampleSizes {
    uint32_t dwEboot = 64 * 1024;
    uint32_t dwLargeEboot = 2048000 + 4096;         // over the large boot-loader limit
    uint32_t dwPdaImage = 1024 * 1024;              // the PDA image without its header
    uint32_t dwLangPackData = 64 * 1024;            // the pack without its header
    uint32_t dwCsc = 256 * 1024;                    // a single CSC file
    std::vector<uint32_t> multiCscBlocks = {3, 5};  // blocks of 0x20000 per multi-CSC entry
    uint32_t dwPhone = 512 * 1024;
    uint32_t dwSmd = 256 * 1024;
    // The RAM sector size the PDA image's last-turn check word is computed for.
    uint32_t dwPdaSectorSize = 92160000;
};

// The files of a set. All are consistent with each other: the PDA image with a pack carries
// the same pack as the ".lan" file, and the integrated image carries exactly the bytes of the
// EBoot, PDA (without pack) and Phone files.
struct SampleSet {
    std::string eboot;        // eboot.eb0
    std::string ebootLarge;   // eboot_large.eb0
    std::string pda;          // pda.nb0
    std::string pdaWithLang;  // pda_lang.nb0
    std::string langPack;     // langpack.lan
    std::string csc;          // single.csc: a language list
    std::string multiCsc;     // multi.csc: one entry per SampleSizes::multiCscBlocks
    std::string fixedCsc;     // fixed.csc: DefaultLangCode "041F"
    std::string phone;        // phone.bin
    std::string smd;          // nand.smd
    std::string img;          // integrated.img
};

// The languages of the sample pack, in pack order.
inline const std::vector<std::string> kSamplePackCodes = {"0409", "0407", "040C", "0412"};

// Byte `offset` of the content stream `stream` under `seed`: content is a function of its
// position, so a test can predict any byte of any file without reading another.
uint8_t SampleByte(uint32_t seed, uint32_t stream, uint64_t offset);
void FillSampleBytes(uint32_t seed, uint32_t stream, uint64_t offset, uint8_t* out, size_t count);

// Writes the whole set into `directory` (created if missing); throws std::runtime_error when
// a file cannot be written. Files are written in chunks, so large sizes cost no memory.
SampleSet WriteSampleSet(const std::string& directory, const SampleSizes& sizes, uint32_t seed);

}  // namespace vantorel::samples
