#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include "console/control_ids.h"

namespace vantorel::console {

// The line a slot's worker wrote to the main log last: when the slot then fails, that line
// is why, and the slot's own log and bar carry it where the operator looks. Lines are noted
// from the worker threads; the dialog thread reads them.
class FailureReasons {
public:
    // Notes the last complete line of `text` for `slot`, its "[Tag:n] " prefix and line end
    // taken off. Slots outside 0..7 are ignored.
    void Note(int slot, std::string_view text);
    // The slot reported progress: what it logged before is no reason for a later failure.
    void Forget(int slot);
    // The reason noted since the slot's last report; empty when there is none.
    std::string Reason(int slot) const;

private:
    mutable std::mutex m_mutex;
    std::array<std::string, kSlotCount> m_lastLine;
};

// Marks the calling thread as slot `slot`'s worker (-1: none), so lines it logs can be
// told apart from the other slots' and the dialog's own.
void SetWorkerSlotOfThisThread(int slot);
// The slot whose worker runs on the calling thread; -1 on any other thread.
int WorkerSlotOfThisThread();

}  // namespace vantorel::console
