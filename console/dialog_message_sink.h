#pragma once

#include "link/message_sink.h"

class QWidget;

namespace vantorel::console {

class OperatorPrompts;

// The links' message boxes, shown by the dialog's thread: a caller on another thread waits
// until the operator has dismissed the box.
class DialogMessageSink final : public link::MessageSink {
public:
    DialogMessageSink(QWidget& dialog, OperatorPrompts& prompts)
        : m_dialog(dialog), m_prompts(prompts) {}

    void ShowMessage(const std::string& text, const std::string& caption = {}) override;

private:
    QWidget& m_dialog;
    OperatorPrompts& m_prompts;
};

}  // namespace vantorel::console
