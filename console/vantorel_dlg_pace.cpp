// The pace column beside the bars: how fast data moves, and how long the waits still last.
#include <QLabel>
#include <algorithm>
#include <filesystem>

#include "console/vantorel_dlg.h"
#include "engine/download_worker.h"
#include "engine/slot_status.h"

namespace vantorel::console {

namespace {

using PaceClock = std::chrono::steady_clock;

SlotPace::Duration RealTime(const Clock& clock, Clock::Duration protocolTime) {
    return std::chrono::duration_cast<SlotPace::Duration>(clock.ToReal(protocolTime));
}

}  // namespace

void CVantorelDlg::TrackSlotPace(int slot, uint32_t code, uint32_t value) {
    const auto now = PaceClock::now();
    SlotPace& pace = m_slotPace[slot];
    const int32_t kind = m_aSlotStatus[slot].nImageKind;
    switch (code) {
        case engine::kStatusRamProgress:
        case engine::kStatusFlashProgress: {
            // A part is one image, or one turn of the application image.
            const bool bTurns = kind == IMG_PDA;
            const int32_t part =
                bTurns ? m_nTurn[slot].load() : m_aSlotStatus[slot].nPartIndex.load();
            uint64_t bytes = 0;
            if (kind >= 0 && kind < images::kImageKindCount) {
                std::error_code error;
                bytes = std::filesystem::file_size(
                    m_selection.Path(static_cast<images::ImageKind>(kind)), error);
                if (error) {
                    bytes = 0;
                }
            }
            if (bTurns) {
                bytes /= static_cast<uint64_t>(std::max(1, m_nTurnTotal[slot].load()));
            }
            const uint32_t key = (static_cast<uint32_t>(kind) << 24) | (code << 12) |
                                 static_cast<uint32_t>(part & 0xFFF);
            pace.Progress(now, static_cast<int>(std::min<uint32_t>(value, 100)), bytes, key);
            break;
        }
        case engine::kStatusRebooting:
            // The slot's stagger before the reboot, then the wait for the handset's return.
            pace.Wait(now,
                      RealTime(m_clock, Clock::Duration(slot * 2000) + engine::kRedetectionBound));
            break;
        case engine::kStatusWaitingForBoot: {
            const bool bLanguage =
                m_selection.IsSelected(images::IMG_LANGPACK) ||
                (m_selection.IsSelected(images::IMG_PDA) && m_selection.PdaHasLang());
            pace.Wait(now, RealTime(m_clock, bLanguage ? engine::kWaitAfterDownloadWithLanguage
                                                       : engine::kWaitAfterDownload));
            break;
        }
        default:
            pace.Idle();
            break;
    }
    ShowSlotPace(slot);
}

void CVantorelDlg::TrackReconnection(int slot) {
    if (m_aSlotStatus[slot].nState != SLOT_DOWNLOADING) {
        return;
    }
    m_slotPace[slot].Wait(PaceClock::now(),
                          RealTime(m_clock, engine::kReconnectPause * engine::kReconnectAttempts));
    ShowSlotPace(slot);
}

void CVantorelDlg::ShowSlotPace(int slot) {
    const QString text = QString::fromStdString(m_slotPace[slot].Text(PaceClock::now()));
    if (m_lblPace[slot]->text() != text) {
        m_lblPace[slot]->setText(text);
        ShowSlotToObserver(slot);
    }
}

}  // namespace vantorel::console
