// Device arrival and removal, and binding a newly arrived handset to a slot.
#include <QSocketNotifier>

#include "base/text_format.h"
#include "console/color_static_st.h"
#include "console/operator_prompts.h"
#include "console/pda_detect.h"
#include "console/slot_status_text.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "engine/attach_handshake.h"
#include "engine/boot_loader_protocol.h"
#include "engine/slot_port_map.h"

namespace vantorel::console {

bool CVantorelDlg::RegisterDeviceNotifications() {
    if (m_env.hotplug == nullptr) {
        return true;
    }
    int error = 0;
    if (!m_env.hotplug->Start(error)) {
        m_env.prompts.ShowMessage(this,
                                  QString::fromStdString(FormatText(
                                      "HUB RegisterDeviceNotification failed: %d\n", error)),
                                  QStringLiteral("RegisterDeviceNotification"),
                                  OperatorPrompts::Icon::Error);
        return false;
    }
    m_pHotplugNotifier =
        new QSocketNotifier(m_env.hotplug->NotificationFd(), QSocketNotifier::Read, this);
    connect(m_pHotplugNotifier, &QSocketNotifier::activated, this, [this] { OnHotplugReadable(); });
    return true;
}

void CVantorelDlg::OnHotplugReadable() {
    for (const link::DeviceEvent& event : m_env.hotplug->TakeEvents()) {
        OnDeviceChange(event.kind, event.devicePath);
    }
}

int CVantorelDlg::FindDetectSlot(const std::string& name) const {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (engine::SameDeviceName(g_aPdaDetect[slot].DeviceName(), name)) {
            return slot;
        }
    }
    return kSlotCount;
}

void CVantorelDlg::OnDeviceChange(link::DeviceEventKind kind, const std::string& name) {
    if (kind == link::DeviceEventKind::Arrival) {
        AppendMainLog("OnDeviceChange - DBT_DEVICEARRIVAL\r\n");
        const int slot = FindDetectSlot(name);
        if (slot != kSlotCount) {
            g_aPdaDetect[slot].DetectEvent().Set();
            AppendMainLog("PDADetectEvent%d\r\n", slot + 1);
            TrackReconnection(slot);
        }
        if (m_portLearning.IsActive()) {
            // A socket being taught: its handset is not attached.
            LearnPortOf(name);
            RefreshDetectedCount();
            return;
        }
        if (slot == kSlotCount) {
            ReportArrivalDuringRun(name);
        }
        if (m_nDetectedCount < kSlotCount && m_nSlotsLeft > 0) {
            if (m_bDetecting == 0) {
                return;
            }
            AttachHandset(name);
        }
        RefreshDetectedCount();
        return;
    }

    if (m_bDetecting == 0) {
        return;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        link::CUsbInterface& usb = *m_pUsb[slot];
        if (!engine::SameDeviceName(usb.DevicePath(), name) || !usb.IsOpened() ||
            m_aSlotStatus[slot].nState >= SLOT_DOWNLOADING) {
            continue;
        }
        if (!GetDlgItem(kSlotResetIds[slot])->isEnabled()) {
            OnBnClickedResetSlot(slot);
        }
        AppendMainLog("[Setup:%d] PDA Device removed.\r\n", slot + 1);
        m_aSlotStatus[slot].nImageKind = IMG_FINISHED;
        break;
    }
    RefreshDetectedCount();
}

// Detection is off once downloads start, so a handset plugged in then is not attached; the
// operator is told so, or would wait for a slot that never turns green.
void CVantorelDlg::ReportArrivalDuringRun(const std::string& name) {
    if (m_bDetecting != 0 || m_nSlotsLeft == kSlotCount) {
        return;
    }
    const std::optional<std::string> port = engine::PortLocationOf(name);
    AppendMainLog(
        "[Setup] A handset arrived on port %s after the download started: not attached; plug it "
        "in again after Reset All.\r\n",
        port ? port->c_str() : name.c_str());
}

int CVantorelDlg::AttachHandset(const std::string& arrivalName) {
    const int slot = SlotForArrival(arrivalName);
    if (slot < 0) {
        return 0;
    }
    link::CUsbInterface& usb = *m_pUsb[slot];
    const engine::AttachOutcome outcome =
        engine::AttachHandshake(*this, usb, slot, arrivalName, m_bWinUsbMode != 0, m_clock);
    if (!outcome.bAttached) {
        return 0;
    }
    // Everything the handset is asked comes before its slot is taken, so one that hangs
    // leaves the slot as free as a refused greeting does.
    const engine::AttachQueries queries{m_selection.IsSelected(images::IMG_EBOOT),
                                        m_options.m_bSetUgm != 0, m_options.m_bClrUgm != 0};
    if (!engine::QueryGreetedHandset(*this, usb, slot, outcome.nTimeOut, queries, m_clock)) {
        return 0;
    }
    ++m_nDetectedCount;
    m_stackFreeSlots.Remove(slot);  // the top, unless slots follow ports
    AppendSlotLog(slot, "[Setup:%d] PDA Device detected. TimeOut:%d\r\n", slot + 1,
                  outcome.nTimeOut);

    m_aSlotStatus[slot].nState = SLOT_READY;
    m_aSlotStatus[slot].nImageKind = IMG_EBOOT;
    // The slot's event is this handset's from now on. A signal left by an earlier arrival
    // (this very one, when a failed attach had recorded the path) would end the worker's
    // wait after the reboot before the handset has even left the bus.
    g_aPdaDetect[slot].DetectEvent().Reset();
    SetSlotLabelColour(slot, kReadyColour);
    m_prgSlot[slot]->SetWindowText(QStringLiteral("Ready to download..."));
    ShowSlotToObserver(slot);

    if (m_options.m_bStartImmediately != 0 || m_nDetectedCount == kSlotCount) {
        // Posted, so the start runs after this handler has returned.
        QMetaObject::invokeMethod(
            this, [this] { OnStartDownloading(); }, Qt::QueuedConnection);
    } else {
        m_controls.Enable(ctl::kStartDownloading, true);
    }
    return 0;
}

void CVantorelDlg::SetDetectionName(int slot, const std::string& devicePath) {
    g_aPdaDetect[slot].SetDeviceName(devicePath);
}

void CVantorelDlg::SetDeviceName(int slot, const std::string& deviceName) {
    m_strDeviceName[slot] = deviceName;
}

std::string CVantorelDlg::DeviceName(int slot) const {
    return m_strDeviceName[slot];
}

int32_t CVantorelDlg::SlotState(int slot) const {
    return m_aSlotStatus[slot].nState;
}

}  // namespace vantorel::console
