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

std::string LogBook::TakePending(ShownLog log, size_t maxBytes) {
    std::lock_guard lock(m_mutex);
    std::string& pending = Of(log).pending;
    std::string taken;
    if (pending.size() <= maxBytes) {
        taken.swap(pending);
        return taken;
    }
    size_t end = pending.rfind('\n', maxBytes - 1);
    if (end == std::string::npos) {
        end = pending.find('\n', maxBytes);
    }
    const size_t length = end == std::string::npos ? pending.size() : end + 1;
    taken.assign(pending, 0, length);
    pending.erase(0, length);
    return taken;
}

bool LogBook::HasPending(ShownLog log) const {
    std::lock_guard lock(m_mutex);
    return !Of(log).pending.empty();
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
