#pragma once

#include <array>
#include <mutex>
#include <string>

#include "base/auto_reset_event.h"
#include "console/control_ids.h"

namespace vantorel::console {

// Per slot: the device path the slot's handset was recorded under, and the event that
// wakes the slot's worker when that handset comes back after its reboot. The dialog thread
// and the slot's worker both use it.
class PdaDetect {
public:
    // Back to the state of a freshly reset slot: no path, an unsignalled event named
    // "PDA%d " with the slot number.
    void Reset(int slot);

    void SetDeviceName(const std::string& name);
    std::string DeviceName() const;
    std::string EventName() const;

    AutoResetEvent& DetectEvent() { return m_hDetectEvent; }

private:
    mutable std::mutex m_mutex;
    std::string m_strDeviceName;
    std::string m_strEventName;
    AutoResetEvent m_hDetectEvent;
};

// One entry per slot, for the whole process.
extern std::array<PdaDetect, kSlotCount> g_aPdaDetect;

}  // namespace vantorel::console
