#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>

#include "base/clock.h"
#include "emulator/flash_record.h"
#include "emulator/handset_config.h"
#include "emulator/handset_ram.h"
#include "emulator/handset_wire.h"
#include "engine/boot_loader_protocol.h"

namespace vantorel::emulator {

// A handset's boot loader in download mode as the station sees it from the wire, without
// any transport. After arrival it waits for the greeting "ATUD" and answers "OKUD"; from
// then on every message from the station is one 2048-byte packet, answered per command.
//
// One Serve() call is one plugged-in session; the object lives as long as the handset and
// keeps its record, its data-packet count and its greeting count across sessions. Serve()
// runs on one thread at a time; Record() and Inspect() may be called from any thread.
class HandsetEmulator {
public:
    HandsetEmulator(HandsetConfig config, HandsetFaults faults, const Clock& clock);

    HandsetEmulator(const HandsetEmulator&) = delete;
    HandsetEmulator& operator=(const HandsetEmulator&) = delete;

    // Serves one session until it ends, and says why.
    SessionEnd Serve(HandsetWire& wire, std::stop_token stop);

    // Whether a handset whose session ended this way is back on the bus after the reboot
    // delay.
    bool ComesBackAfter(SessionEnd end) const;

    // A copy of the record (in RecordMode::FullBytes that copies every flashed byte).
    FlashRecord Record() const;
    // Looks at the record in place, under its lock.
    void Inspect(const std::function<void(const FlashRecord&)>& look) const;

    const HandsetConfig& Config() const { return m_config; }
    const HandsetFaults& Faults() const { return m_faults; }
    const Clock& GetClock() const { return m_clock; }

private:
    using Packet = engine::Packet;
    using Reply4 = engine::Reply4;

    // What one command leaves behind: the session goes on, or ends for a reason.
    struct Outcome {
        bool bEnded = false;
        SessionEnd end = SessionEnd::WireLost;
    };

    Outcome AwaitGreeting(HandsetWire& wire, std::stop_token stop);
    Outcome OnPacket(HandsetWire& wire, const Packet& packet, std::stop_token stop);
    Outcome OnDataPacket(HandsetWire& wire, const Packet& packet);
    Outcome OnFlashBootLoader(HandsetWire& wire, uint32_t address, uint32_t size, uint32_t sum);
    Outcome OnFlashImage(HandsetWire& wire, uint32_t code, uint32_t position, uint32_t length,
                         uint32_t checkWord, std::stop_token stop);
    Outcome OnNextSmdRange(HandsetWire& wire);
    Outcome OnWriteSmdBlocks(HandsetWire& wire, uint32_t address, uint32_t count,
                             uint32_t firstBlock);

    // RAM offset of a station address and length, when the range lies inside the RAM.
    bool RamRange(uint32_t address, uint64_t length, uint64_t& offset) const;
    FlashedImage CaptureRam(uint64_t offset, uint64_t length) const;

    Outcome Send(HandsetWire& wire, const Reply4& reply);
    Outcome SendWord(HandsetWire& wire, uint32_t value);
    // With bPackReplies, the replies sent from here to Flush go out together.
    void BeginPacked() { m_bPacking = m_config.bPackReplies; }
    Outcome Flush(HandsetWire& wire);

    template <typename Change>
    void Update(Change change) {
        std::lock_guard lock(m_recordMutex);
        change(m_record);
    }

    const HandsetConfig m_config;
    const HandsetFaults m_faults;
    const Clock& m_clock;

    // Session state, touched by the serving thread only.
    HandsetRam m_ram;
    bool m_bBootLoaderFlashed = false;  // since the handset last started
    size_t m_nextSmdRange = 0;
    bool m_bSilent = false;           // hung since HandsetFaults::silentFromCommand came
    uint64_t m_dataPackets = 0;       // over the whole life
    uint64_t m_greetingAttempts = 0;  // over the whole life
    bool m_bPacking = false;
    std::vector<uint8_t> m_packed;  // replies held for one write

    mutable std::mutex m_recordMutex;
    FlashRecord m_record;
};

}  // namespace vantorel::emulator
