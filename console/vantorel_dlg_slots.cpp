// The slot table's resets and the operator-control group.

#include "base/process_memory.h"
#include "console/caption_contrast.h"
#include "console/color_static_st.h"
#include "console/log_view.h"
#include "console/pda_detect.h"
#include "console/slot_status_text.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

void CVantorelDlg::ResetSlot(int slot) {
    // A worker that reported its end still closes the slot's link on its way out: it is
    // done before the link serves the slot's next handset, or it would close that one.
    EndWorker(slot);
    g_aPdaDetect[slot].Reset(slot);
    m_strDeviceName[slot].clear();
    m_logs.ClearSlot(slot);
    m_aSlotStatus[slot].nState = SLOT_WAITING;
    m_aSlotStatus[slot].nImageKind = IMG_EBOOT;
    m_bFailCounted[slot] = false;
    m_strFailureToExplain[slot].reset();
    if (m_pUsb[slot] && m_pUsb[slot]->IsOpened()) {
        m_pUsb[slot]->Close();
    }
    SetSlotLabelColour(slot, kWaitingColour);
    m_prgSlot[slot]->SetWindowText(QStringLiteral("Waiting for device.."));
    m_prgSlot[slot]->setToolTip(QString());
    m_failureReasons.Forget(slot);
    m_slotPace[slot].Idle();
    ShowSlotPace(slot);
    m_prgSlot[slot]->SetRange(0, 100);
    m_prgSlot[slot]->SetPos(0);
    m_stackFreeSlots.Push(slot);
    m_lblSlot[slot]->SetWindowText(QStringLiteral("PDA %1").arg(slot + 1));
    ShowSlotToObserver(slot);
}

void CVantorelDlg::ResetAllSlots() {
    m_nDetectedCount = 0;
    m_nSuccessCount = 0;
    m_nFailCount = 0;
    m_nSlotsLeft = kSlotCount;
    m_logs.ClearShown();
    m_pMainLogEdit->Clear();
    m_pAuxLogEdit->Clear();
    m_bDetecting = 0;
    for (int slot = kSlotCount - 1; slot >= 0; --slot) {
        ResetSlot(slot);
    }
    RefreshDetectedCount();
    EnableOperatorControls(true);
    m_controls.Enable(ctl::kDetect, false);
    m_controls.Enable(ctl::kStartDownloading, false);
    m_controls.Enable(ctl::kResetAll, false);
    m_controls.Enable(kSlotResetIds, false);
    UpdateData(false);
}

void CVantorelDlg::OnBnClickedResetAll() {
    RecordBatchEnd("reset all");  // nothing when the batch ended by itself
    while (!m_stackFreeSlots.IsEmpty()) {
        m_stackFreeSlots.Pop();
    }
    ResetAllSlots();
    // Detect arms a download of the chosen images; with none chosen it stays off.
    m_controls.Enable(ctl::kDetect, HasChosenImages());
    UpdateData(false);
    // The last batch's buffers and logs are gone; the bench may stand idle until the next.
    ReturnFreedMemory();
}

void CVantorelDlg::OnBnClickedResetSlot(int slot) {
    // Only a slot that a worker took gives a slot back to the batch and can be the last of
    // it to end. A slot reset before Start just frees itself: with no handset ended yet the
    // counts would match as soon as no slot is ready, and "reset all" would disarm
    // detection and wipe the logs of a batch still being put together.
    const bool bHandedToWorker = m_aSlotStatus[slot].nState >= SLOT_DOWNLOADING;
    if (bHandedToWorker) {
        ++m_nSlotsLeft;
    } else if (m_aSlotStatus[slot].nState == SLOT_READY) {
        --m_nDetectedCount;
    }
    RefreshDetectedCount();
    ResetSlot(slot);
    if (m_bDetecting != 0) {
        m_prgSlot[slot]->SetWindowText(QStringLiteral("Waiting for the device..."));
    }
    if (bHandedToWorker && m_nSuccessCount + m_nFailCount == m_nDetectedCount) {
        OnBnClickedResetAll();
    } else if (!bHandedToWorker && m_nDetectedCount == 0) {
        m_controls.Enable(ctl::kStartDownloading, false);  // no ready handset left to start
    }
    UpdateData(false);
    m_controls.Enable(kSlotResetIds[slot], false);
    ShowSlotToObserver(slot);
}

void CVantorelDlg::EnableSlotResetButton(int slot) {
    m_controls.Enable(kSlotResetIds[slot], true);
}

void CVantorelDlg::SetSlotLabelColour(int slot, COLORREF background) {
    m_lblSlot[slot]->SetBkColor(background);
    m_lblSlot[slot]->SetTextColor(ReadableTextColour(background));
}

void CVantorelDlg::EnableOperatorControls(bool bEnable) {
    m_controls.Enable(g_aOperatorCtrlId, bEnable);
    m_controls.Enable(kPortControlIds, bEnable);
}

void CVantorelDlg::RefreshDetectedCount() {
    m_controls.SetText(ctl::kDetectedCount,
                       QString::fromStdString(DetectedCountText(m_nDetectedCount - m_nFailCount)));
}

}  // namespace vantorel::console
