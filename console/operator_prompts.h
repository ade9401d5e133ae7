#pragma once

#include <QString>
#include <filesystem>
#include <optional>

#include "console/remembered_folders.h"

class QWidget;

namespace vantorel::console {

// The dialog's message boxes and open-file dialog. The station shows real ones; tests
// answer them. Texts are passed as the station words them ("\r\n" line breaks included).
class OperatorPrompts {
public:
    enum class Icon { None, Information, Warning, Error };

    virtual ~OperatorPrompts() = default;

    // A box with an OK button. An empty caption means the application's name.
    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                             Icon icon) = 0;
    // A box with OK and Cancel; true on OK.
    virtual bool ConfirmOkCancel(QWidget* parent, const QString& text, const QString& caption) = 0;
    // An open-file dialog for one existing file; nullopt when cancelled. `filter` lists
    // "Name (*.ext)|*.ext|" pairs.
    virtual std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& filter) = 0;
    // A save-file dialog; nullopt when cancelled (and where no dialog is offered).
    virtual std::optional<QString> ChooseSaveFile(QWidget* /*parent*/, const QString& /*filter*/) {
        return std::nullopt;
    }
    // Shows a folder in the desktop's file manager; false when none opened it.
    virtual bool OpenFolder(const QString& path);
    // Puts `text` on the clipboard (and the X11 selection, where there is one).
    virtual void CopyText(const QString& text);
};

// A "Name (*.ext)|*.ext|" pair list as Qt's file-dialog filter ("Name (*.ext);;...").
QString QtFileFilter(const QString& pairs);

// The real boxes and dialogs. Each kind of file dialog (known by its filter) opens in the
// folder a file was last chosen from with it, remembered in `settingsFile` across runs (for
// this object's life only when the path is empty); the first time in `firstFolder` (the
// home folder when empty).
class QtOperatorPrompts final : public OperatorPrompts {
public:
    QtOperatorPrompts(QString firstFolder, std::filesystem::path settingsFile);

    void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                     Icon icon) override;
    bool ConfirmOkCancel(QWidget* parent, const QString& text, const QString& caption) override;
    std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& filter) override;
    std::optional<QString> ChooseSaveFile(QWidget* parent, const QString& filter) override;

private:
    RememberedFolders m_folders;
};

}  // namespace vantorel::console
