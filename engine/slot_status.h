#pragma once

#include <cstdint>
#include <string_view>

namespace vantorel::engine {

// The status codes a download run reports to the console (WM_SLOT_STATUS).
inline constexpr uint32_t WM_SLOT_STATUS = 0x0400 + 0x4D7;  // WM_USER + 0x4D7 = 2263

inline constexpr uint32_t kStatusEbootInRam = 202;
inline constexpr uint32_t kStatusRamProgress = 204;
inline constexpr uint32_t kStatusImageInRam = 205;
inline constexpr uint32_t kStatusFlashProgress = 206;
inline constexpr uint32_t kStatusReadError = 209;
inline constexpr uint32_t kStatusFlashFailed = 210;
inline constexpr uint32_t kStatusChecksumMismatch = 212;
inline constexpr uint32_t kStatusRebooting = 215;
inline constexpr uint32_t kStatusRebootFailed = 216;
inline constexpr uint32_t kStatusWaitingForBoot = 217;
inline constexpr uint32_t kStatusFinished = 518;

// lParam of a notification: the value in the high 16 bits, the slot in the low 16 bits.
constexpr uint32_t MakeStatusParam(int slot, uint32_t value) {
    return (value << 16) | (static_cast<uint32_t>(slot) & 0xFFFFu);
}
constexpr int StatusSlot(uint32_t lParam) {
    return static_cast<int>(lParam & 0xFFFFu);
}
constexpr uint32_t StatusValue(uint32_t lParam) {
    return lParam >> 16;
}

// The console's side of a download run, as the engine sees it. The dialog implements it.
class DownloadReporter {
public:
    virtual ~DownloadReporter() = default;

    // Delivers one status notification and returns once the console has handled it.
    virtual void SendSlotStatus(uint32_t code, uint32_t lParam) = 0;
    // Appends one formatted line to the main log; safe from any thread.
    virtual void AppendMainLogText(std::string_view text) = 0;
    // Appends a line to the main log that says why the slot is failing: the console shows
    // the slot's failure with it, and with no other line the worker logged.
    virtual void AppendFailureLogText(std::string_view text) { AppendMainLogText(text); }
    // The handset echoed a wrong checksum for data packet `packet` (1-based) of the image
    // being sent; a checksum failure status follows.
    virtual void NoteWrongChecksumAt(int /*slot*/, uint32_t /*packet*/) {}
};

// printf-style append to the main log.
void AppendMainLog(DownloadReporter& reporter, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// printf-style append of a line that says why the slot is failing.
void AppendFailureLog(DownloadReporter& reporter, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace vantorel::engine
