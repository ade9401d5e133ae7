#pragma once

#include <memory>
#include <string>

#include "base/clock.h"
#include "link/platform/device_directory.h"
#include "link/winusb_interface.h"
#include "tools/usb_vm/probe_arguments.h"

namespace vantorel::usb_vm {

// One gadget handset as the probe holds it: the station's bulk link, opened by the attach
// step with no path, and what it recorded.
struct ProbedHandset {
    std::string name;        // the gadget's name, from the device's serial number
    std::string devicePath;  // the path the link recorded
    int slot = 0;
    std::unique_ptr<link::CWinUsbInterface> link;
};

// What a handset's run needs besides its link.
struct ProbeRunContext {
    const ProbeOptions& options;
    link::DeviceDirectory& directory;
    const Clock& clock;
};

}  // namespace vantorel::usb_vm
