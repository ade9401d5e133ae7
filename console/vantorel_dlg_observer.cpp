// What the station shows beyond its window: each slot as the window shows it, and each
// handset's and batch's end as the records write it, told to one observer.
#include <QLabel>
#include <array>
#include <cstdio>

#include "console/color_static_st.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "engine/slot_port_map.h"

namespace vantorel::console {

namespace {

constexpr std::array<const char*, 5> kStateWords{"waiting", "ready", "downloading", "done",
                                                 "failed"};

std::string ColourText(COLORREF colour) {
    if (colour == kSystemColour) {
        return {};
    }
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text.data();
}

}  // namespace

void CVantorelDlg::SetStationObserver(StationObserver* observer) {
    m_pObserver = observer;
    if (m_records) {
        // The records' threads call these too; the observer is read at each call.
        m_records->SetListener({[this](const std::string& line) {
                                    if (StationObserver* heard = m_pObserver.load()) {
                                        heard->HandsetEnded(line);
                                    }
                                },
                                [this](const std::string& summary) {
                                    if (StationObserver* heard = m_pObserver.load()) {
                                        heard->BatchEnded(summary);
                                    }
                                }});
    }
    if (observer && m_lblSlot[0]) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            ShowSlotToObserver(slot);
        }
    }
}

void CVantorelDlg::ShowSlotToObserver(int slot) {
    StationObserver* observer = m_pObserver.load();
    if (!observer) {
        return;
    }
    ShownSlot shown;
    shown.slot = slot;
    shown.caption = m_lblSlot[slot]->GetWindowText().toStdString();
    shown.background = ColourText(m_lblSlot[slot]->GetBkColor());
    shown.barText = m_prgSlot[slot]->GetWindowText().toStdString();
    shown.progress = m_prgSlot[slot]->GetPos();
    shown.lineUnderBar = m_lblPace[slot]->text().toStdString();
    const int32_t state = m_aSlotStatus[slot].nState;
    if (state != SLOT_WAITING && m_pUsb[slot]) {
        shown.device = m_pUsb[slot]->DevicePath();
        shown.port = engine::PortLocationOf(shown.device).value_or("");
    }
    shown.state = state >= 0 && state < static_cast<int32_t>(kStateWords.size())
                      ? kStateWords[static_cast<size_t>(state)]
                      : "";
    observer->SlotShown(shown);
    observer->CountsShown({m_nDetectedCount, m_nSuccessCount, m_nFailCount});
}

}  // namespace vantorel::console
