#pragma once

#include <filesystem>

#include "base/clock.h"
#include "link/platform/bulk_device.h"
#include "link/platform/device_directory.h"
#include "link/platform/hotplug_monitor.h"
#include "link/platform/serial_channel.h"

namespace vantorel::console {

class OperatorPrompts;
class SyncServiceController;

// What the program hands the main dialog: the platform beneath the links, the protocol
// clock, the host's competing programs and the operator's boxes. Everything referenced
// outlives the dialog.
struct ConsoleEnvironment {
    link::DeviceDirectory& directory;
    link::SerialOpener& serial;
    link::BulkOpener& bulk;
    // True when the platform offers the bulk pipes (the USB library is up); the dialog then
    // drives every slot through the bulk link, else through the serial-style link.
    bool bBulkLinkOffered;
    Clock clock;
    SyncServiceController& sync;
    OperatorPrompts& prompts;
    // Arrivals and removals of handsets; none means the dialog notices none.
    link::HotplugMonitor* hotplug;
    // Where each batch leaves its logs and report on disk; empty: no records.
    std::filesystem::path recordsRoot{};
    // Where the operator's settings are kept across runs (whether slots follow ports, the
    // port map); empty: they last as long as the dialog.
    std::filesystem::path settingsFile{};
};

}  // namespace vantorel::console
