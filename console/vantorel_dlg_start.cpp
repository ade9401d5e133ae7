// "Start downloading": one worker thread per ready slot, all released together.
#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <chrono>
#include <latch>
#include <string>

#include <pthread.h>

#include "console/failure_reasons.h"
#include "console/pda_detect.h"
#include "console/vantorel_dlg.h"
#include "engine/download_worker.h"

namespace vantorel::console {

namespace {

constexpr const char* kDownLines[] = {
    "[Down] EBoot Image. \r\n",    "[Down] PDA Image. \r\n",   "[Down] CSC Image. \r\n",
    "[Down] LANGPACK Image. \r\n", "[Down] Phone Image. \r\n", "[Down] SMD Image. \r\n",
};

}  // namespace

std::shared_ptr<CVantorelDlg::Batch> CVantorelDlg::MakeBatch() {
    auto batch = std::make_shared<Batch>();
    batch->images = CurrentDownloadImages();
    batch->options = engine::DownloadOptions{
        m_dwEraseNvCase,
        m_options.m_bControlSector != 0,
        m_options.m_strRamSectorMb,
        m_dwToolVersion,
        m_bWinUsbMode != 0,
    };
    RecordBatchImages(batch->images);
    return batch;
}

void CVantorelDlg::LogChosenImages(const engine::DownloadImages& images) {
    const bool selected[] = {images.bEboot,    images.bPda,   images.bCsc,
                             images.bLangPack, images.bPhone, images.bSmd};
    for (size_t kind = 0; kind < std::size(kDownLines); ++kind) {
        if (selected[kind]) {
            AppendMainLog("%s", kDownLines[kind]);
        }
    }
}

void CVantorelDlg::LaunchWorker(int slot, const std::shared_ptr<Batch>& batch,
                                const std::shared_ptr<std::latch>& gate, bool bWaitAfterDownload) {
    if (m_workers[slot].joinable()) {
        m_workers[slot].join();  // the slot's previous run has ended already
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_workerDone[slot] = done;
    engine::SLOT_WORKER_PARAM param;
    param.nSlot = slot;
    param.pDlg = this;
    param.pUsb = m_pUsb[slot].get();
    param.bWaitAfterDownload = bWaitAfterDownload;
    param.pImages = &batch->images;
    param.pOptions = &batch->options;
    param.pClock = &m_clock;
    m_workers[slot] = std::jthread([this, param, batch, gate, done](std::stop_token stop) {
        SetWorkerSlotOfThisThread(param.nSlot);
        // Named as the window numbers its slots, so that top -H and perf tell them apart.
        const std::string name = "vantorel-slot-" + std::to_string(param.nSlot + 1);
        ::pthread_setname_np(::pthread_self(), name.c_str());
        gate->arrive_and_wait();
        engine::DownloadThreadProc(param, stop);
        done->store(true);
        // The dialog joins its workers before it goes, so it is still there to be told.
        QMetaObject::invokeMethod(
            this, [this, slot = param.nSlot] { OnWorkerEnded(slot); }, Qt::QueuedConnection);
    });
}

void CVantorelDlg::OnStartDownloading() {
    const std::shared_ptr<Batch> batch = MakeBatch();
    const bool bWaitAfterDownload = m_options.m_bWaitAfterDownload != 0;

    // Every worker waits at the gate until all of them exist and every slot is marked, so
    // they start together (threads cannot be created suspended here). Workers run at normal
    // priority: raising it needs privileges the station does not have.
    std::vector<int> starting;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (m_aSlotStatus[slot].nState == SLOT_READY) {
            starting.push_back(slot);
        }
    }
    auto gate = std::make_shared<std::latch>(static_cast<std::ptrdiff_t>(starting.size()) + 1);
    for (const int slot : starting) {
        LaunchWorker(slot, batch, gate, bWaitAfterDownload);
        m_bDetecting = 0;
        RecordSlotStart(slot);
        m_aSlotStatus[slot].nState = SLOT_DOWNLOADING;
        --m_nSlotsLeft;
        ShowSlotToObserver(slot);
    }
    LogChosenImages(batch->images);
    EnableOperatorControls(false);
    gate->count_down();
}

void CVantorelDlg::StopWorkers() {
    for (auto& worker : m_workers) {
        worker.request_stop();
    }
    // Closing the links ends every read a worker is blocked in.
    CloseLinks();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        JoinWorker(slot);
    }
}

void CVantorelDlg::EndWorker(int slot) {
    if (!m_workers[slot].joinable()) {
        return;
    }
    m_workers[slot].request_stop();
    JoinWorker(slot);
}

void CVantorelDlg::JoinWorker(int slot) {
    if (!m_workers[slot].joinable()) {
        return;
    }
    // A worker may be waiting for the dialog to take its notification: keep handling
    // events until it has finished, then join it.
    while (m_workerDone[slot] && !m_workerDone[slot]->load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    m_workers[slot].join();
    // The worker's own call to say it ended may still wait in the event queue, which
    // nobody handles after this: the slot explains a failure now.
    OnWorkerEnded(slot);
}

bool CVantorelDlg::IsWorkerRunning(int slot) const {
    return m_workers[slot].joinable() && m_workerDone[slot] && !m_workerDone[slot]->load();
}

void CVantorelDlg::SetImageKind(int slot, int32_t kind, bool resetPartIndex) {
    m_aSlotStatus[slot].nImageKind = kind;
    if (resetPartIndex) {
        m_aSlotStatus[slot].nPartIndex = 0;
    }
}

void CVantorelDlg::SetTurns(int slot, int32_t turn, int32_t turnTotal) {
    m_nTurnTotal[slot] = turnTotal;
    m_nTurn[slot] = turn;
}

bool CVantorelDlg::WaitForDetection(int slot, std::chrono::nanoseconds bound,
                                    std::stop_token stop) {
    return g_aPdaDetect[slot].DetectEvent().WaitFor(bound, std::move(stop));
}

void CVantorelDlg::ClearDetectedDeviceName(int slot) {
    g_aPdaDetect[slot].SetDeviceName(std::string());
}

}  // namespace vantorel::console
