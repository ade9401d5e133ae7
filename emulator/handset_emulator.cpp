#include "emulator/handset_emulator.h"

#include <algorithm>
#include <utility>

#include "engine/byte_sum.h"

namespace vantorel::emulator {

namespace {

using engine::kPacketHeaderSize;
using engine::kPacketPayloadSize;
using engine::kReplySize;
using engine::LoadLe32;

// One NAND block of 64 pages of 2048 + 64 bytes; command 1016 writes at most 800 of them.
constexpr uint64_t kSmdBlockSize = 135168;
constexpr uint32_t kMaxSmdBlocksPerWrite = 800;

// What the handset answers where it cannot do what was asked, and a refused greeting.
constexpr engine::Reply4 kReplyFail{'F', 'A', 'I', 'L'};
constexpr engine::Reply4 kGreetingRefusal{'N', 'O', 'U', 'D'};

// A reply that certainly differs from what the station expects.
uint32_t Spoiled(uint32_t reply, uint32_t expected) {
    return reply == expected ? expected + 1 : reply;
}

bool IsFlashCommand(uint32_t code) {
    return code == engine::kCmdFlashPdaTurn || code == engine::kCmdFlashPhone ||
           code == engine::kCmdFlashCsc || code == engine::kCmdFlashLangPack;
}

std::string LanguageCodeText(uint32_t word) {
    std::string text;
    for (int shift = 0; shift < 32; shift += 8) {
        const char c = static_cast<char>((word >> shift) & 0xFF);
        if (c == '\0') {
            break;
        }
        text.push_back(c);
    }
    return text;
}

}  // namespace

const char* SessionEndName(SessionEnd end) {
    switch (end) {
        case SessionEnd::WireLost:
            return "wire lost";
        case SessionEnd::Reboot:
            return "reboot";
        case SessionEnd::Launched:
            return "launched";
        case SessionEnd::InjectedUnplug:
            return "injected unplug";
        case SessionEnd::Stopped:
            return "stopped";
    }
    return "?";
}

HandsetEmulator::HandsetEmulator(HandsetConfig config, HandsetFaults faults, const Clock& clock)
    : m_config(std::move(config)),
      m_faults(std::move(faults)),
      m_clock(clock),
      m_ram(m_config.ramCap) {}

bool HandsetEmulator::ComesBackAfter(SessionEnd end) const {
    return end == SessionEnd::Reboot && !m_faults.noReturnAfterReboot;
}

FlashRecord HandsetEmulator::Record() const {
    std::lock_guard lock(m_recordMutex);
    return m_record;
}

void HandsetEmulator::Inspect(const std::function<void(const FlashRecord&)>& look) const {
    std::lock_guard lock(m_recordMutex);
    look(m_record);
}

SessionEnd HandsetEmulator::Serve(HandsetWire& wire, std::stop_token stop) {
    // Every session is a fresh start of the boot loader: RAM is lost, nothing is flashed yet.
    m_bBootLoaderFlashed = false;
    m_nextSmdRange = 0;
    m_bSilent = false;
    m_ram.Clear();
    Update([](FlashRecord& record) { ++record.sessions; });

    const auto finish = [&](const Outcome& outcome) {
        return outcome.end == SessionEnd::WireLost && stop.stop_requested() ? SessionEnd::Stopped
                                                                            : outcome.end;
    };

    Outcome outcome = AwaitGreeting(wire, stop);
    Packet packet{};
    while (!outcome.bEnded) {
        if (!wire.ReadExact(packet.data(), kReplySize, stop)) {
            return finish(Outcome{true, SessionEnd::WireLost});
        }
        // A station that attaches again greets again; "ATUD" is no command code, so a
        // packet can never start with it.
        if (std::equal(engine::kGreeting.begin(), engine::kGreeting.end(), packet.begin())) {
            if (m_bSilent) {
                continue;
            }
            Update([](FlashRecord& record) { ++record.greetings; });
            outcome = Send(wire, engine::kReplyOkud);
            continue;
        }
        if (!wire.ReadExact(packet.data() + kReplySize, packet.size() - kReplySize, stop)) {
            return finish(Outcome{true, SessionEnd::WireLost});
        }
        outcome = OnPacket(wire, packet, stop);
    }
    return finish(outcome);
}

HandsetEmulator::Outcome HandsetEmulator::AwaitGreeting(HandsetWire& wire, std::stop_token stop) {
    Reply4 word{};
    for (;;) {
        if (!wire.ReadExact(word.data(), word.size(), stop)) {
            return {true, SessionEnd::WireLost};
        }
        if (word != engine::kGreeting) {
            continue;  // whatever came before the greeting is not for the boot loader
        }
        const uint64_t attempt = m_greetingAttempts++;
        if (attempt >= m_faults.firstRefusedGreeting &&
            attempt - m_faults.firstRefusedGreeting < m_faults.greetingFailures) {
            Update([](FlashRecord& record) { ++record.greetingsRefused; });
            if (m_faults.greetingFailure == GreetingFailure::WrongAnswer) {
                if (const Outcome sent = Send(wire, kGreetingRefusal); sent.bEnded) {
                    return sent;
                }
            }
            continue;
        }
        Update([](FlashRecord& record) { ++record.greetings; });
        return Send(wire, engine::kReplyOkud);
    }
}

HandsetEmulator::Outcome HandsetEmulator::OnPacket(HandsetWire& wire, const Packet& packet,
                                                   std::stop_token stop) {
    const uint32_t code = LoadLe32(packet.data());
    if (code == engine::kCmdData) {
        return m_bSilent ? Outcome{} : OnDataPacket(wire, packet);
    }
    const uint32_t a1 = LoadLe32(packet.data() + 4);
    const uint32_t a2 = LoadLe32(packet.data() + 8);
    const uint32_t a3 = LoadLe32(packet.data() + 12);
    Update([&](FlashRecord& record) { record.commands.push_back({code, a1, a2, a3}); });
    m_bSilent = m_bSilent || m_faults.silentFromCommand == code;
    if (m_bSilent) {
        return {};
    }

    switch (code) {
        case engine::kCmdLaunch:
            // A new boot loader starts in download mode; otherwise the handset boots its own
            // system and is done with the station.
            if (m_bBootLoaderFlashed) {
                Update([](FlashRecord& record) { ++record.reboots; });
                return {true, SessionEnd::Reboot};
            }
            Update([](FlashRecord& record) { record.launched = true; });
            return {true, SessionEnd::Launched};
        case engine::kCmdReboot:
            Update([](FlashRecord& record) { ++record.reboots; });
            return {true, SessionEnd::Reboot};
        case engine::kCmdFlashEboot:
            return OnFlashBootLoader(wire, a1, a2, a3);
        case engine::kCmdNotifyUpdateImage: {
            Update([&](FlashRecord& record) { record.notify = NotifyRecord{a1, a2, a3}; });
            const Outcome sent = Send(wire, engine::kReplyOkud);
            // Without a boot loader to flash, the opening exchange ends here: the protocol
            // version follows at once instead of after command 4.
            if (sent.bEnded || (a1 & engine::kMaskEboot) != 0) {
                return sent;
            }
            return SendWord(wire, m_config.protocolVersion);
        }
        case engine::kCmdStartRamDownload:
            m_ram.Reserve((uint64_t{a2} + 1) * kPacketPayloadSize);
            return Send(wire, engine::kReplyOkud);
        case engine::kCmdVersionQuery: {
            // The station shows bytes 3, 2, 1, 0, so the text goes in back to front.
            Reply4 version{' ', ' ', ' ', ' '};
            const std::string& text = m_config.bootLoaderVersion;
            for (size_t i = 0; i < version.size() && i < text.size(); ++i) {
                version[version.size() - 1 - i] = static_cast<uint8_t>(text[i]);
            }
            return Send(wire, version);
        }
        case engine::kCmdUgmFlag:
            Update([&](FlashRecord& record) { record.ugmFlags.push_back(a1); });
            return Send(wire, engine::kReplyOkud);
        case engine::kCmdLanguageChoice:
            Update([&](FlashRecord& record) {
                record.languageChoice = LanguageChoiceRecord{a2, LanguageCodeText(a3)};
            });
            return Send(wire, engine::kReplyOkud);
        case engine::kCmdSmdStart:
            m_nextSmdRange = 0;
            return Send(wire, engine::kReplyOkud);
        case engine::kCmdNandFormat:
            if (!m_clock.SleepUnlessStopped(m_config.nandFormatTime, stop)) {
                return {true, SessionEnd::Stopped};
            }
            Update([](FlashRecord& record) { ++record.nandFormats; });
            return Send(wire, engine::kReplyOkud);
        case engine::kCmdNextSmdRange:
            return OnNextSmdRange(wire);
        case engine::kCmdWriteSmdBlocks:
            return OnWriteSmdBlocks(wire, a1, a2, a3);
        default:
            break;
    }
    if (IsFlashCommand(code)) {
        return OnFlashImage(wire, code, a1, a2, a3, stop);
    }
    Update([](FlashRecord& record) { ++record.unknownCommands; });
    return Send(wire, engine::kReplyOkud);
}

HandsetEmulator::Outcome HandsetEmulator::OnDataPacket(HandsetWire& wire, const Packet& packet) {
    const uint64_t index = m_dataPackets++;
    Update([&](FlashRecord& record) { record.dataPackets = m_dataPackets; });
    if (m_faults.unplugAtPacket == index) {
        return {true, SessionEnd::InjectedUnplug};
    }
    if (m_faults.missingReplyAtPacket == index) {
        return {};
    }

    const uint32_t address = LoadLe32(packet.data() + 4);
    const uint32_t length = LoadLe32(packet.data() + 8);
    const uint32_t sum = LoadLe32(packet.data() + 12);
    const uint8_t* payload = packet.data() + kPacketHeaderSize;
    uint32_t echo = ~sum;  // a length that does not fit the packet is never accepted
    if (length <= kPacketPayloadSize) {
        const uint32_t computed = engine::ByteSum(payload, length);
        uint64_t offset = 0;
        const bool stored = computed == sum && RamRange(address, length, offset) &&
                            m_ram.Write(offset, payload, length);
        // A payload that fits the packet but not the RAM is refused like a corrupt one.
        echo = stored || computed != sum ? computed : ~sum;
    }
    if (m_faults.wrongSumAtPacket == index) {
        echo = Spoiled(echo, sum);
    }
    if (m_faults.shortReplyAtPacket == index) {
        uint8_t word[kReplySize];
        engine::StoreLe32(word, echo);
        return wire.Write(word, 2) ? Outcome{} : Outcome{true, SessionEnd::WireLost};
    }
    return SendWord(wire, echo);
}

HandsetEmulator::Outcome HandsetEmulator::OnFlashBootLoader(HandsetWire& wire, uint32_t address,
                                                            uint32_t size, uint32_t sum) {
    uint64_t offset = 0;
    const bool inRam = RamRange(address, size, offset);
    uint32_t reply = inRam ? m_ram.Sum(offset, size) : ~sum;
    if (m_faults.wrongFirstFlashReply.contains(engine::kCmdFlashEboot)) {
        reply = Spoiled(reply, sum);
    }
    BeginPacked();
    if (const Outcome sent = SendWord(wire, reply); sent.bEnded) {
        return sent;
    }
    if (inRam) {
        FlashedImage image = CaptureRam(offset, size);
        Update([&](FlashRecord& record) { record.eboot = std::move(image); });
        m_bBootLoaderFlashed = true;
    }
    if (const Outcome sent = SendWord(wire, m_config.protocolVersion); sent.bEnded) {
        return sent;
    }
    return Flush(wire);
}

HandsetEmulator::Outcome HandsetEmulator::OnFlashImage(HandsetWire& wire, uint32_t code,
                                                       uint32_t position, uint32_t length,
                                                       uint32_t checkWord, std::stop_token stop) {
    // Flash images are written from the start of the download RAM.
    const bool inRam = m_ram.Holds(0, length);
    uint32_t reply = ~checkWord;
    if (inRam) {
        // The phone and CSC replies are computed from RAM, so a transfer fault shows up.
        const bool sumOfRam = code == engine::kCmdFlashPhone || code == engine::kCmdFlashCsc;
        reply = sumOfRam ? m_ram.Sum(0, length) : checkWord;
    }
    if (m_faults.wrongFirstFlashReply.contains(code)) {
        reply = Spoiled(reply, checkWord);
    }
    if (const Outcome sent = SendWord(wire, reply); sent.bEnded || !inRam) {
        return sent.bEnded ? sent : Send(wire, kReplyFail);
    }

    const auto stall = m_faults.flashProgressStallAfter.find(code);
    const size_t stepsBeforeStall = stall == m_faults.flashProgressStallAfter.end()
                                        ? m_config.flashProgress.size() + 1
                                        : stall->second;
    BeginPacked();
    for (size_t step = 0; step < m_config.flashProgress.size(); ++step) {
        if (step == stepsBeforeStall) {
            return Flush(wire);  // the flash never finishes; the handset stays silent
        }
        if (!m_clock.SleepUnlessStopped(m_config.flashStepTime, stop)) {
            m_bPacking = false;
            m_packed.clear();
            return {true, SessionEnd::Stopped};
        }
        const Reply4 progress{'O', 'K', 'U', m_config.flashProgress[step]};
        if (const Outcome sent = Send(wire, progress); sent.bEnded) {
            return sent;
        }
    }
    if (stepsBeforeStall == m_config.flashProgress.size()) {
        return Flush(wire);
    }

    FlashedImage image = CaptureRam(0, length);
    Update([&](FlashRecord& record) {
        switch (code) {
            case engine::kCmdFlashPdaTurn:
                record.pdaTurns.push_back({position, length, checkWord, std::move(image)});
                break;
            case engine::kCmdFlashPhone:
                record.phone = std::move(image);
                break;
            case engine::kCmdFlashCsc:
                record.csc = std::move(image);
                break;
            default:
                record.langPack = std::move(image);
                break;
        }
    });
    if (const Outcome sent = Send(wire, engine::kReplyOkdn); sent.bEnded) {
        return sent;
    }
    const Reply4& done =
        m_faults.wrongFlashDoneReply.contains(code) ? kReplyFail : engine::kReplyOkud;
    if (const Outcome sent = Send(wire, done); sent.bEnded) {
        return sent;
    }
    return Flush(wire);
}

HandsetEmulator::Outcome HandsetEmulator::OnNextSmdRange(HandsetWire& wire) {
    if (m_nextSmdRange >= m_config.smdRanges.size()) {
        return Send(wire, engine::kReplyOkud);
    }
    const SmdRange range = m_config.smdRanges[m_nextSmdRange++];
    BeginPacked();
    if (const Outcome sent = SendWord(wire, range.startBlock); sent.bEnded) {
        return sent;
    }
    if (const Outcome sent = SendWord(wire, range.blockCount); sent.bEnded) {
        return sent;
    }
    return Flush(wire);
}

HandsetEmulator::Outcome HandsetEmulator::OnWriteSmdBlocks(HandsetWire& wire, uint32_t address,
                                                           uint32_t count, uint32_t firstBlock) {
    uint64_t offset = 0;
    if (count > kMaxSmdBlocksPerWrite || !RamRange(address, count * kSmdBlockSize, offset)) {
        return Send(wire, kReplyFail);
    }
    std::vector<std::pair<uint32_t, FlashedImage>> blocks;
    blocks.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        blocks.emplace_back(firstBlock + i, CaptureRam(offset + i * kSmdBlockSize, kSmdBlockSize));
    }
    Update([&](FlashRecord& record) {
        for (auto& [block, image] : blocks) {
            record.smdBlocks[block] = std::move(image);
        }
    });
    return Send(wire, engine::kReplyOkud);
}

bool HandsetEmulator::RamRange(uint32_t address, uint64_t length, uint64_t& offset) const {
    if (address < m_config.downloadBase) {
        return false;
    }
    offset = address - m_config.downloadBase;
    return m_ram.Holds(offset, length);
}

FlashedImage HandsetEmulator::CaptureRam(uint64_t offset, uint64_t length) const {
    FlashedImage image;
    image.length = length;
    const bool keepBytes = m_config.recordMode == RecordMode::FullBytes;
    if (keepBytes) {
        image.bytes.reserve(static_cast<size_t>(length));
    }
    FlashDigest digest;
    uint32_t sum = 0;
    m_ram.Read(offset, length, [&](const uint8_t* data, size_t count) {
        digest.Update(data, count);
        sum = engine::ByteSumContinue(sum, data, count);
        if (keepBytes) {
            image.bytes.insert(image.bytes.end(), data, data + count);
        }
    });
    image.byteSum = sum;
    image.digest = digest.Final();
    return image;
}

HandsetEmulator::Outcome HandsetEmulator::Send(HandsetWire& wire, const Reply4& reply) {
    if (m_bPacking) {
        m_packed.insert(m_packed.end(), reply.begin(), reply.end());
        return {};
    }
    return wire.Write(reply.data(), reply.size()) ? Outcome{} : Outcome{true, SessionEnd::WireLost};
}

HandsetEmulator::Outcome HandsetEmulator::Flush(HandsetWire& wire) {
    m_bPacking = false;
    std::vector<uint8_t> packed;
    packed.swap(m_packed);
    if (packed.empty() || wire.Write(packed.data(), packed.size())) {
        return {};
    }
    return {true, SessionEnd::WireLost};
}

HandsetEmulator::Outcome HandsetEmulator::SendWord(HandsetWire& wire, uint32_t value) {
    Reply4 reply{};
    engine::StoreLe32(reply.data(), value);
    return Send(wire, reply);
}

}  // namespace vantorel::emulator
