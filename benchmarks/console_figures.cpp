#include "benchmarks/console_figures.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "benchmarks/thread_cpu.h"
#include "console/console_environment.h"
#include "console/operator_prompts.h"
#include "console/sync_service_controller.h"
#include "console/vantorel_dlg.h"
#include "link/platform/emulated/emulated_bus.h"

namespace vantorel::benchmarks {

namespace {

using console::CVantorelDlg;

class SilentPrompts final : public console::OperatorPrompts {
public:
    void ShowMessage(QWidget*, const QString&, const QString&, Icon) override {}
    bool ConfirmOkCancel(QWidget*, const QString&, const QString&) override { return true; }
    std::optional<QString> ChooseOpenFile(QWidget*, const QString&) override {
        return std::nullopt;
    }
};

class NoSyncPrograms final : public console::SyncServiceController {
public:
    void StopSyncProcesses(bool) override {}
    void RestartSyncProcesses(bool) override {}
};

// The main dialog initialised as at start-up and shown, so its widgets paint as they would.
class ShownConsole {
public:
    ShownConsole() {
        console::ConsoleEnvironment environment{.directory = m_bus,
                                                .serial = m_bus,
                                                .bulk = m_bus,
                                                .bBulkLinkOffered = false,
                                                .clock = Clock{0.0},
                                                .sync = m_sync,
                                                .prompts = m_prompts,
                                                .hotplug = nullptr};
        m_dlg = std::make_unique<CVantorelDlg>(environment);
        m_dlg->OnInitDialog();
        m_dlg->show();
        QApplication::processEvents();
    }
    ~ShownConsole() {
        m_dlg->hide();
        m_dlg.reset();
    }
    CVantorelDlg& Dlg() { return *m_dlg; }

private:
    link::emulated::EmulatedBus m_bus;
    NoSyncPrograms m_sync;
    SilentPrompts m_prompts;
    std::unique_ptr<CVantorelDlg> m_dlg;
};

}  // namespace

MainLogAppends MeasureMainLogAppends(int lines) {
    constexpr int kBlock = 1000;
    ShownConsole shown;
    CVantorelDlg& dlg = shown.Dlg();
    const size_t before = dlg.m_logs.Text(console::ShownLog::Main).size();

    MainLogAppends result;
    const double start = WallSeconds();
    double blockStart = start;
    for (int line = 0; line < lines; ++line) {
        dlg.AppendMainLog("[PDA:%d] %d turn write complete\r\n", line % 8 + 1, line);
        if (line + 1 == kBlock) {
            result.firstThousandSeconds = WallSeconds() - blockStart;
        }
        if (line + 1 == lines - kBlock) {
            blockStart = WallSeconds();
        }
    }
    const double end = WallSeconds();
    result.totalSeconds = end - start;
    result.lastThousandSeconds = end - blockStart;
    QApplication::processEvents();

    const std::string text = dlg.m_logs.Text(console::ShownLog::Main);
    size_t counted = 0;
    for (size_t at = text.find("turn write complete", before); at != std::string::npos;
         at = text.find("turn write complete", at + 1)) {
        ++counted;
    }
    result.ok = counted == static_cast<size_t>(lines);
    return result;
}

StatusHandling MeasureStatusNotifications(int perWorker) {
    constexpr int kWorkers = 8;
    ShownConsole shown;
    CVantorelDlg& dlg = shown.Dlg();
    for (int slot = 0; slot < kWorkers; ++slot) {
        dlg.m_aSlotStatus[slot].nState = console::SLOT_DOWNLOADING;
        dlg.m_aSlotStatus[slot].nImageKind = engine::IMG_PDA;
    }

    // RAM progress and flash progress in turn, as a PDA turn sends them.
    const auto notification = [](int i) {
        return i % 2 == 0 ? engine::kStatusRamProgress : engine::kStatusFlashProgress;
    };

    StatusHandling result;
    {
        const double cpu0 = ThreadCpuSeconds();
        for (int i = 0; i < perWorker; ++i) {
            dlg.SendSlotStatus(notification(i), engine::MakeStatusParam(
                                                    i % kWorkers, static_cast<uint32_t>(i % 101)));
        }
        result.directMicros = (ThreadCpuSeconds() - cpu0) * 1e6 / perWorker;
        QApplication::processEvents();
    }

    QEventLoop loop;
    std::atomic<int> running{kWorkers};
    std::vector<std::jthread> workers;
    const double wall0 = WallSeconds();
    const double cpu0 = ThreadCpuSeconds();
    for (int slot = 0; slot < kWorkers; ++slot) {
        workers.emplace_back([&, slot] {
            for (int i = 0; i < perWorker; ++i) {
                dlg.SendSlotStatus(notification(i),
                                   engine::MakeStatusParam(slot, static_cast<uint32_t>(i % 101)));
            }
            if (--running == 0) {
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }
        });
    }
    loop.exec();
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall = WallSeconds() - wall0;
    workers.clear();
    QApplication::processEvents();

    const double count = static_cast<double>(kWorkers) * perWorker;
    result.dialogCpuMicros = cpu * 1e6 / count;
    result.wallMicros = wall * 1e6 / count;
    result.ok = dlg.m_nSuccessCount == 0 && dlg.m_nFailCount == 0;
    for (int slot = 0; slot < kWorkers; ++slot) {
        result.ok = result.ok && dlg.m_aSlotStatus[slot].nState == console::SLOT_DOWNLOADING;
    }
    return result;
}

}  // namespace vantorel::benchmarks
