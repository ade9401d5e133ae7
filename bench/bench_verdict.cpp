#include "bench/bench_verdict.h"

#include "base/text_format.h"
#include "console/slot_state.h"
#include "engine/attach_handshake.h"

namespace vantorel::bench {

std::string SlotLine(const console::SlotOutcome& outcome) {
    return FormatText("slot %d: %s | %s", outcome.slot + 1, outcome.label.c_str(),
                      outcome.status.c_str());
}

namespace {

const console::SlotOutcome* HolderOf(
    const std::array<console::SlotOutcome, console::kSlotCount>& slots,
    const ExpectedHandset& handset) {
    const console::SlotOutcome* held = nullptr;
    for (const console::SlotOutcome& slot : slots) {
        if (slot.state != console::SLOT_WAITING && !handset.instanceName.empty() &&
            engine::SameDeviceName(slot.deviceName, handset.instanceName)) {
            held = &slot;
        }
    }
    return held;
}

}  // namespace

std::string PlacementLine(const std::array<console::SlotOutcome, console::kSlotCount>& slots,
                          const ExpectedHandset& handset) {
    const console::SlotOutcome* held = HolderOf(slots, handset);
    std::string line = "handset " + handset.port + ": ";
    line += held == nullptr ? "in no slot" : FormatText("slot %d", held->slot + 1);
    if (handset.boundSlot < 0) {
        return line + ", its port bound to no slot";
    }
    if (held != nullptr && held->slot == handset.boundSlot) {
        return line + ", its port's slot";
    }
    return line + FormatText(", but its port is bound to slot %d", handset.boundSlot + 1);
}

Verdict JudgeRun(const std::array<console::SlotOutcome, console::kSlotCount>& slots,
                 const std::vector<ExpectedHandset>& handsets,
                 const std::vector<emulator::ChosenImage>& chosen, bool bTimedOut,
                 int timeoutSeconds) {
    std::vector<std::string> problems;
    if (bTimedOut) {
        problems.push_back(FormatText("the batch did not end within %d s", timeoutSeconds));
    }
    int done = 0;
    for (const ExpectedHandset& handset : handsets) {
        const console::SlotOutcome* held = HolderOf(slots, handset);
        if (held == nullptr) {
            problems.push_back("handset " + handset.port + " did not attach to a slot");
            continue;
        }
        const std::string where =
            FormatText("slot %d (handset %s)", held->slot + 1, handset.port.c_str());
        if (handset.boundSlot >= 0 && held->slot != handset.boundSlot) {
            problems.push_back(where + FormatText(" is not the slot its port is bound to, slot %d",
                                                  handset.boundSlot + 1));
            continue;
        }
        if (held->state != console::SLOT_DONE) {
            problems.push_back(where + " did not finish: " + held->label + " | " + held->status);
            continue;
        }
        if (handset.record) {
            const std::vector<std::string> differences =
                emulator::CheckFlashed(*handset.record, chosen);
            for (const std::string& difference : differences) {
                problems.push_back(where + " " + difference);
            }
            if (!differences.empty()) {
                continue;
            }
        }
        ++done;
    }

    Verdict verdict;
    verdict.bPassed = problems.empty();
    verdict.lines.push_back(FormatText("result: %s, %d of %zu handset(s) done",
                                       verdict.bPassed ? "passed" : "FAILED", done,
                                       handsets.size()));
    for (const std::string& problem : problems) {
        verdict.lines.push_back("problem: " + problem);
    }
    return verdict;
}

}  // namespace vantorel::bench
