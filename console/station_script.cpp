#include "console/station_script.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <thread>

#include "console/color_static_st.h"
#include "console/dialog_selection_view.h"
#include "console/options_record.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

// The script works the console's window through the console's own names.

namespace {

bool SameCaption(const std::string& left, const char* right) {
    return QString::fromStdString(left).compare(QString::fromLatin1(right), Qt::CaseInsensitive) ==
           0;
}

// The station's own view of the selection, with the open-file dialog answered by the
// script: the selection then chooses the file exactly as for the operator's pick.
class ScriptedFileView final : public images::SelectionView {
public:
    ScriptedFileView(CVantorelDlg& dlg, OperatorPrompts& prompts, std::string path)
        : m_view(dlg, prompts), m_path(std::move(path)) {}

    void AppendMainLog(const std::string& line) override {
        m_lastLine = line;
        m_view.AppendMainLog(line);
    }
    void ClearAuxLog() override { m_view.ClearAuxLog(); }
    void AppendAuxLog(const std::string& line) override { m_view.AppendAuxLog(line); }
    void SetAuxLogVisible(bool visible) override { m_view.SetAuxLogVisible(visible); }
    void SetDetectEnabled(bool enabled) override { m_view.SetDetectEnabled(enabled); }
    void ShowMessage(const images::Message& message) override {
        m_lastLine = message.text;
        m_view.ShowMessage(message);
    }
    void ShowSelection() override { m_view.ShowSelection(); }
    std::optional<std::string> ChooseFile(const std::string&) override { return m_path; }

    // What the station said last: why it refused the file.
    const std::string& LastLine() const { return m_lastLine; }

private:
    DialogSelectionView m_view;
    const std::string m_path;
    std::string m_lastLine;
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

bool StationScript::ChooseImage(images::ImageKind kind, const std::string& path,
                                std::string& error) {
    ScriptedFileView view(m_dlg, m_prompts, path);
    // The browse button is a toggle: a kind chosen already is withdrawn first.
    if (m_dlg.m_selection.IsSelected(kind)) {
        m_dlg.m_selection.OnBrowseButton(kind, view);
    }
    m_dlg.m_selection.OnBrowseButton(kind, view);
    m_dlg.ShowImageSelection();
    if (!m_dlg.m_selection.IsSelected(kind)) {
        error = path + ": " + Trimmed(view.LastLine());
        return false;
    }
    return true;
}

bool StationScript::SetOption(const std::string& caption, bool bChecked, std::string& error) {
    for (const OptionCheckBox& box : OptionCheckBoxes()) {
        if (!SameCaption(caption, box.caption)) {
            continue;
        }
        auto* button = m_dlg.Controls().As<QAbstractButton>(box.id);
        if (button == nullptr || !button->isEnabled()) {
            error = "the option box \"" + std::string(box.caption) + "\" is locked now";
            return false;
        }
        if (button->isChecked() != bChecked) {
            button->click();  // its handler runs, as for the operator's click
        }
        return true;
    }
    error = "no option box is captioned \"" + caption + "\"; the captions are: " + OptionCaptions();
    return false;
}

std::string StationScript::OptionCaptions() {
    std::string captions;
    for (const OptionCheckBox& box : OptionCheckBoxes()) {
        captions += captions.empty() ? "" : ", ";
        captions += "\"" + std::string(box.caption) + "\"";
    }
    return captions;
}

bool StationScript::PressDetect(std::string& error) {
    auto* detect = m_dlg.Controls().As<QAbstractButton>(ctl::kDetect);
    if (!detect->isEnabled()) {
        error = "Detect is disabled: no valid image is chosen";
        return false;
    }
    detect->click();
    return true;
}

bool StationScript::PressStartIfReady() {
    // A start the dialog posted itself (the eighth handset, "Start downloading
    // immediately") runs first, so the batch is not started twice.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    auto* start = m_dlg.Controls().As<QAbstractButton>(ctl::kStartDownloading);
    bool bReady = false;
    for (const SLOT_STATUS& status : m_dlg.m_aSlotStatus) {
        bReady = bReady || status.nState == SLOT_READY;
    }
    if (!bReady || !start->isEnabled()) {
        return false;
    }
    start->click();
    return true;
}

bool StationScript::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool StationScript::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    QTimer ticker;  // its ticks end a wait that no event ends
    ticker.start(50);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int StationScript::AttachedCount() const {
    return m_dlg.m_nDetectedCount;
}

int StationScript::BusyCount() const {
    int busy = 0;
    for (const SLOT_STATUS& status : m_dlg.m_aSlotStatus) {
        busy += status.nState == SLOT_READY || status.nState == SLOT_DOWNLOADING ? 1 : 0;
    }
    return busy;
}

bool StationScript::AllAttachedEnded() const {
    return m_dlg.m_nDetectedCount > 0 && BusyCount() == 0 &&
           m_dlg.m_nDetectedCount == m_dlg.m_nSuccessCount + m_dlg.m_nFailCount;
}

std::array<SlotOutcome, kSlotCount> StationScript::Outcomes() const {
    std::array<SlotOutcome, kSlotCount> outcomes;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        SlotOutcome& outcome = outcomes[slot];
        outcome.slot = slot;
        outcome.label = m_dlg.m_lblSlot[slot]->GetWindowText().toStdString();
        outcome.status = m_dlg.m_prgSlot[slot]->ShownText().toStdString();
        outcome.state = m_dlg.m_aSlotStatus[slot].nState;
        outcome.deviceName = m_dlg.m_strDeviceName[slot];
    }
    return outcomes;
}

std::string StationScript::MainLog() const {
    return m_dlg.m_logs.Text(ShownLog::Main);
}

}  // namespace vantorel::console
