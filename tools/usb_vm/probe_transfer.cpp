#include "tools/usb_vm/probe_transfer.h"

#include <algorithm>
#include <vector>

namespace vantorel::usb_vm {

namespace {

SteadyClock::duration Median(std::vector<SteadyClock::duration>& samples) {
    if (samples.empty()) {
        return {};
    }
    const auto middle = samples.begin() + static_cast<ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

}  // namespace

uint32_t ReadReplyExact(link::CUsbInterface& link, engine::Reply4& reply) {
    uint32_t got = 0;
    while (got < reply.size()) {
        const uint32_t count =
            link.Read(reply.data() + got, static_cast<uint32_t>(reply.size() - got));
        if (count == 0) {
            break;
        }
        got += count;
    }
    return got;
}

bool Greet(link::CUsbInterface& link, int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (engine::WriteGreeting(link) != engine::kReplySize) {
            continue;
        }
        engine::Reply4 reply{};
        if (engine::ReadGreetingReply(link, reply) == engine::kReplySize &&
            reply == engine::kReplyOkud) {
            return true;
        }
    }
    return false;
}

RamTransfer SendToRam(link::CUsbInterface& link, uint32_t imageKind, std::span<const uint8_t> image,
                      const BeforeEcho& beforeEcho) {
    RamTransfer result;
    const auto start = SteadyClock::now();
    const auto fullPackets = static_cast<uint32_t>(image.size() / engine::kPacketPayloadSize);
    if (!engine::SendCommand(link, engine::kCmdStartRamDownload, imageKind, fullPackets, 0)) {
        result.failure = "command 7 on a closed link";
        return result;
    }
    std::vector<SteadyClock::duration> writes;
    std::vector<SteadyClock::duration> echoes;
    writes.reserve(image.size() / engine::kPacketPayloadSize + 1);
    echoes.reserve(writes.capacity());
    engine::Packet packet{};
    for (size_t offset = 0; offset < image.size(); offset += engine::kPacketPayloadSize) {
        const auto length =
            static_cast<uint32_t>(std::min(engine::kPacketPayloadSize, image.size() - offset));
        std::copy_n(image.begin() + static_cast<ptrdiff_t>(offset), length,
                    engine::PayloadOf(packet));
        const uint32_t sum = engine::SealDataPacket(packet, static_cast<uint32_t>(offset), length);
        const uint64_t index = result.packetsSent;
        const auto written = SteadyClock::now();
        if (link.Write(packet.data(), engine::kPacketSize) != engine::kPacketSize) {
            result.failure = "data packet " + std::to_string(index) + " not written";
            result.failedAt = SteadyClock::now();
            return result;
        }
        if (beforeEcho) {
            beforeEcho(index);
        }
        const auto echoed = SteadyClock::now();
        writes.push_back(echoed - written);
        engine::Reply4 echo{};
        const uint32_t count = ReadReplyExact(link, echo);
        echoes.push_back(SteadyClock::now() - echoed);
        if (count != engine::kReplySize || engine::ReplyValue(echo) != sum) {
            result.failedAt = SteadyClock::now();
            result.failedReadCount = count;
            result.failure = "data packet " + std::to_string(index) + ": echo of " +
                             std::to_string(count) + " bytes, not the sum";
            return result;
        }
        ++result.packetsSent;
    }
    result.elapsed = SteadyClock::now() - start;
    result.medianWrite = Median(writes);
    result.medianEcho = Median(echoes);
    result.bDone = true;
    return result;
}

}  // namespace vantorel::usb_vm
