#pragma once

#include <string>
#include <vector>

#include "tools/usb_vm/probe_transfer.h"
#include "tools/usb_vm/probed_handset.h"

namespace vantorel::usb_vm {

struct VictimReport {
    bool bPassed = false;
    std::string failure;
    SteadyClock::duration readEndAfterUnbind{};  // from the unbind to the read's return
};

// Sends the boot loader to a handset that will not echo data packet `victimPacket`. While
// the link's read waits for that echo the gadget is unbound from its controller (the cable
// pulled): the read must then end with 0 bytes within the unplug bound, and the handset must
// leave the directory. The link is closed at the end.
VictimReport RunVictim(ProbedHandset& handset, const std::vector<uint8_t>& eboot,
                       const ProbeRunContext& context);

}  // namespace vantorel::usb_vm
