#pragma once

#include <algorithm>
#include <chrono>

#include "base/clock.h"
#include "link/usb_interface.h"

namespace vantorel::link {

// The real time a read that does not wait for a reply may take, in `passes` equal passes:
// `protocolTime` on the link's clock each, and kShortestNoWaitRead in all at the least. Both
// links read the greeting this way.
inline std::chrono::nanoseconds NoWaitReadTime(const Clock& clock, Clock::Duration protocolTime,
                                               int passes = 1) {
    return std::max<std::chrono::nanoseconds>(clock.ToReal(protocolTime),
                                              kShortestNoWaitRead / passes);
}

}  // namespace vantorel::link
