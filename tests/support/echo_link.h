#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "tests/support/scripted_link.h"

namespace vantorel::test {

// A link that answers like a cooperative boot loader without any state: a data packet gets
// the sum of its payload back (or a wrong one / a short one at a chosen packet), the boot
// loader's flash command the sum it was sent, any other command "OKUD". It keeps every data payload
// in order.
class EchoLink : public ScriptedLink {
public:
    using ScriptedLink::ScriptedLink;

    std::optional<size_t> wrongSumAtPacket;
    std::optional<size_t> shortReplyAtPacket;
    std::vector<uint8_t> received;  // every payload, concatenated
    size_t dataPackets = 0;
    std::vector<uint32_t> commands;  // every command code written, in order

    uint32_t Write(const void* buffer, uint32_t length) override {
        ScriptedLink::Write(buffer, length);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        if (length != engine::kPacketSize) {
            return length;
        }
        const uint32_t code = engine::LoadLe32(bytes);
        commands.push_back(code);
        if (code == engine::kCmdFlashEboot) {
            QueueWord(engine::LoadLe32(bytes + 12));  // the boot loader takes the image
            return length;
        }
        if (code != engine::kCmdData) {
            QueueReply("OKUD");
            return length;
        }
        const uint32_t payloadLength = engine::LoadLe32(bytes + 8);
        const uint8_t* payload = bytes + engine::kPacketHeaderSize;
        received.insert(received.end(), payload, payload + payloadLength);
        uint32_t sum = engine::ByteSum(payload, payloadLength);
        const size_t index = dataPackets++;
        if (shortReplyAtPacket == index) {
            QueueReply(std::vector<uint8_t>{1, 2});
            return length;
        }
        if (wrongSumAtPacket == index) {
            sum += 1;
        }
        QueueWord(sum);
        return length;
    }
};

}  // namespace vantorel::test
