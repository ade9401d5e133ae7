#include "engine/pda_turns.h"

#include <algorithm>

namespace vantorel::engine {

std::vector<PdaTurn> PlanPdaTurns(uint32_t size, uint32_t lastCheck, uint32_t sectorSize) {
    std::vector<PdaTurn> turns;
    if (sectorSize == 0) {
        return turns;
    }
    uint32_t remaining = size;
    uint32_t position = 0;
    while (remaining > 0) {
        const uint32_t length = std::min(sectorSize, remaining);
        turns.push_back({position, length, length == remaining ? lastCheck : size});
        remaining -= length;
        position += sectorSize / 2048;
    }
    return turns;
}

}  // namespace vantorel::engine
