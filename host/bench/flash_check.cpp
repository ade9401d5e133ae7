#include "host/bench/flash_check.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/text_format.h"
#include "engine/boot_loader_protocol.h"
#include "engine/image_headers.h"

namespace vantorel::bench {

namespace {

// The bench compares in memory; image files larger than this are left unchecked.
constexpr uintmax_t kLargestChecked = 512u << 20;

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
    if (file.size() < engine::kPdaHeaderSize) {
        return std::nullopt;
    }
    const uint32_t size = engine::LoadLe32(file.data() + 4);
    if (size > file.size() - engine::kPdaHeaderSize) {
        return std::nullopt;
    }
    return std::span<const uint8_t>(file).subspan(engine::kPdaHeaderSize, size);
}

std::string Kib(uint64_t bytes) {
    return FormatText("%llu KiB", static_cast<unsigned long long>((bytes + 1023) / 1024));
}

}  // namespace

std::vector<std::string> CheckFlashed(const emulator::FlashRecord& record,
                                      const std::vector<ChosenImage>& chosen) {
    std::vector<std::string> problems;
    for (const ChosenImage& image : chosen) {
        const std::string name = FileName(image.path);
        const auto problem = [&](const char* what) {
            problems.push_back(std::string(what) + " " + name);
        };
        if (image.kind == images::IMG_SMD) {
            if (record.smdBlocks.empty()) {
                problem("flashed no block of");
            }
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
            case images::IMG_CSC:
                if (!record.csc) {
                    problem("did not flash the CSC image");
                } else if (record.csc->length == file->size() && !record.csc->Matches(*file)) {
                    problem("flashed a CSC image that differs from");
                }
                break;
            case images::IMG_LANGPACK: {
                const size_t header = engine::kLangPackHeaderSize;
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

std::string DescribeFlashed(const emulator::FlashRecord& record) {
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

}  // namespace vantorel::bench
