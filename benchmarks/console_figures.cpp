#include "benchmarks/console_figures.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QScrollBar>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "benchmarks/shown_console.h"
#include "benchmarks/thread_cpu.h"
#include "console/log_view.h"
#include "console/station_script.h"
#include "console/vantorel_dlg.h"

namespace vantorel::benchmarks {

namespace {

using console::CVantorelDlg;

}  // namespace

MainLogAppends MeasureMainLogAppends(int lines) {
    constexpr int kBlock = 1000;
    ShownConsole window;
    CVantorelDlg& dlg = window.Dlg();
    const auto& view = *qobject_cast<console::CLogView*>(dlg.GetDlgItem(console::ctl::kMainLog));
    // One line shown and painted first, so that the first block pays for its own lines and
    // not for the first glyphs the view ever drew.
    dlg.AppendMainLog("[Setup] the measured lines follow\r\n");
    console::StationScript::WaitUntil([&] { return view.LineCount() > 1; },
                                      std::chrono::seconds(10));
    QApplication::processEvents();
    const size_t before = dlg.m_logs.Text(console::ShownLog::Main).size();
    const qsizetype shownBefore = view.LineCount();

    // Block after block, each followed by the event loop until the view shows it: the cost
    // of a line is its append and its share of putting it on screen, in the dialog's CPU.
    MainLogAppends result;
    std::vector<double> blockSeconds;
    const double start = ThreadCpuSeconds();
    for (int line = 0; line < lines;) {
        const double blockStart = ThreadCpuSeconds();
        const int blockEnd = std::min(lines, line + kBlock);
        for (; line < blockEnd; ++line) {
            dlg.AppendMainLog("[PDA:%d] %d turn write complete\r\n", line % 8 + 1, line);
        }
        console::StationScript::WaitUntil([&] { return view.LineCount() >= shownBefore + line; },
                                          std::chrono::seconds(10));
        // The paint the new lines asked for is posted behind them: it belongs to this block,
        // not to the next one (the first block would have none, the last block two).
        QApplication::processEvents();
        blockSeconds.push_back(ThreadCpuSeconds() - blockStart);
    }
    result.totalSeconds = ThreadCpuSeconds() - start;
    result.firstThousandSeconds = blockSeconds.front();
    result.lastThousandSeconds = blockSeconds.back();

    const std::string text = dlg.m_logs.Text(console::ShownLog::Main);
    size_t counted = 0;
    for (size_t at = text.find("turn write complete", before); at != std::string::npos;
         at = text.find("turn write complete", at + 1)) {
        ++counted;
    }
    result.ok = counted == static_cast<size_t>(lines) &&
                view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum();
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
