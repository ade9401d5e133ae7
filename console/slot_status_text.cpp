#include "console/slot_status_text.h"

#include <algorithm>

#include "base/text_format.h"
#include "engine/download_batch.h"
#include "engine/slot_status.h"

namespace vantorel::console {

namespace {

using namespace vantorel::engine;

int CappedPercent(uint32_t value) {
    return static_cast<int>(std::min<uint32_t>(value, 100));
}

std::string RamProgressText(int percent, const StatusContext& c) {
    switch (c.nImageKind) {
        case IMG_EBOOT:
            return FormatText("Downloading eBoot to ram... %d%%", percent);
        case IMG_PDA:
            return FormatText("Downloading PDA to ram... %d%%(%d/%d)", percent, c.nTurn,
                              c.nTurnTotal);
        case IMG_CSC:
            return FormatText("Downloading CSC to ram... %d%%", percent);
        case IMG_LANGPACK:
            return FormatText("Downloading LANGPACK to ram... %d%%", percent);
        case IMG_PHONE:
            return FormatText("Downloading Phone to ram... %d%%", percent);
        case IMG_SMD:
            return FormatText("Downloading SMD Image to ram... %d%%", percent);
        default:
            return FormatText("Downloading Image to ram %d%% (%d/%d)", percent, c.nPartIndex + 1,
                              c.nTurnTotal);
    }
}

std::string FlashProgressText(int percent, const StatusContext& c) {
    switch (c.nImageKind) {
        case IMG_PHONE:
            return FormatText("Writing Phone to flash %d%%", percent);
        case IMG_CSC:
            return FormatText("Writing CSC to flash %d%%", percent);
        case IMG_LANGPACK:
            return FormatText("Writing LANGPACK to flash %d%%", percent);
        default:
            return FormatText("Writing PDA to flash %d%%(%d/%d)", percent, c.nTurn, c.nTurnTotal);
    }
}

std::string FlashFailedText(int percent, int32_t kind) {
    switch (kind) {
        case IMG_PHONE:
            return FormatText("[FAIL] Writing Phone to flash %d%%", percent);
        case IMG_CSC:
            return FormatText("[FAIL] Writing CSC to flash %d%%", percent);
        case IMG_LANGPACK:
            return FormatText("[FAIL] Writing LANGPACK to flash %d%%", percent);
        default:
            return FormatText("[FAIL] Writing PDA to flash %d%%", percent);
    }
}

std::string ChecksumFailedText(int32_t kind) {
    switch (kind) {
        case IMG_EBOOT:
            return "[FAIL] Eboot Checksum !!";
        case IMG_PHONE:
            return "[FAIL] Phone Checksum !!";
        case IMG_CSC:
            return "[FAIL] CSC Checksum !!";
        case IMG_LANGPACK:
            return "[FAIL] LANGPACK Checksum !!";
        default:
            return "[FAIL] PDA Checksum !!";
    }
}

std::string ReadErrorText(uint32_t value, int32_t kind) {
    const bool fromFile = value == 1;
    if (kind == IMG_EBOOT) {
        return fromFile ? "[FAIL] EBOOT read error from file" : "[FAIL] EBOOT read error from usb";
    }
    return fromFile ? "[FAIL] read error from file" : "[FAIL] read error from usb";
}

}  // namespace

StatusAction DescribeSlotStatus(uint32_t code, uint32_t value, const StatusContext& context) {
    StatusAction action;
    switch (code) {
        case kStatusEbootInRam:
            action.strText = "Writing eboot to flash ...";
            action.barPos = 100;
            break;
        case kStatusRamProgress:
            action.strText = RamProgressText(CappedPercent(value), context);
            action.barPos = CappedPercent(value);
            break;
        case kStatusImageInRam:
            action.strText = "Calculating checksum ...";
            break;
        case kStatusFlashProgress:
            action.strText = FlashProgressText(CappedPercent(value), context);
            action.barPos = CappedPercent(value);
            break;
        case kStatusReadError:
            action.strText = ReadErrorText(value, context.nImageKind);
            action.bFailed = true;
            break;
        case kStatusFlashFailed:
            action.strText = FlashFailedText(static_cast<int>(value), context.nImageKind);
            action.bFailed = true;
            break;
        case kStatusChecksumMismatch:
            action.strText = ChecksumFailedText(context.nImageKind);
            action.bFailed = true;
            break;
        case kStatusRebooting:
            action.strText = "Try downloading again";
            break;
        case kStatusRebootFailed:
            action.strText = "Reboot failed";
            action.bFailed = true;
            break;
        case kStatusWaitingForBoot:
            action.strText = "Waiting for booting process....";
            break;
        case kStatusFinished:
            action.strText = FormatText("Job Done.%s", value == 0 ? "Launched!!" : "");
            action.barPos = 100;
            action.bFinished = true;
            break;
        default:
            break;
    }
    return action;
}

std::string SlotLabelCaption(int slot, int32_t imageKind) {
    const int n = slot + 1;
    switch (imageKind) {
        case IMG_PDA:
            return FormatText("PDA %d", n);
        case IMG_CSC:
            return FormatText("CSC %d", n);
        case IMG_LANGPACK:
            return FormatText("LANGPACK %d", n);
        case IMG_PHONE:
            return FormatText("PHONE %d", n);
        default:
            return FormatText("OK %d", n);
    }
}

std::string DetectedCountText(int count) {
    return FormatText("Currently %d device(s) detected.", count);
}

}  // namespace vantorel::console
