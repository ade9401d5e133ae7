#include "benchmarks/shown_console.h"

#include <QApplication>

#include "console/console_environment.h"

namespace vantorel::benchmarks {

ShownConsole::ShownConsole()
    : ShownConsole(ConsolePlatform{m_ownBus, m_ownBus, m_ownBus, false, Clock{0.0}, nullptr}) {}

ShownConsole::ShownConsole(const ConsolePlatform& platform) {
    const console::ConsoleEnvironment environment{.directory = platform.directory,
                                                  .serial = platform.serial,
                                                  .bulk = platform.bulk,
                                                  .bBulkLinkOffered = platform.bBulkLinkOffered,
                                                  .clock = platform.clock,
                                                  .sync = m_sync,
                                                  .prompts = m_prompts,
                                                  .hotplug = platform.hotplug};
    m_dlg = std::make_unique<console::CVantorelDlg>(environment);
    m_dlg->OnInitDialog();
    m_dlg->show();
    QApplication::processEvents();
}

ShownConsole::~ShownConsole() {
    m_dlg->hide();
    m_dlg.reset();
}

}  // namespace vantorel::benchmarks
