#include "emulator/flash_record.h"

#include <algorithm>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"

namespace vantorel::emulator {

namespace {

// Each turn starts where the one before ended; a turn is a whole number of 2048-byte units
// apart from the last.
bool TurnsAreContiguous(std::span<const PdaTurnRecord> turns) {
    uint64_t expectedStart = 0;
    for (const PdaTurnRecord& turn : turns) {
        if (uint64_t{turn.position} * engine::kPacketSize != expectedStart) {
            return false;
        }
        expectedStart += turn.length;
    }
    return true;
}

// A PDA flashed again later starts over at position 0; only the latest run counts.
std::span<const PdaTurnRecord> LatestRun(const std::vector<PdaTurnRecord>& turns) {
    const auto start = std::find_if(turns.rbegin(), turns.rend(),
                                    [](const PdaTurnRecord& turn) { return turn.position == 0; });
    if (start == turns.rend()) {
        return std::span<const PdaTurnRecord>(turns);
    }
    return std::span<const PdaTurnRecord>(turns).subspan(
        static_cast<size_t>(turns.rend() - start - 1));
}

}  // namespace

bool FlashedImage::Matches(std::span<const uint8_t> expected) const {
    if (expected.size() != length) {
        return false;
    }
    if (bytes.size() == length) {
        return std::equal(bytes.begin(), bytes.end(), expected.begin());
    }
    return engine::ByteSum(expected.data(), expected.size()) == byteSum &&
           FlashDigest::Of(expected) == digest;
}

std::optional<std::vector<uint8_t>> FlashRecord::PdaImage() const {
    const auto turns = LatestRun(pdaTurns);
    if (turns.empty() || !TurnsAreContiguous(turns)) {
        return std::nullopt;
    }
    std::vector<uint8_t> image;
    for (const PdaTurnRecord& turn : turns) {
        if (turn.image.bytes.size() != turn.length) {
            return std::nullopt;
        }
        image.insert(image.end(), turn.image.bytes.begin(), turn.image.bytes.end());
    }
    return image;
}

bool FlashRecord::PdaMatches(std::span<const uint8_t> expected) const {
    const auto turns = LatestRun(pdaTurns);
    if (turns.empty() || !TurnsAreContiguous(turns)) {
        return false;
    }
    size_t offset = 0;
    for (const PdaTurnRecord& turn : turns) {
        if (offset + turn.length > expected.size() ||
            !turn.image.Matches(expected.subspan(offset, turn.length))) {
            return false;
        }
        offset += turn.length;
    }
    return offset == expected.size();
}

std::optional<std::vector<uint8_t>> FlashRecord::SmdBytes(uint32_t firstBlock,
                                                          uint32_t count) const {
    std::vector<uint8_t> bytes;
    for (uint32_t block = firstBlock; block - firstBlock < count; ++block) {
        const auto found = smdBlocks.find(block);
        if (found == smdBlocks.end() || found->second.bytes.size() != found->second.length) {
            return std::nullopt;
        }
        bytes.insert(bytes.end(), found->second.bytes.begin(), found->second.bytes.end());
    }
    return bytes;
}

}  // namespace vantorel::emulator
