#include "engine/boot_loader_protocol.h"

#include <algorithm>

#include "engine/byte_sum.h"

namespace vantorel::engine {

namespace {

bool WriteCommand(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3) {
    Packet packet;
    BuildCommandPacket(packet, code, a1, a2, a3);
    link.Write(packet.data(), kPacketSize);
    return true;
}

bool ReadsReply(uint32_t code) {
    return code != kCmdLaunch && code != kCmdReboot;
}

}  // namespace

uint32_t LanguageCodeWord(std::string_view code) {
    uint8_t bytes[4]{};
    for (size_t i = 0; i < 4 && i < code.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(code[i]);
    }
    return LoadLe32(bytes);
}

void BuildCommandPacket(Packet& packet, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3) {
    packet.fill(0);
    StoreLe32(packet.data(), code);
    StoreLe32(packet.data() + 4, a1);
    StoreLe32(packet.data() + 8, a2);
    StoreLe32(packet.data() + 12, a3);
}

uint32_t SealDataPacket(Packet& packet, uint32_t ramAddress, uint32_t payloadLength) {
    const uint32_t sum = ByteSum(PayloadOf(packet), payloadLength);
    StoreLe32(packet.data(), kCmdData);
    StoreLe32(packet.data() + 4, ramAddress);
    StoreLe32(packet.data() + 8, payloadLength);
    StoreLe32(packet.data() + 12, sum);
    return sum;
}

Clock::Duration ReplyBoundOf(uint32_t code, uint32_t a3) {
    // Generous: a bound that fails a healthy handset costs a handset, one that waits long
    // for a dead one costs minutes.
    constexpr Clock::Duration kNandFormatBound{30 * 60 * 1000};
    constexpr Clock::Duration kEraseBound{10 * 60 * 1000};
    switch (code) {
        case kCmdNandFormat:
            return kNandFormatBound;
        case kCmdWriteSmdBlocks:
            return kEraseBound;
        case kCmdNotifyUpdateImage:
            return (a3 & kEraseWorkBits) != 0 ? kEraseBound : link::kReplySilenceBound;
        default:
            return link::kReplySilenceBound;
    }
}

CommandReplyBound::CommandReplyBound(CUsbInterface& link, uint32_t code, uint32_t a3)
    : m_link(link) {
    m_link.SetReplySilenceBound(ReplyBoundOf(code, a3));
}

CommandReplyBound::~CommandReplyBound() {
    m_link.SetReplySilenceBound(link::kReplySilenceBound);
}

uint32_t SendCommandForReply(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2,
                             uint32_t a3) {
    if (!link.IsOpened()) {
        return 0;
    }
    WriteCommand(link, code, a1, a2, a3);
    if (!ReadsReply(code)) {
        return 0;
    }
    const CommandReplyBound bound(link, code, a3);
    Reply4 ignored{};
    return ReadReply4(link, ignored);
}

bool SendCommand(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3) {
    if (!link.IsOpened()) {
        return false;
    }
    SendCommandForReply(link, code, a1, a2, a3);
    return true;
}

bool SendCommandNoReply(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3) {
    if (!link.IsOpened()) {
        return false;
    }
    return WriteCommand(link, code, a1, a2, a3);
}

bool SendCommandCheck(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3,
                      uint32_t* received) {
    if (!link.IsOpened()) {
        return false;
    }
    WriteCommand(link, code, a1, a2, a3);
    const CommandReplyBound bound(link, code, a3);
    Reply4 reply{};
    ReadReply4(link, reply);
    if (received != nullptr) {
        *received = ReplyValue(reply);
    }
    return ReplyValue(reply) == a3;
}

bool SendBlockWrite(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3) {
    if (!link.IsOpened()) {
        return false;
    }
    WriteCommand(link, code, a1, a2, a3);
    const CommandReplyBound bound(link, code, a3);
    Reply4 ignored{};
    ReadReply4(link, ignored);
    return false;
}

uint32_t ReadReply4(CUsbInterface& link, Reply4& reply) {
    return link.Read(reply.data(), kReplySize);
}

uint32_t WriteGreeting(CUsbInterface& link) {
    return link.Write(kGreeting.data(), kReplySize);
}

uint32_t ReadGreetingReply(CUsbInterface& link, Reply4& reply) {
    return link.Read(reply.data(), kReplySize, false);
}

uint32_t QueryBootLoaderVersion(CUsbInterface& link, Reply4& version) {
    WriteCommand(link, kCmdVersionQuery, 0, 0, 0);
    return ReadReply4(link, version);
}

uint32_t ReadReplyBounded(CUsbInterface& link, Reply4& reply, const std::function<bool()>& pause) {
    constexpr int kReads = 4;
    for (int read = 0; read < kReads; ++read) {
        if (const uint32_t count = ReadGreetingReply(link, reply); count > 0) {
            return count;
        }
        if (read + 1 < kReads && !pause()) {
            break;
        }
    }
    return 0;
}

std::string BootLoaderVersionText(const Reply4& version) {
    return std::string{static_cast<char>(version[3]), static_cast<char>(version[2]),
                       static_cast<char>(version[1]), static_cast<char>(version[0])};
}

int FlashWrite(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3,
               DownloadReporter& dialog, int nSlot, const Clock& clock, uint32_t pdaSectorSize) {
    clock.Sleep(Clock::Duration(50));
    if (link.IsOpened()) {
        WriteCommand(link, code, a1, a2, a3);
    } else {
        dialog.SendSlotStatus(kStatusFlashFailed, MakeStatusParam(nSlot, 0));
    }

    clock.Sleep(Clock::Duration(20));
    Reply4 reply{};
    ReadReply4(link, reply);
    const bool fullPdaTurn = code == kCmdFlashPdaTurn && a2 >= pdaSectorSize;
    if (!fullPdaTurn && ReplyValue(reply) != a3) {
        dialog.SendSlotStatus(kStatusFlashFailed, MakeStatusParam(nSlot, 0));
        if (link.ReplyTimedOut()) {
            return 1;  // no reply at all: there is no checksum to tell about
        }
        AppendFailureLog(dialog, "Flash Image checksum error checksum = %x, Rvalue = %x\r\n", a3,
                         ReplyValue(reply));
        return 1;
    }

    uint32_t lastPercent = 0;
    for (;;) {
        reply = kReplyPreset;
        clock.Sleep(Clock::Duration(20));
        ReadReply4(link, reply);
        if (reply == kReplyOkdn) {
            return 0;
        }
        if (reply[0] == 'O' && reply[1] == 'K' && reply[2] == 'U') {
            lastPercent = reply[3];
            dialog.SendSlotStatus(kStatusFlashProgress, MakeStatusParam(nSlot, lastPercent));
            continue;
        }
        dialog.SendSlotStatus(kStatusFlashFailed, MakeStatusParam(nSlot, lastPercent));
        return 1;
    }
}

}  // namespace vantorel::engine
