#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "engine/slot_status.h"
#include "link/usb_interface.h"

namespace vantorel::engine {

using link::CUsbInterface;

// Every command or data packet is one 2048-byte block; every reply is 4 bytes. All numbers
// on the wire are 32-bit little-endian.
inline constexpr size_t kPacketSize = 2048;
inline constexpr size_t kPacketHeaderSize = 16;
inline constexpr size_t kPacketPayloadSize = kPacketSize - kPacketHeaderSize;  // 2032
inline constexpr size_t kReplySize = 4;

using Packet = std::array<uint8_t, kPacketSize>;
using Reply4 = std::array<uint8_t, kReplySize>;

enum BootLoaderCommand : uint32_t {
    kCmdData = 1,
    kCmdLaunch = 2,
    kCmdFlashEboot = 4,
    kCmdNotifyUpdateImage = 5,  // EBOOT_COMMAND_NOTIFY_UPDATE_IMAGE
    kCmdStartRamDownload = 7,
    kCmdVersionQuery = 13,
    kCmdReboot = 20,  // boot loaders of protocol version 18 and later
    kCmdUgmFlag = 100,
    kCmdFlashPdaTurn = 1001,
    kCmdFlashPhone = 1004,
    kCmdFlashCsc = 1005,
    kCmdFlashLangPack = 1006,
    kCmdLanguageChoice = 1007,
    kCmdSmdStart = 1013,
    kCmdNandFormat = 1014,
    kCmdNextSmdRange = 1015,
    kCmdWriteSmdBlocks = 1016,
};

inline constexpr uint32_t kLaunchAddress = 0x80028000;

// Image mask bits of command 5.
inline constexpr uint32_t kMaskEboot = 0x01;
inline constexpr uint32_t kMaskPda = 0x02;
inline constexpr uint32_t kMaskCsc = 0x04;
inline constexpr uint32_t kMaskLangPack = 0x10;
inline constexpr uint32_t kMaskLargeEboot = 0x40;

inline constexpr Reply4 kGreeting{'A', 'T', 'U', 'D'};
inline constexpr Reply4 kReplyOkud{'O', 'K', 'U', 'D'};
inline constexpr Reply4 kReplyOkdn{'O', 'K', 'D', 'N'};
inline constexpr Reply4 kReplyPreset{'H', 'E', 'R', 'A'};

inline uint32_t LoadLe32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
inline void StoreLe32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}
inline uint32_t ReplyValue(const Reply4& reply) {
    return LoadLe32(reply.data());
}

// A 4-character language code ("0409") as the little-endian word of command 1007: the
// characters in order, missing ones zero.
uint32_t LanguageCodeWord(std::string_view code);

// A whole command block: code and three arguments, every other byte zero.
void BuildCommandPacket(Packet& packet, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3);

// The payload area of a data packet, where the caller puts up to 2032 bytes.
inline uint8_t* PayloadOf(Packet& packet) {
    return packet.data() + kPacketHeaderSize;
}

// Completes a data packet whose payload is already in place: writes the header (code 1,
// RAM address, length, sum) and returns the payload's sum.
uint32_t SealDataPacket(Packet& packet, uint32_t ramAddress, uint32_t payloadLength);

// Bits of command 5's option word that make the handset erase before it answers.
inline constexpr uint32_t kEraseWorkBits = 0x8000007F;

// How long the handset may work on a command before its reply comes: the silence bound, and
// longer for what legitimately takes long (a NAND format, erasing, an SMD block write), so
// a healthy handset is never failed as a silent one.
Clock::Duration ReplyBoundOf(uint32_t code, uint32_t a3);

// The reply bound of one command on a link, for as long as the scope lives.
class CommandReplyBound {
public:
    CommandReplyBound(CUsbInterface& link, uint32_t code, uint32_t a3);
    ~CommandReplyBound();
    CommandReplyBound(const CommandReplyBound&) = delete;
    CommandReplyBound& operator=(const CommandReplyBound&) = delete;

private:
    CUsbInterface& m_link;
};

// False if the link is not open; else writes the command and, unless the code is 2 or 20,
// reads and ignores one 4-byte reply.
bool SendCommand(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3);
// As SendCommand, for a command whose reply must come: the count of reply bytes read (0
// when the link is not open or the handset stayed silent).
uint32_t SendCommandForReply(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2,
                             uint32_t a3);
// As SendCommand, without any read.
bool SendCommandNoReply(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3);
// True when the 4-byte reply, little-endian, equals a3; `received` (when given) gets the reply.
bool SendCommandCheck(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3,
                      uint32_t* received = nullptr);
// Writes and reads one reply; always false (its callers ignore the result).
bool SendBlockWrite(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3);
// One blocking read of 4 bytes into `reply`; bytes not received keep their previous value.
uint32_t ReadReply4(CUsbInterface& link, Reply4& reply);

// The greeting's two halves; the retry rules around them belong to the callers.
uint32_t WriteGreeting(CUsbInterface& link);
// Reads the answer without waiting for ever (bWait false).
uint32_t ReadGreetingReply(CUsbInterface& link, Reply4& reply);

// Command 13 (the whole block zeroed beyond the code), then a blocking read of 4 bytes.
uint32_t QueryBootLoaderVersion(CUsbInterface& link, Reply4& version);
// A reply read that gives up: up to four reads without waiting for ever (bWait false), with
// `pause` between them, until bytes arrive. A late answer to one read is taken by the next,
// so a busy handset is not taken for a silent one. The count of bytes read; 0 when none came
// or `pause` returned false (a stop request).
uint32_t ReadReplyBounded(CUsbInterface& link, Reply4& reply, const std::function<bool()>& pause);
// The version as the station shows it: bytes 3, 2, 1, 0.
std::string BootLoaderVersionText(const Reply4& version);

// The flash-write exchange of commands 1001, 1004, 1005 and 1006: 0 on success, 1 on failure.
// A full PDA turn (command 1001 with a length of at least `pdaSectorSize`) does not check
// its first reply. Progress goes out as status 206, failure as status 210.
int FlashWrite(CUsbInterface& link, uint32_t code, uint32_t a1, uint32_t a2, uint32_t a3,
               DownloadReporter& dialog, int nSlot, const Clock& clock, uint32_t pdaSectorSize);

}  // namespace vantorel::engine
