// The main, second and slot logs.
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <cstdarg>

#include "base/text_format.h"
#include "console/log_dialog.h"
#include "console/log_text.h"
#include "console/log_view.h"
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

void CVantorelDlg::AppendFailureLogText(std::string_view text) {
    m_failureReasons.Note(WorkerSlotOfThisThread(), text);
    AppendMainLogText(text);
}

void CVantorelDlg::AppendMainLogText(std::string_view text) {
    std::lock_guard order(m_logOrder);
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
    m_pAuxLogView->Clear();
}

void CVantorelDlg::AppendSlotLogText(int slot, std::string_view text) {
    std::lock_guard order(m_logOrder);
    m_logs.AppendSlot(slot, text);
    if (m_records) {
        m_records->AppendSlotLog(slot, text);
    }
}

namespace {

// One frame of a 60 Hz screen: lines that come faster than the eye reads are handed to the
// view together, so a storm of them costs one append, one scroll and one paint per frame.
constexpr int kLogFrameMs = 16;
// What one frame hands a view at most (some 2,000 lines): however many lines a storm leaves
// waiting, no single frame converts and wraps all of them.
constexpr size_t kLogFrameBytes = 64 * 1024;

}  // namespace

// The log keeps every line at once; its view is handed the new text at the next frame, in
// one go and in order, from whichever thread the lines came.
void CVantorelDlg::AppendShownLog(ShownLog log, std::string_view text) {
    if (!m_logs.Append(log, text)) {
        return;  // a frame is already due for what was waiting
    }
    const auto armFrame = [this] {
        if (!m_pLogFrameTimer->isActive()) {
            m_pLogFrameTimer->start(kLogFrameMs);
        }
    };
    if (QThread::currentThread() == thread()) {
        armFrame();
    } else {
        QMetaObject::invokeMethod(this, armFrame, Qt::QueuedConnection);
    }
}

void CVantorelDlg::FlushShownLogs() {
    FlushShownLog(ShownLog::Main);
    FlushShownLog(ShownLog::Aux);
    // A storm left more than a frame's worth: the rest goes with the next frames. Appends
    // meanwhile see lines waiting and leave the scheduling to this.
    if (m_logs.HasPending(ShownLog::Main) || m_logs.HasPending(ShownLog::Aux)) {
        m_pLogFrameTimer->start(kLogFrameMs);
    }
}

void CVantorelDlg::FlushShownLog(ShownLog log) {
    const std::string pending = m_logs.TakePending(log, kLogFrameBytes);
    if (pending.empty()) {
        return;
    }
    CLogView* view = log == ShownLog::Main ? m_pMainLogView : m_pAuxLogView;
    view->AppendText(LogTextForDisplay(pending));
}

void CVantorelDlg::OnBnClickedSeeLog(int slot) {
    CLogDialog viewer(slot, QString::fromStdString(m_logs.SlotText(slot)), this);
    viewer.exec();
}

}  // namespace vantorel::console
