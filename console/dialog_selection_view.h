#pragma once

#include <optional>
#include <string>

#include "images/selection_view.h"

namespace vantorel::console {

class CVantorelDlg;
class OperatorPrompts;

// The main dialog as the image selection sees it: its logs, its Detect button, its boxes
// and open-file dialog (through the prompts, so tests can answer them), and the image
// controls it refreshes from the selection. Made for one handler call.
class DialogSelectionView final : public images::SelectionView {
public:
    DialogSelectionView(CVantorelDlg& dlg, OperatorPrompts& prompts)
        : m_dlg(dlg), m_prompts(prompts) {}

    void AppendMainLog(const std::string& line) override;
    void ClearAuxLog() override;
    void AppendAuxLog(const std::string& line) override;
    void SetAuxLogVisible(bool visible) override;
    void SetDetectEnabled(bool enabled) override;
    void ShowMessage(const images::Message& message) override;
    void ShowSelection() override;
    std::optional<std::string> ChooseFile(const std::string& filter) override;

private:
    CVantorelDlg& m_dlg;
    OperatorPrompts& m_prompts;
};

}  // namespace vantorel::console
