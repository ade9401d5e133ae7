#pragma once

#include <optional>
#include <string>

namespace vantorel::images {

enum class MessageIcon { kNone, kError };

// A message box to show: OK button only.
struct Message {
    std::string text;
    std::string caption;  // empty: the application's title
    MessageIcon icon = MessageIcon::kNone;
    bool operator==(const Message&) const = default;
};

// What the image selection needs of the window it sits in. The console implements it with
// its widgets; the tests with recorders. Every call comes on the dialog's thread.
class SelectionView {
public:
    virtual ~SelectionView() = default;

    virtual void AppendMainLog(const std::string& line) = 0;
    // The second log, which shows the chosen CSC image's information.
    virtual void ClearAuxLog() = 0;
    virtual void AppendAuxLog(const std::string& line) = 0;
    virtual void SetAuxLogVisible(bool visible) = 0;
    // The Detect button.
    virtual void SetDetectEnabled(bool enabled) = 0;
    virtual void ShowMessage(const Message& message) = 0;
    // Copy the selection's paths and drop-downs into the controls now: a file dialog is
    // about to open over the window and the path box should read "File Loading...".
    virtual void ShowSelection() = 0;
    // The open-file dialog for existing files only, read-only files hidden, with `filter`
    // ("Name (*.ext)|*.ext|" pairs); nullopt when the operator cancels it.
    virtual std::optional<std::string> ChooseFile(const std::string& filter) = 0;
};

}  // namespace vantorel::images
