#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/download_batch.h"

namespace vantorel::benchmarks {

// The console as a benchmark's workers see it, reduced to what a run needs: notifications
// are counted and each slot's outcome kept, log lines are counted and dropped. Runs never
// reboot a handset, so a detection wait is never satisfied.
class BenchHost final : public engine::DownloadHost {
public:
    static constexpr int kSlots = 8;

    void SendSlotStatus(uint32_t code, uint32_t lParam) override;
    void AppendMainLogText(std::string_view text) override;
    void SetImageKind(int, int32_t, bool) override {}
    void SetTurns(int, int32_t, int32_t) override {}
    bool WaitForDetection(int, std::chrono::nanoseconds, std::stop_token) override { return false; }
    void ClearDetectedDeviceName(int) override {}
    int StopSyncProcesses() override { return 0; }

    // The slot reported the end of a successful run (status 518).
    bool Finished(int slot) const { return m_finished[Index(slot)].load(); }
    // The slot reported a failure (209, 210, 212 or 216); 0 when it did not.
    uint32_t Failure(int slot) const { return m_failure[Index(slot)].load(); }
    uint64_t Notifications() const { return m_notifications.load(); }
    uint64_t LogLines() const { return m_logLines.load(); }

private:
    static size_t Index(int slot) { return static_cast<size_t>(slot) % kSlots; }

    std::array<std::atomic<bool>, kSlots> m_finished{};
    std::array<std::atomic<uint32_t>, kSlots> m_failure{};
    std::atomic<uint64_t> m_notifications{0};
    std::atomic<uint64_t> m_logLines{0};
};

}  // namespace vantorel::benchmarks
