#include "host/vantorel_app.h"

#include <memory>

#include "console/string_resource.h"
#include "console/vantorel_dlg.h"
#include "resources/string_table.h"

namespace vantorel::host {

CVantorelApp::CVantorelApp(int& argc, char** argv, const console::ConsoleEnvironment& environment)
    : QApplication(argc, argv), m_environment(environment) {
    setApplicationName(console::StringResource(resources::IDS_APP_TITLE));
    setWindowIcon(console::StationIcon());
}

bool CVantorelApp::InitInstance() {
    // Large (eight slots with their links and logs), so it lives on the heap for exactly
    // the modal loop.
    auto dialog = std::make_unique<console::CVantorelDlg>(m_environment);
    m_pMainWnd = dialog.get();
    dialog->SetStationObserver(m_pObserver);
    if (m_mainWindowHook) {
        dialog->OnInitDialog();  // its main log as it opens (DoModal does not do it again)
        m_mainWindowHook(dialog.get());
    }
    dialog->DoModal();
    if (m_mainWindowHook) {
        m_mainWindowHook(nullptr);
    }
    m_pMainWnd = nullptr;
    return false;
}

int CVantorelApp::ExitInstance() {
    return 0;
}

}  // namespace vantorel::host
