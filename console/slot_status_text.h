#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vantorel::console {

// What the slot's state is when a status notification is worded.
struct StatusContext {
    int32_t nImageKind = 0;
    int32_t nPartIndex = 0;
    int32_t nTurn = 0;
    int32_t nTurnTotal = 0;
};

// What one status code does to its slot, before the label and counters are updated.
struct StatusAction {
    std::string strText;        // the bar's new text (empty for codes without a text)
    std::optional<int> barPos;  // the bar's new position, when the code sets one
    bool bFailed = false;       // the slot is now failed
    bool bFinished = false;     // the download run ended well (code 518)
};

// Words a status code for a slot in `context`; `value` is the high half of lParam.
StatusAction DescribeSlotStatus(uint32_t code, uint32_t value, const StatusContext& context);

// The slot label's caption for the slot's current image kind.
std::string SlotLabelCaption(int slot, int32_t imageKind);

// The device-count line.
std::string DetectedCountText(int count);

}  // namespace vantorel::console
