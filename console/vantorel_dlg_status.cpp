// Status notifications from the download workers.
#include <QLabel>
#include <algorithm>
#include <utility>

#include "console/color_static_st.h"
#include "console/dialog_thread.h"
#include "console/failure_advice.h"
#include "console/slot_status_text.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "engine/attach_handshake.h"
#include "link/interface_class.h"
#include "link/message_sink.h"

namespace vantorel::console {

void CVantorelDlg::SendSlotStatus(uint32_t code, uint32_t lParam) {
    RunOnOwnerThread(*this, [this, code, lParam] { OnSlotStatus(code, lParam); });
}

int CVantorelDlg::OnSlotStatus(uint32_t wParam, uint32_t lParam) {
    const int slot = engine::StatusSlot(lParam);
    const uint32_t value = engine::StatusValue(lParam);
    if (slot >= kSlotCount) {
        // No sender names such a slot; touching the table or the counters for it could only
        // corrupt a batch, so it is dropped.
        link::WriteDiagnostic("status %u for slot %d ignored\n", wParam, slot);
        return 0;
    }
    SLOT_STATUS& status = m_aSlotStatus[slot];

    const StatusContext context{status.nImageKind, status.nPartIndex, m_nTurn[slot],
                                m_nTurnTotal[slot]};
    const StatusAction action = DescribeSlotStatus(wParam, value, context);
    if (!action.bFailed) {
        m_failureReasons.Forget(slot);
    }
    if (action.barPos) {
        m_prgSlot[slot]->SetPos(*action.barPos);
    }
    if (action.bFailed) {
        status.nState = SLOT_FAILED;
    }
    bool bSlotEnded = false;
    if (action.bFinished) {
        SetSlotLabelColour(slot, kFinishedColour);
        status.nState = SLOT_DONE;
        status.nImageKind = IMG_FINISHED;
        ++m_nSuccessCount;
        bSlotEnded = true;
        EnableSlotResetButton(slot);
        AppendSlotLog(slot, "[Success:%d] Finished downloading!\r\n", slot + 1);
    }

    m_lblSlot[slot]->SetWindowText(
        QString::fromStdString(SlotLabelCaption(slot, status.nImageKind)));
    m_prgSlot[slot]->SetWindowText(QString::fromStdString(action.strText));
    TrackSlotPace(slot, wParam, value);

    if (status.nState == SLOT_FAILED) {
        // A slot can report its failure more than once (a flash write on a closed link
        // does); it still counts as one failed handset.
        if (!m_bFailCounted[slot]) {
            m_bFailCounted[slot] = true;
            ++m_nFailCount;
            bSlotEnded = true;
            // The worker often logs why right after the failure status: the slot explains
            // itself once its worker has ended.
            m_strFailureToExplain[slot] = action.strText;
            if (!IsWorkerRunning(slot)) {
                OnWorkerEnded(slot);
            }
        }
        SetSlotLabelColour(slot, kFailedColour);
        EnableSlotResetButton(slot);
        RefreshDetectedCount();
        ShowFailureAdvice(slot, wParam, value);
    }

    if (bSlotEnded) {
        RecordSlotEnd(slot, wParam, action.strText);
    }
    // The batch ends with the notification that ends its last slot; later notifications
    // (a repeated failure) do not end it again.
    if (bSlotEnded && m_nDetectedCount == m_nSuccessCount + m_nFailCount) {
        AppendMainLog(m_nFailCount != 0
                          ? "All Download finished. But failed device is detected \r\n"
                          : "All Download finished. \r\n");
        RecordBatchEnd("finished");
        EnableOperatorControls(true);
        m_controls.Enable(ctl::kDetect, false);
        m_controls.Enable(ctl::kStartDownloading, false);
    }
    ShowSlotToObserver(slot);
    return 0;
}

// The main log says why a slot failed, among every slot's lines; the slot's own log says it
// too, where the operator looks at that slot.
void CVantorelDlg::OnWorkerEnded(int slot) {
    if (!m_strFailureToExplain[slot]) {
        return;
    }
    const std::string statusText = *std::exchange(m_strFailureToExplain[slot], std::nullopt);
    const std::string reason = m_failureReasons.Reason(slot);
    AppendSlotLog(slot, "[Error:%d] %s%s%s\r\n", slot + 1, statusText.c_str(),
                  reason.empty() ? "" : ": ", reason.c_str());
}

// Beside the bar's own text, in the operator's words: the tooltip and the line under the bar
// say what happened and what to do. The developer's detail stays in the slot's log.
void CVantorelDlg::ShowFailureAdvice(int slot, uint32_t code, uint32_t value) {
    FailureFacts facts;
    facts.wrongChecksumPacket = m_failureReasons.WrongChecksumPacket(slot);
    const std::string path = m_pUsb[slot]->DevicePath();
    if (const auto present = m_env.directory.ListPresent(link::GUID_DEVINTERFACE_DOWNLOAD)) {
        facts.bHandsetPresent = std::any_of(present->begin(), present->end(), [&](const auto& p) {
            return engine::SameDeviceName(p, path);
        });
    }
    const std::string advice = FailureAdvice(code, value, facts);
    if (advice.empty()) {
        return;
    }
    m_prgSlot[slot]->setToolTip(QString::fromStdString(advice));
    const QString sentence = QString::fromStdString(advice);
    QLabel* line = m_lblPace[slot];
    line->setText(line->fontMetrics().elidedText(
        sentence, Qt::ElideRight, std::max(line->width(), m_prgSlot[slot]->width())));
}

}  // namespace vantorel::console
