#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantorel::console {

// What the station knows about a slot's failure beyond its status.
struct FailureFacts {
    bool bHandsetPresent = true;                  // still on the bus when the failure came
    std::optional<uint32_t> wrongChecksumPacket;  // 1-based, when a data packet's echo was wrong
};

// One plain sentence for the operator, beside the bar's own text: what happened and what to
// do. Empty for a status that is no failure.
std::string FailureAdvice(uint32_t code, uint32_t value, const FailureFacts& facts);

// Every status a failure can end a slot with, for a check that each has its sentence.
std::vector<uint32_t> FailureStatusCodes();

}  // namespace vantorel::console
