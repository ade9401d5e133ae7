#pragma once

#include <memory>

#include "base/clock.h"
#include "console/console_prompts.h"
#include "console/operator_prompts.h"
#include "console/vantorel_dlg.h"
#include "link/platform/emulated/emulated_bus.h"

namespace vantorel::benchmarks {

// What the dialog runs on in a benchmark: the links' openers and the hot-plug source.
struct ConsolePlatform {
    link::DeviceDirectory& directory;
    link::SerialOpener& serial;
    link::BulkOpener& bulk;
    bool bBulkLinkOffered;
    Clock clock;
    link::HotplugMonitor* hotplug;
};

// The main dialog initialised as at start-up and shown offscreen, so its widgets paint as
// they would; no prompt ever waits for a person and no records are kept.
class ShownConsole {
public:
    // On a bus of its own with no handset and no hot-plug source.
    ShownConsole();
    explicit ShownConsole(const ConsolePlatform& platform);
    ~ShownConsole();
    ShownConsole(const ShownConsole&) = delete;
    ShownConsole& operator=(const ShownConsole&) = delete;

    console::CVantorelDlg& Dlg() { return *m_dlg; }
    console::OperatorPrompts& Prompts() { return m_prompts; }

private:
    class SilentPrompts final : public console::OperatorPrompts {
    public:
        void ShowMessage(QWidget*, const QString&, const QString&, Icon) override {}
        bool ConfirmOkCancel(QWidget*, const QString&, const QString&) override { return true; }
        std::optional<QString> ChooseOpenFile(QWidget*, const QString&) override {
            return std::nullopt;
        }
    };

    link::emulated::EmulatedBus m_ownBus;
    console::BenchSyncService m_sync;
    SilentPrompts m_prompts;
    std::unique_ptr<console::CVantorelDlg> m_dlg;
};

}  // namespace vantorel::benchmarks
