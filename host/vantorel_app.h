#pragma once

#include <QApplication>
#include <functional>

#include "console/console_environment.h"
#include "console/station_observer.h"

namespace vantorel::console {
class CVantorelDlg;
}

namespace vantorel::host {

// The application: it runs the main dialog modally and ends with it. Its name, string
// 57344, is the caption of every message box shown without one of its own.
class CVantorelApp : public QApplication {
public:
    CVantorelApp(int& argc, char** argv, const console::ConsoleEnvironment& environment);

    // Runs the main dialog until it closes; always false, so no other event loop follows.
    bool InitInstance();
    // The process's exit code.
    int ExitInstance();

    console::CVantorelDlg* MainWindow() const { return m_pMainWnd; }
    // Who else is told what the window shows; it outlives the dialog.
    void SetStationObserver(console::StationObserver* observer) { m_pObserver = observer; }
    // Told of the main dialog once it is set up, and with null just before it goes: what
    // speaks to its main log from other threads starts and stops there.
    void SetMainWindowHook(std::function<void(console::CVantorelDlg*)> hook) {
        m_mainWindowHook = std::move(hook);
    }

private:
    console::ConsoleEnvironment m_environment;
    console::CVantorelDlg* m_pMainWnd = nullptr;
    console::StationObserver* m_pObserver = nullptr;
    std::function<void(console::CVantorelDlg*)> m_mainWindowHook;
};

}  // namespace vantorel::host
