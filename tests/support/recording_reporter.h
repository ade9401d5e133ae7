#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/slot_status.h"

namespace vantorel::test {

struct RecordedStatus {
    uint32_t code;
    uint32_t lParam;
    friend bool operator==(const RecordedStatus&, const RecordedStatus&) = default;
};

// Records the status notifications and main-log lines a download run sends.
class RecordingReporter : public engine::DownloadReporter {
public:
    void SendSlotStatus(uint32_t code, uint32_t lParam) override {
        std::lock_guard lock(m_mutex);
        m_statuses.push_back({code, lParam});
    }
    void AppendMainLogText(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_log.append(text);
    }
    std::vector<RecordedStatus> Statuses() const {
        std::lock_guard lock(m_mutex);
        return m_statuses;
    }
    std::string Log() const {
        std::lock_guard lock(m_mutex);
        return m_log;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedStatus> m_statuses;
    std::string m_log;
};

}  // namespace vantorel::test
