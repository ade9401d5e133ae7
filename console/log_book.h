#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include "console/control_ids.h"

namespace vantorel::console {

// The shown logs: the main log (view 1017) and the second log (view 1071).
enum class ShownLog { Main, Aux };

// The console's log texts: the main and second logs and one log per slot. Safe to append
// from any thread; appends are serialised. A shown log also keeps what its view has not
// been given yet, so the view is fed line by line instead of re-sent whole.
class LogBook {
public:
    // Appends to a shown log. True when nothing was waiting for the view before, i.e. the
    // caller is the one to arrange the view's next refresh.
    bool Append(ShownLog log, std::string_view text);
    // What the view has not been given yet, handed over once: whole lines of at most
    // `maxBytes` in all (one line at least, however long), the rest kept for the next take.
    std::string TakePending(ShownLog log, size_t maxBytes = std::string::npos);
    bool HasPending(ShownLog log) const;
    // Empties one shown log, or both (and what their views were still to get).
    void Clear(ShownLog log);
    void ClearShown();

    // Slots outside 0..7 are ignored.
    void AppendSlot(int slot, std::string_view text);
    void ClearSlot(int slot);

    std::string Text(ShownLog log) const;
    std::string SlotText(int slot) const;

private:
    struct Shown {
        std::string text;
        std::string pending;
    };
    Shown& Of(ShownLog log) { return log == ShownLog::Main ? m_main : m_aux; }
    const Shown& Of(ShownLog log) const { return log == ShownLog::Main ? m_main : m_aux; }

    mutable std::mutex m_mutex;
    Shown m_main;  // m_strMainLog
    Shown m_aux;   // m_strAuxLog
    std::array<std::string, kSlotCount> m_strSlotLog;
};

}  // namespace vantorel::console
