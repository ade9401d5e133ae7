#include "benchmarks/bench_host.h"

#include "engine/slot_status.h"

namespace vantorel::benchmarks {

void BenchHost::SendSlotStatus(uint32_t code, uint32_t lParam) {
    ++m_notifications;
    const size_t slot = Index(engine::StatusSlot(lParam));
    switch (code) {
        case engine::kStatusFinished:
            m_finished[slot] = true;
            break;
        case engine::kStatusReadError:
        case engine::kStatusFlashFailed:
        case engine::kStatusChecksumMismatch:
        case engine::kStatusRebootFailed:
            m_failure[slot] = code;
            break;
        default:
            break;
    }
}

void BenchHost::AppendMainLogText(std::string_view) {
    ++m_logLines;
}

}  // namespace vantorel::benchmarks
