// "Detect" and the option check boxes that act at once.
#include <QAbstractButton>

#include "console/operator_prompts.h"
#include "console/string_resource.h"
#include "console/vantorel_dlg.h"
#include "engine/attach_handshake.h"
#include "engine/download_batch.h"
#include "link/interface_class.h"
#include "resources/string_table.h"

namespace vantorel::console {

namespace {
constexpr uint32_t kBytesPerMegabyte = 1048576;
}  // namespace

void CVantorelDlg::OnBnClickedDetect() {
    UpdateData(true);
    // Refused before anything is armed or logged: the operator corrects the value and
    // presses Detect again.
    if (m_options.m_bControlSector != 0 && !IsRamSectorMbInRange(m_options.m_strRamSectorMb)) {
        m_env.prompts.ShowMessage(this, QString::fromLatin1(kRamSectorRangeText),
                                  StringResource(resources::IDS_APP_TITLE),
                                  OperatorPrompts::Icon::Warning);
        return;
    }
    StopPortLearning();
    StartBatchRecords();
    AppendMainLog(m_bWinUsbMode != 0 ? "[Setup] Windows Vista \r\n" : "[Setup] Windows XP \r\n");
    if (m_options.m_bControlSector != 0) {
        AppendMainLog("[Setup] Download PDA Ram Sector Size :%s MB \r\n",
                      m_options.m_strRamSectorMb.c_str());
    } else {
        AppendMainLog("[Setup] Download PDA Ram Sector Size :%d MB \r\n",
                      static_cast<int>(engine::g_dwPdaSectorSize.load() / kBytesPerMegabyte));
    }
    if (m_options.m_bSlotsFollowPorts != 0) {
        AppendMainLog("[Setup] Slots follow ports: %d port(s) bound.\r\n", m_portMap.BoundCount());
    }
    m_dwEraseNvCase = BuildEraseNvCase(m_options);
    if (m_options.m_bSlotsRunOnTheirOwn != 0) {
        StartShift();
    }
    m_bDetecting = 1;
    EnableOperatorControls(false);
    m_controls.Enable(ctl::kResetAll, true);
    ReportHandsetsAlreadyPresent();
}

// Only arrivals are attached: a handset that was plugged in before Detect sits unnoticed
// unless the operator is told to plug it in again.
void CVantorelDlg::ReportHandsetsAlreadyPresent() {
    const auto present = m_env.directory.ListPresent(link::GUID_DEVINTERFACE_DOWNLOAD);
    if (!present) {
        return;
    }
    int unattached = 0;
    for (const std::string& path : *present) {
        bool bHeld = false;
        for (int slot = 0; slot < kSlotCount && !bHeld; ++slot) {
            bHeld = m_aSlotStatus[slot].nState != SLOT_WAITING &&
                    engine::SameDeviceName(m_pUsb[slot]->DevicePath(), path);
        }
        unattached += bHeld ? 0 : 1;
    }
    if (unattached > 0) {
        AppendMainLog(
            "[Setup] %d handset(s) in download mode already plugged in: they attach when "
            "unplugged and plugged in again.\r\n",
            unattached);
    }
}

void CVantorelDlg::OnBnClickedSmdBinary() {
    const bool bChecked = m_controls.As<QAbstractButton>(ctl::kSmdBinary)->isChecked();
    m_controls.Show(ctl::kSmdButton, bChecked);
    m_controls.Show(ctl::kSmdPath, bChecked);
    m_options.m_bSmdBinary = bChecked ? 1 : 0;
}

void CVantorelDlg::OnBnClickedControlSector() {
    const bool bChecked = m_controls.As<QAbstractButton>(ctl::kControlSector)->isChecked();
    m_controls.Show(ctl::kRamSectorMb, bChecked);
    m_controls.Show(ctl::kRamSectorMbCaption, bChecked);
}

void CVantorelDlg::OnBnClickedSetUgm() {
    if (!m_controls.As<QAbstractButton>(ctl::kSetUgm)->isChecked()) {
        return;
    }
    m_env.prompts.ShowMessage(this,
                              QStringLiteral("\r\n업그레이드 매니져 이머젼시 모드 Set 합니다."),
                              QStringLiteral("경고"), OperatorPrompts::Icon::Warning);
}

}  // namespace vantorel::console
