// Closing the station, and the host programs it keeps out of the handsets' way.
#include "console/operator_prompts.h"
#include "console/sync_service_controller.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

int CVantorelDlg::StopSyncProcesses() {
    m_env.sync.StopSyncProcesses(m_bWinUsbMode != 0);
    return 0;
}

int CVantorelDlg::RestartSyncProcesses() {
    m_env.sync.RestartSyncProcesses(m_bWinUsbMode != 0);
    return 0;
}

void CVantorelDlg::reject() {
    if (OnClose()) {
        QDialog::reject();
    }
}

bool CVantorelDlg::OnClose() {
    if (m_bPipelined) {
        if (!ConfirmStopRunningSlots("Quit")) {
            return false;
        }
        // A shift ends when the station quits: its running slots stop first, so it counts them.
        StopShiftSlots("Quit");
    }
    const bool bBatchRunning =
        m_nDetectedCount != 0 && m_nDetectedCount != m_nSuccessCount + m_nFailCount;
    if (bBatchRunning && !m_env.prompts.ConfirmOkCancel(
                             this, QStringLiteral("Now Downloading! Quit Anyway?"), QString())) {
        return false;
    }
    // Before the workers stop: stopping them fails the handsets still running.
    RecordBatchEnd("quit");  // nothing when the batch ended by itself
    StopWorkers();
    // After the workers: they read the unpacked files until they end.
    DeleteUnpackedImages();
    if (!m_bSyncRestarted) {
        m_bSyncRestarted = true;
        RestartSyncProcesses();
    }
    return true;
}

// The window goes away: links closed, and the host's programs back unless the close
// handler already brought them back (starting them twice would run two instances).
void CVantorelDlg::OnDestroy() {
    // Before the workers stop: stopping them fails the handsets still running.
    RecordBatchEnd("quit");  // nothing when the batch ended by itself
    StopWorkers();
    if (!m_bSyncRestarted) {
        m_bSyncRestarted = true;
        RestartSyncProcesses();
    }
}

void CVantorelDlg::CloseLinks() {
    for (auto& link : m_pUsb) {
        if (link && link->IsOpened()) {
            link->Close();
        }
    }
}

}  // namespace vantorel::console
