#pragma once

#include <string>

#include "emulator/handset_runner.h"
#include "link/platform/emulated/emulated_bus.h"

namespace vantorel::emulator {

// An emulated handset on a port of the in-process bus ("1-3"). Its device path is the bus's
// path for that port, the same after every reboot. The bus must outlive it.
class BusHandset : public HandsetRunner {
public:
    BusHandset(link::emulated::EmulatedBus& bus, std::string portPath, const Clock& clock,
               HandsetConfig config = {}, HandsetFaults faults = {});

    const std::string& PortPath() const { return m_portPath; }
    std::string DevicePath() const;

private:
    const std::string m_portPath;
};

}  // namespace vantorel::emulator
