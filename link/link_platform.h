#pragma once

#include "base/clock.h"
#include "link/message_sink.h"
#include "link/platform/bulk_device.h"
#include "link/platform/device_directory.h"
#include "link/platform/serial_channel.h"

namespace vantorel::link {

// What a link object needs of the platform beneath it. The program composes it once (real
// Linux devices, or the emulated bench) and hands it to all eight links; it outlives them.
struct LinkPlatform {
    DeviceDirectory& directory;
    SerialOpener& serial;
    BulkOpener& bulk;
    MessageSink& messages;
    const Clock& clock;
};

}  // namespace vantorel::link
