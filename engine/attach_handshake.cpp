#include "engine/attach_handshake.h"

#include <cctype>
#include <cstdarg>

#include "base/text_format.h"
#include "link/platform/device_path.h"

namespace vantorel::engine {

namespace {

constexpr int kAttempts = 4;

// True when another slot holding a handset of this name is ready, downloading or done.
bool BoundElsewhere(const AttachHost& host, int slot, const std::string& name) {
    for (int other = 0; other < kSlotCount; ++other) {
        if (other == slot || !SameDeviceName(host.DeviceName(other), name)) {
            continue;
        }
        const int32_t state = host.SlotState(other);
        if (state != SLOT_WAITING && state != SLOT_FAILED) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool SameDeviceName(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(left[i])) !=
            std::tolower(static_cast<unsigned char>(right[i]))) {
            return false;
        }
    }
    return true;
}

AttachOutcome AttachHandshake(AttachHost& host, link::CUsbInterface& link, int slot,
                              const std::string& arrivalName, bool bWinUsbMode,
                              const Clock& clock) {
    if (bWinUsbMode) {
        host.StopSyncProcesses();
        clock.Sleep(Clock::Duration(400));
    }
    // Only the handset that arrived is opened: the first free one could be a handset left
    // plugged from the last batch, one whose greeting failed, or one on a port bound to no
    // slot, and the new arrival would never be attached. Without a known path (a platform
    // that names no device) the first free handset is all there is.
    const char* const wanted = arrivalName.empty() ? nullptr : arrivalName.c_str();
    for (int left = kAttempts - 1; left >= 0; --left) {
        if (!link.Open(&link::GUID_DEVINTERFACE_DOWNLOAD, slot, wanted)) {
            clock.Sleep(Clock::Duration(50));
            continue;
        }
        // The path recorded is the one opened, so the handset's return after its reboot
        // wakes the slot that holds it.
        host.SetDetectionName(slot, link.DevicePath().empty() ? arrivalName : link.DevicePath());
        const std::string name = link::InstancePartOf(link.DevicePath());
        host.SetDeviceName(slot, name);
        host.AppendSlotLogText(slot,
                               FormatText("[Setup:%d] Device name:%s\r\n", slot + 1, name.c_str()));

        if (BoundElsewhere(host, slot, name)) {
            link.Close();
            host.AppendMainLogText(FormatText(
                "[Error:%id] Another same device Found. TimeOut:%d\r\n", slot + 1, left));
            return {};
        }

        host.AppendMainLogText("SEND ATUD\r\n");
        WriteGreeting(link);
        Reply4 reply{};
        ReadGreetingReply(link, reply);
        host.AppendMainLogText("READ OKUD\r\n");
        if (reply != kReplyOkud) {
            host.AppendMainLogText(
                FormatText("[Error:%d] Not receive OKUD! TimeOut:%d\r\n", slot + 1, left));
            link.Close();
            clock.Sleep(Clock::Duration(50));
            continue;
        }
        host.AppendMainLogText(
            FormatText("[Setup:%d] PDA Device Found! TimeOut:%d\r\n", slot + 1, left));
        clock.Sleep(Clock::Duration(50));
        return {true, left};
    }
    host.AppendSlotLogText(
        slot, FormatText("[Error:%d] USB no ack. Check ActiveSync. TimeOut:%d\r\n", slot + 1, -1));
    return {};
}

bool QueryGreetedHandset(AttachHost& host, link::CUsbInterface& link, int slot, int nTimeOut,
                         const AttachQueries& queries, const Clock& clock) {
    // Each command is written once; its reply is read as the worker reads the greeting's
    // after a reboot.
    const auto exchange = [&](uint32_t code, uint32_t a1, Reply4& reply) {
        SendCommandNoReply(link, code, a1, 0, 0);
        return ReadReplyBounded(link, reply, [&] {
            clock.Sleep(Clock::Duration(20));
            return true;
        });
    };
    const auto silent = [&](const char* what) {
        host.AppendMainLogText(
            FormatText("[Error:%d] No answer to %s. TimeOut:%d\r\n", slot + 1, what, nTimeOut));
        link.Close();
        return false;
    };
    if (queries.bVersion) {
        Reply4 version{};
        if (exchange(kCmdVersionQuery, 0, version) == 0) {
            return silent("the version query");
        }
        host.AppendMainLogText(FormatText("[Setup:%d] Target Device EBOOT version = %c%c%c%c\r\n",
                                          slot + 1, version[3], version[2], version[1],
                                          version[0]));
    }
    const struct {
        bool bWanted;
        uint32_t flag;
    } ugmCommands[] = {{queries.bSetUgm, 1}, {queries.bClrUgm, 0}};
    for (const auto& ugm : ugmCommands) {
        if (!ugm.bWanted) {
            continue;
        }
        Reply4 ignored{};
        if (exchange(kCmdUgmFlag, ugm.flag, ignored) == 0) {
            return silent("the UGM command");
        }
        host.AppendMainLogText(
            FormatText("[UGM:%d] Set UGM:%u\r\n", slot + 1, static_cast<unsigned>(ugm.flag)));
    }
    return true;
}

}  // namespace vantorel::engine
