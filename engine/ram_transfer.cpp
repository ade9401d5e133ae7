#include "engine/ram_transfer.h"

#include "engine/boot_loader_protocol.h"

namespace vantorel::engine {

namespace {

// LinkShort: the packet was not all written, or its reply was not all read.
enum class PacketOutcome { Echoed, FileShort, LinkShort, SumMismatch };

struct EchoedPacket {
    PacketOutcome outcome;
    uint32_t sum = 0;
    uint32_t received = 0;
};

EchoedPacket SendDataPacket(const SlotContext& slot, Packet& packet, ImageFile& file,
                            uint32_t address, uint32_t length, bool firstPacket) {
    if (file.Read(PayloadOf(packet), length) != length) {
        return {PacketOutcome::FileShort};
    }
    const uint32_t sum = SealDataPacket(packet, address, length);
    if (firstPacket) {
        slot.clock.Sleep(Clock::Duration(50));
    }
    // An echo read after a failed write could only be stale or never come.
    if (slot.link.Write(packet.data(), kPacketSize) != kPacketSize) {
        return {PacketOutcome::LinkShort};
    }
    Reply4 reply{};
    if (ReadReply4(slot.link, reply) != kReplySize) {
        return {PacketOutcome::LinkShort};
    }
    const uint32_t received = ReplyValue(reply);
    return {received == sum ? PacketOutcome::Echoed : PacketOutcome::SumMismatch, sum, received};
}

// The status a packet's outcome ends the transfer with; 0 when it was echoed.
uint32_t FailureStatus(PacketOutcome outcome, uint32_t& errorFlag) {
    switch (outcome) {
        case PacketOutcome::FileShort:
            errorFlag = 1;
            return kStatusReadError;
        case PacketOutcome::LinkShort:
            errorFlag = 0;
            return kStatusReadError;
        case PacketOutcome::SumMismatch:
            return kStatusChecksumMismatch;
        case PacketOutcome::Echoed:
            break;
    }
    return 0;
}

// The percentage may pass 100 (199 packets give step 1 and values up to 199): the console
// caps it.
uint32_t Percent(uint32_t packetsDone, uint32_t step) {
    return step == 0 ? 100 : packetsDone / step;
}

}  // namespace

uint32_t DownloadToRam(const SlotContext& slot, int32_t imageKind, ImageFile& file, uint32_t start,
                       uint32_t end, uint32_t ramAddress, uint32_t& errorFlag) {
    const uint32_t total = end - start;
    const uint32_t fullPackets = total / kPacketPayloadSize;
    const uint32_t rest = total % kPacketPayloadSize;

    // A closed link takes no packets: the transfer fails as a short reply does.
    if (!SendCommand(slot.link, kCmdStartRamDownload, static_cast<uint32_t>(imageKind), fullPackets,
                     0)) {
        errorFlag = 0;
        return kStatusReadError;
    }
    slot.clock.Sleep(Clock::Duration(50));

    const uint32_t step = fullPackets / 100;
    uint32_t lastPercent = 0;
    const auto reportProgress = [&](uint32_t percent) {
        if (percent != lastPercent) {
            slot.dialog.SendSlotStatus(kStatusRamProgress, MakeStatusParam(slot.nSlot, percent));
            lastPercent = percent;
        }
    };

    // The packet is zeroed once; a short last payload leaves older bytes behind it, which
    // carry no meaning on the wire.
    Packet packet{};
    for (uint32_t i = 0; i < fullPackets; ++i) {
        const uint32_t address = ramAddress + i * static_cast<uint32_t>(kPacketPayloadSize);
        const EchoedPacket sent =
            SendDataPacket(slot, packet, file, address, kPacketPayloadSize, i == 0);
        if (sent.outcome == PacketOutcome::SumMismatch) {
            slot.dialog.NoteWrongChecksumAt(slot.nSlot, i + 1);
            AppendFailureLog(slot.dialog, "[EBoot:%d] dwChecksum = %x dwReceivedChecksum = %x\r\n",
                             slot.nSlot, sent.sum, sent.received);
        }
        if (const uint32_t failure = FailureStatus(sent.outcome, errorFlag); failure != 0) {
            return failure;
        }
        reportProgress(Percent(i, step));
    }

    if (rest > 0) {
        const uint32_t address =
            ramAddress + fullPackets * static_cast<uint32_t>(kPacketPayloadSize);
        const EchoedPacket sent = SendDataPacket(
            slot, packet, file, address, rest,
            fullPackets == 0);  // The short last packet's mismatch goes without a log line.
        if (sent.outcome == PacketOutcome::SumMismatch) {
            slot.dialog.NoteWrongChecksumAt(slot.nSlot, fullPackets + 1);
        }
        if (const uint32_t failure = FailureStatus(sent.outcome, errorFlag); failure != 0) {
            return failure;
        }
        reportProgress(Percent(fullPackets, step));
    }
    return 0;
}

}  // namespace vantorel::engine
