// The main, second and slot logs.
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <cstdarg>

#include "base/text_format.h"
#include "console/log_dialog.h"
#include "console/log_text.h"
#include "console/vantorel_dlg.h"

namespace vantorel::console {

void CVantorelDlg::AppendMainLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatTextV(format, args);
    va_end(args);
    AppendMainLogText(text);
}

void CVantorelDlg::AppendSlotLog(int slot, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatTextV(format, args);
    va_end(args);
    AppendSlotLogText(slot, text);
}

void CVantorelDlg::AppendAuxLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = FormatTextV(format, args);
    va_end(args);
    AppendAuxLogText(text);
}

void CVantorelDlg::AppendMainLogText(std::string_view text) {
    m_failureReasons.Note(WorkerSlotOfThisThread(), text);
    AppendShownLog(ShownLog::Main, text);
    if (m_records) {
        m_records->AppendMainLog(text);
    }
}

void CVantorelDlg::AppendAuxLogText(std::string_view text) {
    AppendShownLog(ShownLog::Aux, text);
}

void CVantorelDlg::ClearAuxLog() {
    m_logs.Clear(ShownLog::Aux);
    m_pAuxLogEdit->clear();
}

void CVantorelDlg::AppendSlotLogText(int slot, std::string_view text) {
    m_logs.AppendSlot(slot, text);
    if (m_records) {
        m_records->AppendSlotLog(slot, text);
    }
}

// The log keeps every line; its edit is handed only the new text, on the dialog thread.
// Lines from workers pile up until the dialog thread takes them in one go, in order.
void CVantorelDlg::AppendShownLog(ShownLog log, std::string_view text) {
    const bool bFirstPending = m_logs.Append(log, text);
    if (QThread::currentThread() == thread()) {
        FlushShownLog(log);
    } else if (bFirstPending) {
        QMetaObject::invokeMethod(
            this, [this, log] { FlushShownLog(log); }, Qt::QueuedConnection);
    }
}

void CVantorelDlg::FlushShownLog(ShownLog log) {
    const std::string pending = m_logs.TakePending(log);
    if (pending.empty()) {
        return;
    }
    QPlainTextEdit* edit = log == ShownLog::Main ? m_pMainLogEdit : m_pAuxLogEdit;
    QTextCursor end(edit->document());
    end.movePosition(QTextCursor::End);
    end.insertText(LogTextForDisplay(pending));
    QScrollBar* scroll = edit->verticalScrollBar();
    scroll->setValue(scroll->maximum());
}

void CVantorelDlg::OnBnClickedSeeLog(int slot) {
    CLogDialog viewer(slot, QString::fromStdString(m_logs.SlotText(slot)), this);
    viewer.exec();
}

}  // namespace vantorel::console
