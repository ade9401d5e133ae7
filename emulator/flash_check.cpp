#include "emulator/flash_check.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "base/text_format.h"
#include "engine/boot_loader_protocol.h"
#include "images/byte_source.h"
#include "images/csc_file.h"
#include "images/lang_pack.h"
#include "images/pda_image.h"

namespace vantorel::emulator {

namespace {

// The bench compares in memory; image files larger than this are left unchecked.
constexpr uintmax_t kLargestChecked = 512u << 20;
// The station sends an SMD image's first 2048 bytes to RAM without flashing them; the NAND
// blocks follow, each of 64 pages of 2048 + 64 bytes.
constexpr uint64_t kSmdHeaderSize = engine::kPacketSize;
constexpr uint64_t kSmdBlockSize = 135168;

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kLargestChecked) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    return bytes;
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The PDA image's body as its header sizes it; nullopt for a file too short for it.
std::optional<std::span<const uint8_t>> PdaBody(const std::vector<uint8_t>& file) {
    if (file.size() < images::kPdaHeaderSize) {
        return std::nullopt;
    }
    const uint32_t size = engine::LoadLe32(file.data() + 4);
    if (size > file.size() - images::kPdaHeaderSize) {
        return std::nullopt;
    }
    return std::span<const uint8_t>(file).subspan(images::kPdaHeaderSize, size);
}

// The bytes the station sends of a CSC file: a single image whole, of a multi-CSC file the
// entry's range; nullopt when the table cannot be read or has no such entry.
std::optional<std::span<const uint8_t>> CscRange(const std::vector<uint8_t>& file, size_t entry) {
    if (file.size() < sizeof(uint32_t) || engine::LoadLe32(file.data()) != images::kMultiCscMagic) {
        return std::span<const uint8_t>(file);
    }
    const images::MemorySource source(file);
    const auto csc = images::ReadCscFile(source);
    if (!csc || entry >= csc.value.entries.size()) {
        return std::nullopt;
    }
    // The reader checked that every entry lies inside the file.
    const images::CscEntry& chosen = csc.value.entries[entry];
    return std::span<const uint8_t>(file).subspan(chosen.dwOffset, chosen.dwSize);
}

// The ranges as the station wrote them: its block writes, in wire order.
std::vector<SmdRange> WrittenSmdRanges(const FlashRecord& record) {
    std::vector<SmdRange> ranges;
    for (const emulator::CommandSeen& command : record.commands) {
        if (command.code == engine::kCmdWriteSmdBlocks) {
            ranges.push_back({command.a3, command.a2});
        }
    }
    return ranges;
}

// Block by block, streaming: an SMD image may be hundreds of MB.
void CheckSmd(const FlashRecord& record, const std::string& path, std::span<const SmdRange> ranges,
              std::vector<std::string>& problems) {
    const std::string name = FileName(path);
    if (record.smdBlocks.empty()) {
        problems.push_back("flashed no block of " + name);
        return;
    }
    images::ReadOnlyFile file;
    if (!file.Open(path)) {
        problems.push_back("could not read for the check: " + name);
        return;
    }
    std::vector<uint8_t> block(kSmdBlockSize);
    std::set<uint32_t> wanted;
    uint64_t offset = kSmdHeaderSize;
    size_t missing = 0, differing = 0;
    uint32_t firstMissing = 0, firstDiffering = 0;
    for (const SmdRange& range : ranges) {
        for (uint32_t i = 0; i < range.blockCount; ++i, offset += kSmdBlockSize) {
            const uint32_t number = range.startBlock + i;
            wanted.insert(number);
            if (!file.ReadAt(offset, block.data(), block.size())) {
                problems.push_back(
                    FormatText("could not read SMD block %u from %s", number, name.c_str()));
                return;
            }
            const auto flashed = record.smdBlocks.find(number);
            if (flashed == record.smdBlocks.end()) {
                firstMissing = missing++ == 0 ? number : firstMissing;
            } else if (!flashed->second.Matches(block)) {
                firstDiffering = differing++ == 0 ? number : firstDiffering;
            }
        }
    }
    if (missing > 0) {
        problems.push_back(FormatText("did not flash %zu SMD block(s) of %s, the first block %u",
                                      missing, name.c_str(), firstMissing));
    }
    if (differing > 0) {
        problems.push_back(
            FormatText("flashed %zu SMD block(s) that differ from %s, the first "
                       "block %u",
                       differing, name.c_str(), firstDiffering));
    }
    size_t stray = 0;
    for (const auto& [number, image] : record.smdBlocks) {
        stray += wanted.contains(number) ? 0 : 1;
    }
    if (stray > 0) {
        problems.push_back(FormatText(
            "flashed %zu SMD block(s) outside the ranges handed out for %s", stray, name.c_str()));
    }
}

std::string Kib(uint64_t bytes) {
    return FormatText("%llu KiB", static_cast<unsigned long long>((bytes + 1023) / 1024));
}

}  // namespace

std::vector<std::string> CheckFlashed(const FlashRecord& record,
                                      const std::vector<ChosenImage>& chosen,
                                      std::span<const SmdRange> smdRanges) {
    std::vector<std::string> problems;
    for (const ChosenImage& image : chosen) {
        const std::string name = FileName(image.path);
        const auto problem = [&](const char* what) {
            problems.push_back(std::string(what) + " " + name);
        };
        if (image.kind == images::IMG_SMD) {
            const std::vector<SmdRange> written =
                smdRanges.empty() ? WrittenSmdRanges(record) : std::vector<SmdRange>();
            CheckSmd(record, image.path,
                     smdRanges.empty() ? std::span<const SmdRange>(written) : smdRanges, problems);
            continue;
        }
        const auto file = ReadWholeFile(image.path);
        if (!file) {
            problem("could not read for the check:");
            continue;
        }
        switch (image.kind) {
            case images::IMG_EBOOT:
                if (!record.eboot) {
                    problem("did not flash the boot loader");
                } else if (!record.eboot->Matches(*file)) {
                    problem("flashed a boot loader that differs from");
                }
                break;
            case images::IMG_PDA: {
                const auto body = PdaBody(*file);
                if (record.pdaTurns.empty()) {
                    problem("did not flash the PDA image");
                } else if (!body || !record.PdaMatches(*body)) {
                    problem("flashed a PDA image that differs from");
                }
                break;
            }
            case images::IMG_CSC: {
                const auto range = CscRange(*file, image.cscEntry);
                if (!record.csc) {
                    problem("did not flash the CSC image");
                } else if (!range) {
                    problem("has no such CSC entry:");
                } else if (!record.csc->Matches(*range)) {
                    problem("flashed a CSC image that differs from");
                }
                break;
            }
            case images::IMG_LANGPACK: {
                const size_t header = images::kLangPackHeaderSize;
                if (!record.langPack) {
                    problem("did not flash the language pack");
                } else if (file->size() < header ||
                           !record.langPack->Matches(std::span(*file).subspan(header))) {
                    problem("flashed a language pack that differs from");
                }
                break;
            }
            case images::IMG_PHONE:
                if (!record.phone) {
                    problem("did not flash the modem image");
                } else if (!record.phone->Matches(*file)) {
                    problem("flashed a modem image that differs from");
                }
                break;
            default:
                break;
        }
    }
    return problems;
}

std::string DescribeFlashed(const FlashRecord& record) {
    std::vector<std::string> parts;
    if (record.eboot) {
        parts.push_back("EBoot " + Kib(record.eboot->length));
    }
    if (!record.pdaTurns.empty()) {
        uint64_t total = 0;
        for (const auto& turn : record.pdaTurns) {
            total += turn.length;
        }
        parts.push_back(FormatText("PDA %s (%zu turn%s)", Kib(total).c_str(),
                                   record.pdaTurns.size(), record.pdaTurns.size() == 1 ? "" : "s"));
    }
    if (record.csc) {
        parts.push_back("CSC " + Kib(record.csc->length));
    }
    if (record.langPack) {
        parts.push_back("LANGPACK " + Kib(record.langPack->length));
    }
    if (record.phone) {
        parts.push_back("Phone " + Kib(record.phone->length));
    }
    if (!record.smdBlocks.empty()) {
        parts.push_back(FormatText("SMD %zu blocks", record.smdBlocks.size()));
    }
    if (record.launched) {
        parts.push_back("launched");
    }
    if (parts.empty()) {
        return record.sessions == 0 ? std::string() : std::string("nothing yet");
    }
    std::string text;
    for (const auto& part : parts) {
        text += text.empty() ? part : ", " + part;
    }
    return text;
}

}  // namespace vantorel::emulator
