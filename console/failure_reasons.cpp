#include "console/failure_reasons.h"

namespace vantorel::console {

namespace {

thread_local int t_workerSlot = -1;

// "[PDA:3] Size:1024 Bytes\r\n" -> "Size:1024 Bytes"; a line without a tag is kept whole.
std::string_view WithoutTag(std::string_view line) {
    if (line.starts_with('[')) {
        const size_t close = line.find("] ");
        if (close != std::string_view::npos && line.substr(0, close).find(':') != line.npos) {
            line.remove_prefix(close + 2);
        }
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.remove_suffix(1);
    }
    return line;
}

}  // namespace

void FailureReasons::Note(int slot, std::string_view text) {
    if (slot < 0 || slot >= kSlotCount) {
        return;
    }
    // The last line with any text in it.
    while (!text.empty()) {
        const size_t end = text.find_last_not_of("\r\n");
        if (end == std::string_view::npos) {
            return;
        }
        const size_t start = text.find_last_of('\n', end);
        const std::string_view line =
            WithoutTag(text.substr(start == std::string_view::npos ? 0 : start + 1));
        if (!line.empty()) {
            std::lock_guard lock(m_mutex);
            if (m_reason[slot].empty()) {
                m_reason[slot] = line;
            }
            return;
        }
        text = text.substr(0, start == std::string_view::npos ? 0 : start);
    }
}

void FailureReasons::NoteWrongChecksumAt(int slot, uint32_t packet) {
    if (slot < 0 || slot >= kSlotCount) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_wrongChecksumPacket[slot] = packet;
}

std::optional<uint32_t> FailureReasons::WrongChecksumPacket(int slot) const {
    if (slot < 0 || slot >= kSlotCount) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return m_wrongChecksumPacket[slot];
}

void FailureReasons::Forget(int slot) {
    if (slot < 0 || slot >= kSlotCount) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_reason[slot].clear();
    m_wrongChecksumPacket[slot].reset();
}

std::string FailureReasons::Reason(int slot) const {
    if (slot < 0 || slot >= kSlotCount) {
        return {};
    }
    std::lock_guard lock(m_mutex);
    return m_reason[slot];
}

void SetWorkerSlotOfThisThread(int slot) {
    t_workerSlot = slot;
}

int WorkerSlotOfThisThread() {
    return t_workerSlot;
}

}  // namespace vantorel::console
