#pragma once

#include <cstdint>
#include <vector>

namespace vantorel::engine {

// One PDA turn: at most one RAM sector sent to RAM and then flashed with command 1001.
struct PdaTurn {
    uint32_t position;  // in 2048-byte units
    uint32_t length;    // bytes
    uint32_t check;     // the header's size word, or its last-turn check word on the last turn
};

// The turns of a PDA image of `size` bytes (the header's size word) for a RAM sector of
// `sectorSize` bytes; `lastCheck` is the header's word at offset 12. Empty for a zero size
// or a zero sector.
std::vector<PdaTurn> PlanPdaTurns(uint32_t size, uint32_t lastCheck, uint32_t sectorSize);

}  // namespace vantorel::engine
