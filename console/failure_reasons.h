#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "console/control_ids.h"

namespace vantorel::console {

// The first line a slot's worker logged to say why its run fails: the slot's own log and
// bar carry it where the operator looks. Only such lines are noted, never the worker's
// progress lines, so a failure without one is shown by its status alone. Lines are noted
// from the worker threads; the dialog thread reads them.
class FailureReasons {
public:
    // Notes the last complete line of `text` for `slot`, its "[Tag:n] " prefix and line end
    // taken off, unless a reason is noted already (what comes later follows from it). Slots
    // outside 0..7 are ignored.
    void Note(int slot, std::string_view text);
    // The handset echoed a wrong checksum for this data packet (1-based).
    void NoteWrongChecksumAt(int slot, uint32_t packet);
    std::optional<uint32_t> WrongChecksumPacket(int slot) const;
    // The slot reported progress: a reason noted before belongs to no later failure.
    void Forget(int slot);
    // The reason noted since the slot's last report; empty when there is none.
    std::string Reason(int slot) const;

private:
    mutable std::mutex m_mutex;
    std::array<std::string, kSlotCount> m_reason;
    std::array<std::optional<uint32_t>, kSlotCount> m_wrongChecksumPacket;
};

// Marks the calling thread as slot `slot`'s worker (-1: none), so lines it logs can be
// told apart from the other slots' and the dialog's own.
void SetWorkerSlotOfThisThread(int slot);
// The slot whose worker runs on the calling thread; -1 on any other thread.
int WorkerSlotOfThisThread();

}  // namespace vantorel::console
