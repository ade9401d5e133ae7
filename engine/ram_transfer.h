#pragma once

#include <cstdint>

#include "base/clock.h"
#include "engine/image_file.h"
#include "engine/slot_status.h"
#include "link/usb_interface.h"

namespace vantorel::engine {

// What every transfer of one slot runs with.
struct SlotContext {
    link::CUsbInterface& link;
    DownloadReporter& dialog;
    int nSlot;
    const Clock& clock;
};

// Sends end − start bytes from the file's current position into handset RAM at ramAddress,
// in data packets whose sums the handset must echo. Returns 0, or 209 (errorFlag 1: the
// file gave fewer bytes; 0: the link was closed, a packet not all written or the handset's
// reply short) or 212 (a sum was not echoed).
uint32_t DownloadToRam(const SlotContext& slot, int32_t imageKind, ImageFile& file, uint32_t start,
                       uint32_t end, uint32_t ramAddress, uint32_t& errorFlag);

}  // namespace vantorel::engine
