#include "console/pda_detect.h"

#include "base/text_format.h"

namespace vantorel::console {

std::array<PdaDetect, kSlotCount> g_aPdaDetect;

void PdaDetect::Reset(int slot) {
    {
        std::lock_guard lock(m_mutex);
        m_strDeviceName.clear();
        m_strEventName = FormatText("PDA%d ", slot);
    }
    m_hDetectEvent.Reset();
}

void PdaDetect::SetDeviceName(const std::string& name) {
    std::lock_guard lock(m_mutex);
    m_strDeviceName = name;
}

std::string PdaDetect::DeviceName() const {
    std::lock_guard lock(m_mutex);
    return m_strDeviceName;
}

std::string PdaDetect::EventName() const {
    std::lock_guard lock(m_mutex);
    return m_strEventName;
}

}  // namespace vantorel::console
