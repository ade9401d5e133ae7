#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/message_sink.h"

namespace vantorel::test {

// Records every message box instead of showing it.
class RecordingMessageSink : public link::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& caption = {}) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(caption.empty() ? text : caption + ": " + text);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
};

}  // namespace vantorel::test
