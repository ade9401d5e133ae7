#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "tools/usb_vm/probe_support.h"
#include "tools/usb_vm/probe_transfer.h"
#include "tools/usb_vm/probed_handset.h"

namespace vantorel::usb_vm {

struct FullRunReport {
    bool bPassed = false;
    std::string failure;
    uint64_t payloadBytes = 0;            // image bytes moved in data packets
    SteadyClock::duration packetTime{};   // spent moving them
    SteadyClock::duration medianWrite{};  // of the boot loader's data packets
    SteadyClock::duration medianEcho{};
    SteadyClock::duration rebootTime{};  // from command 20 until the link is open again
    SteadyClock::duration wholeTime{};
};

// The whole run of one handset: greeting, boot loader to RAM and flash (command 4 and the
// protocol version word after it), reboot (command 20), the link closed and opened again
// by its recorded path once the handset has left and come back, greeting and version
// query, then the modem image (1004) and the CSC image (1005) through RAM and the
// flash-write exchange. The link is closed at the end.
FullRunReport RunFullSequence(ProbedHandset& handset, const ProbeImages& images,
                              const ProbeRunContext& context);

}  // namespace vantorel::usb_vm
