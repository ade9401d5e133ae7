#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "console/slot_outcome.h"
#include "emulator/flash_check.h"
#include "emulator/flash_record.h"

namespace vantorel::bench {

// A handset the run expected to see downloaded.
struct ExpectedHandset {
    std::string port;          // as the operator knows it: "1-3", a tty path
    std::string instanceName;  // as the station records it; empty: it never attached
    // What an emulated handset flashed; nullopt for an external one, which is not checked.
    std::optional<emulator::FlashRecord> record;
    // When slots follow ports: the slot its port is bound to; -1 otherwise.
    int boundSlot = -1;
};

struct Verdict {
    bool bPassed = false;
    std::vector<std::string> lines;  // the summary, then one line per problem
};

// "slot N: <label caption> | <status text>" for slots 1..8.
std::string SlotLine(const console::SlotOutcome& outcome);

// Where a handset landed when slots follow ports, e.g. "handset 1-3: slot 3, its port's slot".
std::string PlacementLine(const std::array<console::SlotOutcome, console::kSlotCount>& slots,
                          const ExpectedHandset& handset);

// Judges a run: every expected handset attached to a slot that ended "Job Done" and, for an
// emulated one, flashed exactly the chosen files; one bound to a slot, in that slot. Problems name
// the slot and the handset.
Verdict JudgeRun(const std::array<console::SlotOutcome, console::kSlotCount>& slots,
                 const std::vector<ExpectedHandset>& handsets,
                 const std::vector<emulator::ChosenImage>& chosen, bool bTimedOut,
                 int timeoutSeconds);

}  // namespace vantorel::bench
