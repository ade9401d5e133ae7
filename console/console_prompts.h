#pragma once

#include <cstdio>

#include "console/operator_prompts.h"
#include "console/sync_service_controller.h"

namespace vantorel::console {

// The boxes of a station that runs without a window: every message is written to `out`, a
// confirmation is answered OK (the script only closes the station when it is done with it),
// and no file dialog can come up.
class ConsolePrompts final : public OperatorPrompts {
public:
    explicit ConsolePrompts(std::FILE* out = stderr) : m_out(out) {}

    void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                     Icon icon) override;
    bool ConfirmOkCancel(QWidget* parent, const QString& text, const QString& caption) override;
    std::optional<QString> ChooseOpenFile(QWidget* parent, const QString& filter) override;

private:
    std::FILE* m_out;
};

// The bench leaves the host's programs alone: its handsets are emulated, and stopping the
// desktop's modem manager for them would only surprise whoever runs it.
class BenchSyncService final : public SyncServiceController {
public:
    void StopSyncProcesses(bool) override {}
    void RestartSyncProcesses(bool) override {}
};

}  // namespace vantorel::console
