#include "console/log_book.h"

namespace vantorel::console {

namespace {
bool IsSlot(int slot) {
    return slot >= 0 && slot < kSlotCount;
}
}  // namespace

bool LogBook::Append(ShownLog log, std::string_view text) {
    std::lock_guard lock(m_mutex);
    Shown& shown = Of(log);
    const bool wasIdle = shown.pending.empty();
    shown.text.append(text);
    shown.pending.append(text);
    return wasIdle && !text.empty();
}

std::string LogBook::TakePending(ShownLog log) {
    std::lock_guard lock(m_mutex);
    std::string taken;
    taken.swap(Of(log).pending);
    return taken;
}

void LogBook::Clear(ShownLog log) {
    std::lock_guard lock(m_mutex);
    Of(log) = {};
}

void LogBook::ClearShown() {
    std::lock_guard lock(m_mutex);
    m_main = {};
    m_aux = {};
}

void LogBook::AppendSlot(int slot, std::string_view text) {
    if (!IsSlot(slot)) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_strSlotLog[slot].append(text);
}

void LogBook::ClearSlot(int slot) {
    if (!IsSlot(slot)) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_strSlotLog[slot].clear();
}

std::string LogBook::Text(ShownLog log) const {
    std::lock_guard lock(m_mutex);
    return Of(log).text;
}

std::string LogBook::SlotText(int slot) const {
    if (!IsSlot(slot)) {
        return {};
    }
    std::lock_guard lock(m_mutex);
    return m_strSlotLog[slot];
}

}  // namespace vantorel::console
