#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "link/usb_interface.h"
#include "tests/support/recording_message_sink.h"

namespace vantorel::test {

// A platform with nothing on it, for link objects whose I/O a test scripts itself.
class EmptyPlatform : public link::DeviceDirectory,
                      public link::SerialOpener,
                      public link::BulkOpener {
public:
    std::optional<std::vector<std::string>> ListPresent(const link::Guid&) override {
        return std::vector<std::string>{};
    }
    std::shared_ptr<link::SerialChannel> OpenExclusive(const std::string&) override {
        return nullptr;
    }
    std::shared_ptr<link::BulkDevice> Open(const std::string&) override { return nullptr; }

    link::LinkPlatform Platform() { return {*this, *this, *this, messages, clock}; }

    RecordingMessageSink messages;
    Clock clock{0.0};
};

// A link whose replies a test queues up front; it records every write. Each queued reply is
// handed out by one Read (cut to the length asked for). Reads with nothing queued return 0.
class ScriptedLink : public link::CUsbInterface {
public:
    explicit ScriptedLink(EmptyPlatform& platform) : CUsbInterface(platform.Platform()) {}

    void QueueReply(std::vector<uint8_t> bytes) { m_replies.push_back(std::move(bytes)); }
    void QueueReply(const char (&text)[5]) { QueueReply(std::vector<uint8_t>(text, text + 4)); }
    void QueueWord(uint32_t value) {
        QueueReply(std::vector<uint8_t>{
            static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
    }
    void SetOpened(bool opened) { m_bScriptOpened = opened; }

    bool IsOpened() const override { return m_bScriptOpened; }
    uint32_t Write(const void* buffer, uint32_t length) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        writes.emplace_back(bytes, bytes + length);
        return writes.size() - 1 == failedWrite ? 0 : length;
    }
    uint32_t Read(void* buffer, uint32_t length, bool bWait) override {
        readWaitFlags.push_back(bWait);
        if (m_replies.empty()) {
            return 0;
        }
        std::vector<uint8_t> reply = std::move(m_replies.front());
        m_replies.pop_front();
        const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(reply.size()));
        std::memcpy(buffer, reply.data(), count);
        return count;
    }
    using CUsbInterface::Read;

    size_t RepliesLeft() const { return m_replies.size(); }

    std::vector<std::vector<uint8_t>> writes;
    std::vector<bool> readWaitFlags;
    // The write with this index (0: the first) reports that nothing was written; it is
    // recorded all the same.
    std::optional<size_t> failedWrite;

private:
    std::deque<std::vector<uint8_t>> m_replies;
    bool m_bScriptOpened = true;
};

}  // namespace vantorel::test
