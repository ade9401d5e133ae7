#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include "console/control_ids.h"
#include "console/log_view.h"
#include "console/vantorel_dlg.h"

namespace vantorel::test {

// Log lines reach the views once per frame: handles the dialog's events until both shown
// logs have handed their views everything (two seconds at most), then returns the text of
// the view `viewId` (the main or the second log).
inline QString ShownLogText(const console::CVantorelDlg& dlg, int viewId) {
    QElapsedTimer waited;
    waited.start();
    while ((dlg.m_logs.HasPending(console::ShownLog::Main) ||
            dlg.m_logs.HasPending(console::ShownLog::Aux)) &&
           waited.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return dlg.Controls().As<console::CLogView>(viewId)->Text();
}

}  // namespace vantorel::test
