#pragma once

#include <string>
#include <string_view>

#include "base/clock.h"
#include "engine/boot_loader_protocol.h"
#include "link/usb_interface.h"

namespace vantorel::engine {

// Slot states, as the console keeps them per slot.
enum SlotState : int32_t {
    SLOT_WAITING = 0,
    SLOT_READY = 1,
    SLOT_DOWNLOADING = 2,
    SLOT_DONE = 3,
    SLOT_FAILED = 4,
};

// The console as the attach handshake sees it; called on the dialog thread only.
class AttachHost {
public:
    virtual ~AttachHost() = default;

    virtual int StopSyncProcesses() = 0;
    virtual void AppendMainLogText(std::string_view text) = 0;
    virtual void AppendSlotLogText(int slot, std::string_view text) = 0;
    // The device path recorded for the slot's detection (g_aPdaDetect).
    virtual void SetDetectionName(int slot, const std::string& devicePath) = 0;
    // The slot's device name: the instance part of its link's path.
    virtual void SetDeviceName(int slot, const std::string& deviceName) = 0;
    virtual std::string DeviceName(int slot) const = 0;
    virtual int32_t SlotState(int slot) const = 0;
};

struct AttachOutcome {
    bool bAttached = false;
    int nTimeOut = -1;  // attempts left after the one that succeeded (3..0)
};

inline constexpr int kSlotCount = 8;

// Binds the handset that just arrived (the device at `arrivalName`; the first free one when
// that is empty) to `slot`: up to four attempts to open the link, name
// the device, refuse a handset already bound to an active slot, and greet the boot loader.
// On success the link stays open for the worker.
AttachOutcome AttachHandshake(AttachHost& host, link::CUsbInterface& link, int slot,
                              const std::string& arrivalName, bool bWinUsbMode, const Clock& clock);

// What the attach asks a greeted handset before its slot is taken.
struct AttachQueries {
    bool bVersion = false;  // command 13, when a boot-loader image is chosen
    bool bSetUgm = false;   // command 100 with 1
    bool bClrUgm = false;   // command 100 with 0, after the one above when both are set
};

// Asks the greeted handset what `queries` says and logs its answers. This runs on the
// dialog thread, so no reply is waited for without a bound (ReadReplyBounded): when the
// handset stays silent the failure goes to the main log, the link is closed and false comes
// back (the slot stays free, as after a refused greeting). `nTimeOut` is the handshake's.
bool QueryGreetedHandset(AttachHost& host, link::CUsbInterface& link, int slot, int nTimeOut,
                         const AttachQueries& queries, const Clock& clock);

// True when both names are equal without regard to case.
bool SameDeviceName(std::string_view left, std::string_view right);

}  // namespace vantorel::engine
