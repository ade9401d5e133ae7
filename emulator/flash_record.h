#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/flash_digest.h"

namespace vantorel::emulator {

// One image as the handset wrote it to flash. In RecordMode::Digest `bytes` stays empty.
struct FlashedImage {
    uint64_t length = 0;
    uint32_t byteSum = 0;
    Sha256Digest digest;
    std::vector<uint8_t> bytes;

    // True when `expected` is what was flashed: byte for byte when the bytes were kept,
    // else by length, sum and digest.
    bool Matches(std::span<const uint8_t> expected) const;
};

// One command packet as it came from the station (data packets are only counted).
struct CommandSeen {
    uint32_t code = 0;
    uint32_t a1 = 0, a2 = 0, a3 = 0;
    friend bool operator==(const CommandSeen&, const CommandSeen&) = default;
};

// One flashed PDA turn (command 1001).
struct PdaTurnRecord {
    uint32_t position = 0;  // in 2048-byte units
    uint32_t length = 0;
    uint32_t checkWord = 0;
    FlashedImage image;
};

struct NotifyRecord {
    uint32_t imageMask = 0;
    uint32_t sectorSize = 0;
    uint32_t optionWord = 0;
};

struct LanguageChoiceRecord {
    uint32_t index = 0;
    std::string code;  // the 4 characters of the little-endian word
};

// Everything the handset saw and flashed over its life.
struct FlashRecord {
    std::vector<CommandSeen> commands;  // every command packet, in order
    uint64_t dataPackets = 0;
    uint64_t sessions = 0;          // times it was plugged in
    uint64_t greetings = 0;         // greetings answered "OKUD"
    uint64_t greetingsRefused = 0;  // greetings that got no "OKUD" (injected)
    uint64_t reboots = 0;
    bool launched = false;
    uint64_t unknownCommands = 0;

    std::optional<FlashedImage> eboot;           // command 4
    std::vector<PdaTurnRecord> pdaTurns;         // command 1001, in order
    std::optional<FlashedImage> phone;           // command 1004
    std::optional<FlashedImage> csc;             // command 1005
    std::optional<FlashedImage> langPack;        // command 1006
    std::map<uint32_t, FlashedImage> smdBlocks;  // command 1016, by block number
    uint64_t nandFormats = 0;

    std::optional<NotifyRecord> notify;  // the last command 5
    std::optional<LanguageChoiceRecord> languageChoice;
    std::vector<uint32_t> ugmFlags;  // command 100, in order

    // The latest PDA run (from the last turn at position 0 on) as one image; nullopt when
    // its turns leave a gap or overlap, or (RecordMode::Digest) kept no bytes.
    std::optional<std::vector<uint8_t>> PdaImage() const;
    // True when the latest PDA run, laid out by position without gap or overlap, is
    // `expected`; works in both record modes.
    bool PdaMatches(std::span<const uint8_t> expected) const;
    // The SMD blocks from `firstBlock` on, `count` of them, as one run of bytes; nullopt
    // when one is missing or its bytes were not kept.
    std::optional<std::vector<uint8_t>> SmdBytes(uint32_t firstBlock, uint32_t count) const;
};

}  // namespace vantorel::emulator
