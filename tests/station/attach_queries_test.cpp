// What the attach asks a greeted handset: its boot loader's version and the UGM flag. The
// attach runs on the dialog thread, so a handset that answers the greeting and then hangs
// must not freeze the whole window with it.
#include <gtest/gtest.h>

#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/boot_loader_protocol.h"
#include "tests/station/e2e_fixture.h"

namespace vantorel::console::test {
namespace {

using namespace std::chrono_literals;

class AttachQueriesTest : public E2eTest {
protected:
    // The boot loader chosen (so the attach asks for its version), then Detect.
    void ChooseBootLoaderAndDetect() {
        const samples::SampleSet set = WriteSamples();
        ChooseImage(ctl::kEbootButton, set.eboot);
        PressDetect();
    }

    // Plugs a handset that hangs at `command` in at port 1-1 and handles the window's events
    // until the station has written `errorLine` and a timer of the window has fired a few
    // times since, the handset still plugged in. A dialog thread stuck in a read is freed by
    // a watchdog that pulls the handset, so a hang fails the test instead of stalling it.
    void ExpectWindowRunsOn(uint32_t command, const std::string& errorLine) {
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);

        emulator::HandsetFaults faults;
        faults.silentFromCommand = command;
        emulator::BusHandset& handset = Plug("1-1", {}, faults);
        bool bPulledByWatchdog = false;  // read after the join
        std::jthread watchdog([&](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any never;
            std::unique_lock lock(mutex);
            if (!never.wait_for(lock, stop, 15s, [&] { return stop.stop_requested(); })) {
                bPulledByWatchdog = true;
                handset.Unplug();
            }
        });

        int ticksAtGiveUp = -1;
        const bool bRanOn = PumpUntil([&] {
            if (ticksAtGiveUp < 0 && MainLogHas(errorLine)) {
                ticksAtGiveUp = ticks;
            }
            return ticksAtGiveUp >= 0 && ticks >= ticksAtGiveUp + 3;
        });
        watchdog.request_stop();
        watchdog.join();
        EXPECT_FALSE(bPulledByWatchdog) << "the window came free only when the handset was pulled";
        ASSERT_TRUE(bRanOn) << MainLog();
        EXPECT_TRUE(handset.IsPlugged());
        EXPECT_EQ(CommandCodes(handset).back(), command);
    }

    // The slot is as free as after a refused greeting.
    void ExpectSlotStaysFree() {
        EXPECT_EQ(dlg->m_nDetectedCount, 0);
        EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_WAITING);
        EXPECT_EQ(dlg->m_stackFreeSlots.Top(), 0);
        EXPECT_FALSE(dlg->m_pUsb[0]->IsOpened());
        EXPECT_EQ(LabelColour(0), kWaitingColour);
        EXPECT_FALSE(dlg->GetDlgItem(ctl::kStartDownloading)->isEnabled());
        EXPECT_EQ(SlotLog(0).find("PDA Device detected"), std::string::npos);
    }
};

TEST_P(AttachQueriesTest, AHandsetIsAskedItsVersionAndBothUgmFlagsInOrderBeforeItIsReady) {
    ChooseBootLoaderAndDetect();
    dlg->m_options.m_bSetUgm = 1;
    dlg->m_options.m_bClrUgm = 1;
    const emulator::BusHandset& handset = Attach(1);
    EXPECT_EQ(dlg->m_aSlotStatus[0].nState, SLOT_READY);
    EXPECT_EQ(handset.Record().ugmFlags, (std::vector<uint32_t>{1, 0}));
    const std::string log = MainLog();
    const size_t version = log.find("[Setup:1] Target Device EBOOT version = T4K9\r\n");
    const size_t set = log.find("[UGM:1] Set UGM:1\r\n");
    const size_t cleared = log.find("[UGM:1] Set UGM:0\r\n");
    ASSERT_NE(cleared, std::string::npos) << log;
    EXPECT_LT(version, set);
    EXPECT_LT(set, cleared);
}

TEST_P(AttachQueriesTest, SilentAtTheVersionQueryItLeavesTheWindowRunningAndItsSlotFree) {
    ChooseBootLoaderAndDetect();
    ExpectWindowRunsOn(engine::kCmdVersionQuery,
                       "[Error:1] No answer to the version query. TimeOut:3\r\n");
    ExpectSlotStaysFree();
    EXPECT_FALSE(MainLogHas("Target Device EBOOT version"));
}

TEST_P(AttachQueriesTest, SilentAtTheUgmCommandItLeavesTheWindowRunningAndItsSlotFree) {
    ChooseBootLoaderAndDetect();
    dlg->m_options.m_bSetUgm = 1;  // a hidden option: the member is what the attach reads
    ExpectWindowRunsOn(engine::kCmdUgmFlag,
                       "[Error:1] No answer to the UGM command. TimeOut:3\r\n");
    ExpectSlotStaysFree();
    EXPECT_TRUE(MainLogHas("[Setup:1] Target Device EBOOT version = T4K9\r\n"));
    EXPECT_FALSE(MainLogHas("[UGM:1] Set UGM:1"));
}

INSTANTIATE_TEST_SUITE_P(BothLinks, AttachQueriesTest, ::testing::Bool(), LinkName);

}  // namespace
}  // namespace vantorel::console::test
