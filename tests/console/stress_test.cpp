#include <gtest/gtest.h>

#include <QApplication>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/console/console_fixture.h"

namespace vantorel::console::test {
namespace {

using StressTest = ConsoleTest;

// Eight workers each send 10,000 notifications and log lines while the dialog thread logs
// too. Every notification is handled before its sender goes on, nothing deadlocks, and the
// batch ends exactly once, after the last slot.
TEST_F(StressTest, EightWorkersAndTheDialogThreadTogether) {
    constexpr int kNotifications = 10000;
    StartBatch({0, 1, 2, 3, 4, 5, 6, 7});

    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        workers.emplace_back([this, slot, &finished] {
            dlg->m_aSlotStatus[slot].nImageKind = IMG_PDA;
            for (int i = 0; i < kNotifications - 2; ++i) {
                dlg->SendSlotStatus(i % 2 == 0 ? 204 : 206,
                                    engine::MakeStatusParam(slot, static_cast<uint32_t>(i % 101)));
                if (i % 500 == 0) {
                    dlg->AppendMainLog("[PDA:%d] %d\r\n", slot + 1, i);
                }
            }
            if (slot % 2 == 0) {
                dlg->SendSlotStatus(518, engine::MakeStatusParam(slot, 0));
                dlg->SendSlotStatus(205, engine::MakeStatusParam(slot, 0));
            } else {
                // A failure reported twice, as a flash write on a closed link does.
                dlg->SendSlotStatus(210, engine::MakeStatusParam(slot, 40));
                dlg->SendSlotStatus(210, engine::MakeStatusParam(slot, 40));
            }
            ++finished;
        });
    }

    int dialogLines = 0;
    while (finished.load() < kSlotCount) {
        dlg->AppendMainLog("[Setup] dialog %d\r\n", dialogLines++);
        QApplication::processEvents();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    QApplication::processEvents();

    EXPECT_EQ(dlg->m_nSuccessCount, 4);
    EXPECT_EQ(dlg->m_nFailCount, 4);
    const std::string log = MainLog();
    const std::string endLine = "All Download finished. But failed device is detected \r\n";
    const size_t end = log.find(endLine);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(log.find(endLine, end + 1), std::string::npos) << "the batch ends once";

    size_t workerLines = 0;
    size_t dialogSeen = 0;
    for (size_t at = log.find("[PDA:"); at != std::string::npos; at = log.find("[PDA:", at + 1)) {
        ++workerLines;
    }
    for (size_t at = log.find("[Setup] dialog"); at != std::string::npos;
         at = log.find("[Setup] dialog", at + 1)) {
        ++dialogSeen;
    }
    EXPECT_EQ(workerLines, static_cast<size_t>(kSlotCount * ((kNotifications - 2 + 499) / 500)));
    EXPECT_EQ(dialogSeen, static_cast<size_t>(dialogLines));
    EXPECT_EQ(MainLogText(), QString::fromStdString(log).remove('\r'));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(dlg->m_aSlotStatus[slot].nState, slot % 2 == 0 ? SLOT_DONE : SLOT_FAILED);
    }
}

}  // namespace
}  // namespace vantorel::console::test
