#include "console/dialog_selection_view.h"

#include <QFile>

#include "console/operator_prompts.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

void DialogSelectionView::AppendMainLog(const std::string& line) {
    m_dlg.AppendMainLogText(line);
}

void DialogSelectionView::ClearAuxLog() {
    m_dlg.ClearAuxLog();
}

void DialogSelectionView::AppendAuxLog(const std::string& line) {
    m_dlg.AppendAuxLogText(line);
}

void DialogSelectionView::SetAuxLogVisible(bool visible) {
    m_dlg.Controls().Show(ctl::kAuxLog, visible);
}

void DialogSelectionView::SetDetectEnabled(bool enabled) {
    m_dlg.Controls().Enable(ctl::kDetect, enabled);
}

void DialogSelectionView::ShowMessage(const images::Message& message) {
    const OperatorPrompts::Icon icon = message.icon == images::MessageIcon::kError
                                           ? OperatorPrompts::Icon::Error
                                           : OperatorPrompts::Icon::None;
    m_prompts.ShowMessage(&m_dlg, QString::fromStdString(message.text),
                          QString::fromStdString(message.caption), icon);
}

void DialogSelectionView::ShowSelection() {
    m_dlg.ShowImageSelection();
}

// The chosen name in the file system's own encoding, so that the file opens by it.
std::optional<std::string> DialogSelectionView::ChooseFile(const std::string& filter) {
    const std::optional<QString> chosen =
        m_prompts.ChooseOpenFile(&m_dlg, QString::fromStdString(filter));
    if (!chosen) {
        return std::nullopt;
    }
    return QFile::encodeName(*chosen).toStdString();
}

}  // namespace vantorel::console
