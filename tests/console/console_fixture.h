#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "console/color_static_st.h"
#include "console/console_environment.h"
#include "console/operator_prompts.h"
#include "console/sync_service_controller.h"
#include "console/text_progress_ctrl.h"
#include "console/vantorel_dlg.h"
#include "link/platform/emulated/emulated_bus.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vantorel::console::test {

// Answers the dialog's boxes and records what they said.
class ScriptedPrompts final : public OperatorPrompts {
public:
    struct Shown {
        QString text;
        QString caption;
        Icon icon;
    };

    void ShowMessage(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        messages.push_back({text, caption, icon});
    }
    bool ConfirmOkCancel(QWidget*, const QString& text, const QString&) override {
        confirmations.push_back(text);
        return bConfirm;
    }
    // Answers from `fileAnswers`, in order; a dialog that no answer was queued for fails.
    std::optional<QString> ChooseOpenFile(QWidget*, const QString& filter) override {
        fileFilters.push_back(filter);
        if (onChooseFile) {
            onChooseFile();
        }
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "an open-file dialog came up that the test did not expect";
            return std::nullopt;
        }
        const QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        if (answer.isNull()) {
            return std::nullopt;
        }
        return answer;
    }

    std::optional<QString> ChooseSaveFile(QWidget*, const QString&) override {
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        const QString answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    bool OpenFolder(const QString& path) override {
        openedFolders.push_back(path);
        return bFileManager;
    }
    void CopyText(const QString& text) override { copied.push_back(text); }

    std::vector<Shown> messages;
    std::vector<QString> confirmations;
    std::deque<QString> saveAnswers;
    std::vector<QString> openedFolders;
    bool bFileManager = true;
    std::vector<QString> copied;
    bool bConfirm = true;
    std::deque<QString> fileAnswers;  // a null string: the operator cancels
    std::vector<QString> fileFilters;
    std::function<void()> onChooseFile;  // runs while the open-file dialog is up
};

// Records what the dialog asked of the host's competing programs.
class RecordingSync final : public SyncServiceController {
public:
    void StopSyncProcesses(bool bWinUsbMode) override { Record("stop", bWinUsbMode); }
    void RestartSyncProcesses(bool bWinUsbMode) override { Record("restart", bWinUsbMode); }

    std::vector<std::string> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    void Record(const char* what, bool bWinUsbMode) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::string(what) + (bWinUsbMode ? " bulk" : " serial"));
    }
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// The main dialog on the emulated bus, initialised as at start-up.
class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { MakeDialog(false); }

    void MakeDialog(bool bBulkLinkOffered) {
        dlg.reset();
        dlg = std::make_unique<CVantorelDlg>(ConsoleEnvironment{
            bus, bus, bus, bBulkLinkOffered, Clock{0.0}, sync, prompts, nullptr});
        dlg->OnInitDialog();
    }

    // Handsets in `batchSlots` are attached and downloading, as attach and "Start downloading"
    // leave them.
    void StartBatch(std::initializer_list<int> batchSlots) {
        for (const int slot : batchSlots) {
            dlg->m_stackFreeSlots.Pop();
            dlg->m_aSlotStatus[slot].nState = SLOT_DOWNLOADING;
            ++dlg->m_nDetectedCount;
            --dlg->m_nSlotsLeft;
        }
        dlg->m_bDetecting = 0;
        dlg->EnableOperatorControls(false);
        dlg->RefreshDetectedCount();
    }

    void Send(uint32_t code, int slot, uint32_t value = 0) {
        dlg->SendSlotStatus(code, engine::MakeStatusParam(slot, value));
    }

    // Presses a browse button and answers its open-file dialog with `path`.
    void ChooseImage(int buttonId, std::optional<std::string> path) {
        prompts.fileAnswers.push_back(path ? QString::fromStdString(*path) : QString());
        dlg->Controls().As<QAbstractButton>(buttonId)->click();
    }

    QString BarText(int slot) const { return dlg->m_prgSlot[slot]->GetWindowText(); }
    int BarPos(int slot) const { return dlg->m_prgSlot[slot]->GetPos(); }
    QString LabelText(int slot) const { return dlg->m_lblSlot[slot]->GetWindowText(); }
    COLORREF LabelColour(int slot) const { return dlg->m_lblSlot[slot]->GetBkColor(); }
    bool Enabled(int id) const { return dlg->GetDlgItem(id)->isEnabled(); }
    QString Text(int id) const { return dlg->Controls().Text(id); }
    std::string MainLog() const { return dlg->m_logs.Text(ShownLog::Main); }
    QString MainLogText() const;

    link::emulated::EmulatedBus bus;
    ScriptedPrompts prompts;
    RecordingSync sync;
    std::unique_ptr<CVantorelDlg> dlg;
};

// Runs `check` on the modal dialog that `open` brings up, then closes that dialog.
void WithModal(const std::function<void()>& open, const std::function<void(QWidget&)>& check);

}  // namespace vantorel::console::test
