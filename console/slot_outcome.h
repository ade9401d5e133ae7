#pragma once

#include <cstdint>
#include <string>

namespace vantorel::console {

// How one slot of the station stands: what its label and bar show, its state, and the
// device it holds (empty for a slot that never held one).
struct SlotOutcome {
    int slot = 0;
    std::string label;   // the label's caption
    std::string status;  // the bar's text
    int32_t state = 0;   // SLOT_WAITING .. SLOT_FAILED
    std::string deviceName;
};

}  // namespace vantorel::console
