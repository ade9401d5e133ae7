#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "bench/slot_outcome.h"
#include "console/control_ids.h"
#include "emulator/flash_check.h"
#include "emulator/flash_record.h"

namespace vantorel::bench {

// A handset the run expected to see downloaded.
struct ExpectedHandset {
    std::string port;          // as the operator knows it: "1-3", a tty path
    std::string instanceName;  // as the station records it; empty: it never attached
    // What an emulated handset flashed; nullopt for an external one, which is not checked.
    std::optional<emulator::FlashRecord> record;
};

struct Verdict {
    bool bPassed = false;
    std::vector<std::string> lines;  // the summary, then one line per problem
};

// "slot N: <label caption> | <status text>" for slots 1..8.
std::string SlotLine(const console::SlotOutcome& outcome);

// Judges a run: every expected handset attached to a slot that ended "Job Done" and, for an
// emulated one, flashed exactly the chosen files. Problems name the slot and the handset.
Verdict JudgeRun(const std::array<console::SlotOutcome, console::kSlotCount>& slots,
                 const std::vector<ExpectedHandset>& handsets,
                 const std::vector<emulator::ChosenImage>& chosen, bool bTimedOut,
                 int timeoutSeconds);

}  // namespace vantorel::bench
