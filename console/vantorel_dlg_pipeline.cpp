// Slots that run on their own: a shift instead of batches. Detection stays armed while
// slots download; each arriving handset starts at once in a free slot; an ended slot keeps
// what it shows until its handset is pulled, or its socket takes the next handset.
#include <QMetaObject>

#include "console/color_static_st.h"
#include "console/operator_prompts.h"
#include "console/pda_detect.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "engine/attach_handshake.h"
#include "engine/slot_port_map.h"

namespace vantorel::console {

namespace {

bool IsRunning(int32_t state) {
    return state == SLOT_READY || state == SLOT_DOWNLOADING;
}

bool HasEnded(int32_t state) {
    return state == SLOT_DONE || state == SLOT_FAILED;
}

// The socket a device path is plugged into: its USB port, or for a path on no USB port (a
// tty) the path itself.
std::string SocketOf(const std::string& path) {
    return engine::PortLocationOf(path).value_or(path);
}

}  // namespace

void CVantorelDlg::StartShift() {
    m_bPipelined = true;
    m_shiftBatch.reset();
    m_shiftEnded.clear();
    m_shift.Start(std::chrono::steady_clock::now(), m_clock.scale());
    m_controls.SetText(ctl::kShiftCount,
                       QStringLiteral("Shift: ") +
                           QString::fromStdString(m_shift.Text(std::chrono::steady_clock::now())));
    AppendMainLog("[Shift] Slots run on their own: each handset starts as it arrives.\r\n");
}

bool CVantorelDlg::TakeArrivalIntoShift(const std::string& name) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (!IsRunning(m_aSlotStatus[slot].nState)) {
            continue;
        }
        // Back from its reboot (its worker was woken above), or seen again while it runs.
        if (engine::SameDeviceName(g_aPdaDetect[slot].DeviceName(), name) ||
            engine::SameDeviceName(m_pUsb[slot]->DevicePath(), name)) {
            return false;
        }
    }
    const std::string socket = SocketOf(name);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (HasEnded(m_aSlotStatus[slot].nState) &&
            engine::SameDeviceName(SocketOf(m_pUsb[slot]->DevicePath()), socket)) {
            FreeEndedSlot(slot, "a new handset took its socket");
        }
    }
    if (m_nDetectedCount >= kSlotCount) {
        // Every slot holds a handset: ended ones wait for their pull, as the operator sees.
        AppendMainLog(
            "[Shift] No free slot for the handset on %s: pull a handset that ended, or press "
            "its slot's reset button, then plug this one in again.\r\n",
            socket.c_str());
    }
    return true;
}

// A done handset leaves download mode by itself when it is launched, so only a failed slot
// is freed by its handset leaving; a done one waits for its socket's next handset or its
// reset button.
void CVantorelDlg::OnShiftRemoval(const std::string& name) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (m_aSlotStatus[slot].nState == SLOT_FAILED &&
            engine::SameDeviceName(m_pUsb[slot]->DevicePath(), name)) {
            FreeEndedSlot(slot, "its handset was pulled");
            return;
        }
    }
}

void CVantorelDlg::StartSlotOnItsOwn(int slot) {
    // The slot may have been reset, or the shift ended, since the start was posted.
    if (!m_bPipelined || m_aSlotStatus[slot].nState != SLOT_READY) {
        return;
    }
    if (!m_shiftBatch) {
        // The shift's images and options are fixed once its first handset starts.
        m_shiftBatch = MakeBatch();
        LogChosenImages(m_shiftBatch->images);
    }
    auto gate = std::make_shared<std::latch>(2);  // the worker and this start
    LaunchWorker(slot, m_shiftBatch, gate, m_options.m_bWaitAfterDownload != 0);
    RecordSlotStart(slot);
    m_aSlotStatus[slot].nState = SLOT_DOWNLOADING;
    --m_nSlotsLeft;
    m_controls.Enable(kSlotResetIds[slot], false);
    gate->count_down();
}

void CVantorelDlg::OnShiftSlotEnded(int slot, bool bDone) {
    m_shift.Count(bDone);
    m_shiftEnded.push_back({m_strDeviceName[slot], bDone});
    const std::string counts = m_shift.Text(std::chrono::steady_clock::now());
    AppendMainLog("[Shift] PDA %d %s: %s\r\n", slot + 1, bDone ? "done" : "failed", counts.c_str());
    m_controls.SetText(ctl::kShiftCount,
                       QStringLiteral("Shift: ") + QString::fromStdString(counts));
    RecordBatchEnd("running");
}

void CVantorelDlg::FreeEndedSlot(int slot, const char* why) {
    --m_nDetectedCount;
    (m_aSlotStatus[slot].nState == SLOT_FAILED ? m_nFailCount : m_nSuccessCount) -= 1;
    ++m_nSlotsLeft;
    ResetSlot(slot);
    m_prgSlot[slot]->SetWindowText(QStringLiteral("Waiting for the device..."));
    m_controls.Enable(kSlotResetIds[slot], false);
    AppendMainLog("[Shift] PDA %d is free: %s.\r\n", slot + 1, why);
    RefreshDetectedCount();
}

int CVantorelDlg::RunningSlotCount() const {
    int running = 0;
    for (const SLOT_STATUS& status : m_aSlotStatus) {
        running += IsRunning(status.nState) ? 1 : 0;
    }
    return running;
}

bool CVantorelDlg::ConfirmStopRunningSlots(const char* action) {
    const int running = RunningSlotCount();
    if (running == 0) {
        return true;
    }
    return m_env.prompts.ConfirmOkCancel(
        this,
        QStringLiteral("Now Downloading! %1 Anyway?\r\n\r\n%2 handset(s) are still being "
                       "flashed. They are stopped and counted as failed, and must be flashed "
                       "again. The handsets that ended keep their results in the records.")
            .arg(QString::fromLatin1(action))
            .arg(running),
        QString());
}

void CVantorelDlg::StopShiftSlots(const char* action) {
    StopWorkers();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (m_aSlotStatus[slot].nState != SLOT_DOWNLOADING) {
            continue;  // a ready slot's handset was never started: nothing was flashed
        }
        const std::string why = std::string("Stopped by ") + action;
        RecordSlotEnd(slot, 0, why);
        m_shift.Count(false);
        m_shiftEnded.push_back({m_strDeviceName[slot], false});
        AppendMainLog("[Shift] PDA %d stopped by %s: %s\r\n", slot + 1, action,
                      m_shift.Text(std::chrono::steady_clock::now()).c_str());
    }
}

}  // namespace vantorel::console
