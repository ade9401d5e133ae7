#include "console/dialog_message_sink.h"

#include <QWidget>

#include "console/dialog_thread.h"
#include "console/operator_prompts.h"

namespace vantorel::console {

void DialogMessageSink::ShowMessage(const std::string& text, const std::string& caption) {
    RunOnOwnerThread(m_dialog, [&] {
        m_prompts.ShowMessage(&m_dialog, QString::fromStdString(text),
                              QString::fromStdString(caption), OperatorPrompts::Icon::None);
    });
}

}  // namespace vantorel::console
