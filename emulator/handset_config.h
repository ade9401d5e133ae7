#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/clock.h"

namespace vantorel::emulator {

// One range that command 1015 hands out: where the next SMD blocks go, and how many.
struct SmdRange {
    uint32_t startBlock = 0;
    uint32_t blockCount = 0;
    friend bool operator==(const SmdRange&, const SmdRange&) = default;
};

// What the flash record keeps of each flashed image.
enum class RecordMode {
    FullBytes,  // every byte, for tests that compare with image files
    Digest,     // length, byte sum and SHA-256, for benchmarks with hundreds of MB
};

// How the emulated boot loader behaves when nothing goes wrong.
struct HandsetConfig {
    uint32_t protocolVersion = 24;                    // the word sent after command 4
    std::string bootLoaderVersion = "T4K9";           // shown by the station for command 13
    std::vector<uint8_t> flashProgress{10, 55, 100};  // the "OKU"+p steps of a flash write
    Clock::Duration flashStepTime{0};                 // flash work before each progress step
    Clock::Duration nandFormatTime{0};                // command 1014 answers after this
    Clock::Duration rebootDelay{1500};  // off the bus between a reboot and the re-arrival
    std::vector<SmdRange> smdRanges;    // handed out in order by command 1015
    // RAM address of RAM offset 0. The station downloads to its image record's download
    // address, which is 0 unless the image set says otherwise.
    uint32_t downloadBase = 0;
    // RAM never grows past this: a PDA turn of up to 100 MB or 800 SMD blocks fit.
    size_t ramCap = 128u << 20;
    RecordMode recordMode = RecordMode::FullBytes;
    // Replies that belong together go out as one write, so one USB packet carries them: both
    // words of command 1015, command 4's sum with the version word behind it, and a flash
    // write's "OKU" steps with its "OKDN" and "OKUD". Off: one write per reply.
    bool bPackReplies = false;
};

// What a wrong first word of the greeting looks like.
enum class GreetingFailure {
    Silent,       // no answer at all
    WrongAnswer,  // 4 bytes that are not "OKUD"
};

// Faults to inject. Data packets are counted over the handset's whole life, reboots
// included, starting at 0; each packet fault fires once, at that packet.
struct HandsetFaults {
    std::optional<uint64_t> wrongSumAtPacket;      // echo a sum that differs
    std::optional<uint64_t> shortReplyAtPacket;    // echo only 2 bytes
    std::optional<uint64_t> missingReplyAtPacket;  // echo nothing
    std::optional<uint64_t> unplugAtPacket;        // leave the bus for good instead of echoing
    // Flash commands (4, 1001, 1004, 1005, 1006) whose first reply is wrong, every time.
    std::set<uint32_t> wrongFirstFlashReply;
    // Flash commands whose progress stops for good after this many "OKU" steps.
    std::map<uint32_t, size_t> flashProgressStallAfter;
    // Flash commands (1001, 1004, 1005, 1006) whose closing "OKUD" after "OKDN" is a wrong
    // word, every time: the flash is done but reported as not complete.
    std::set<uint32_t> wrongFlashDoneReply;
    // Greetings are counted over the handset's life from 0: `greetingFailures` of them,
    // from number `firstRefusedGreeting` on, get no "OKUD". With the default 0 these are the
    // first greetings; with 1 the attach succeeds and the greetings after a reboot fail.
    uint32_t greetingFailures = 0;
    uint64_t firstRefusedGreeting = 0;
    GreetingFailure greetingFailure = GreetingFailure::Silent;
    // After its first reboot the handset leaves the bus and does not come back.
    bool noReturnAfterReboot = false;
    // A boot loader that hangs: from the first command with this code on it reads on but
    // answers nothing, greetings included, until the session ends.
    std::optional<uint32_t> silentFromCommand;
};

// Why one plugged-in session ended.
enum class SessionEnd {
    WireLost,        // the cable was pulled or the pseudo-terminal went away
    Reboot,          // restarts in download mode: off the bus, then back on the same port
    Launched,        // booted the handset's own system: gone from the bus for good
    InjectedUnplug,  // a fault took the handset off the bus for good
    Stopped,         // the owner asked the session to stop
};

const char* SessionEndName(SessionEnd end);

}  // namespace vantorel::emulator
