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
// in order. A write the script fails is answered all the same, as a handset may answer bytes
// that the host's transfer gave up on.
class EchoLink : public ScriptedLink {
public:
    using ScriptedLink::ScriptedLink;

    std::optional<size_t> wrongSumAtPacket;
    std::optional<size_t> shortReplyAtPacket;
    std::vector<uint8_t> received;  // every payload, concatenated
    size_t dataPackets = 0;
    std::vector<uint32_t> commands;  // every command code written, in order

    uint32_t Write(const void* buffer, uint32_t length) override {
        const uint32_t written = ScriptedLink::Write(buffer, length);
        Answer(static_cast<const uint8_t*>(buffer), length);
        return written;
    }

private:
    void Answer(const uint8_t* bytes, uint32_t length) {
        if (length != engine::kPacketSize) {
            return;
        }
        const uint32_t code = engine::LoadLe32(bytes);
        commands.push_back(code);
        if (code == engine::kCmdFlashEboot) {
            QueueWord(engine::LoadLe32(bytes + 12));  // the boot loader takes the image
            return;
        }
        if (code != engine::kCmdData) {
            QueueReply("OKUD");
            return;
        }
        const uint32_t payloadLength = engine::LoadLe32(bytes + 8);
        const uint8_t* payload = bytes + engine::kPacketHeaderSize;
        received.insert(received.end(), payload, payload + payloadLength);
        uint32_t sum = engine::ByteSum(payload, payloadLength);
        const size_t index = dataPackets++;
        if (shortReplyAtPacket == index) {
            QueueReply(std::vector<uint8_t>{1, 2});
            return;
        }
        if (wrongSumAtPacket == index) {
            sum += 1;
        }
        QueueWord(sum);
    }
};

}  // namespace vantorel::test
