// Closing the window in the middle of a batch, with protocol time at real speed: the real
// sleeps (the staggered reboot, the wait for a rebooted handset, the 3000 ms between
// re-connection attempts, the wait after the download) and blocked reads are cut short, every
// link is closed and every worker has ended, while workers keep sending their notifications.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "tests/faults/fault_bench.h"
#include "tests/faults/fault_images.h"

namespace vantorel::faults {
namespace {

using emulator::BusHandset;
using emulator::HandsetConfig;
using emulator::HandsetFaults;

constexpr double kRealTime = 1.0;
constexpr auto kCloseBound = 3s;
// Only a deadlock reaches it; it ends the program with a word instead of a silent hang.
constexpr auto kHangGuard = 60s;

// Aborts the program if it is still alive after `bound`.
class HangGuard {
public:
    explicit HangGuard(const char* what)
        : m_thread([what](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any wake;
              std::unique_lock lock(mutex);
              if (!wake.wait_for(lock, stop, kHangGuard, [] { return false; }) &&
                  !stop.stop_requested()) {
                  std::fprintf(stderr, "hang: %s\n", what);
                  std::abort();
              }
          }) {}

private:
    std::jthread m_thread;
};

std::vector<std::string> Ports(int count) {
    std::vector<std::string> ports;
    for (int n = 1; n <= count; ++n) {
        ports.push_back("1-" + std::to_string(n));
    }
    return ports;
}

class ShutdownTest : public ::testing::TestWithParam<bool> {
protected:
    ShutdownTest() : bench(GetParam(), kRealTime) {}

    // Plugs eight handsets; the eighth attached starts the batch.
    void StartEight(const std::vector<HandsetConfig>& configs,
                    const std::vector<HandsetFaults>& faults) {
        ASSERT_TRUE(bench.AttachInOrder(Ports(console::kSlotCount), configs, faults));
        ASSERT_TRUE(bench.PumpUntil(
            [&] { return bench.CountSlots(console::SLOT_DOWNLOADING) == console::kSlotCount; }));
    }

    // Closes the window as the operator does, answering the confirmation with OK; how long
    // it took.
    std::chrono::steady_clock::duration CloseWindow() {
        bench.Dlg().show();
        const HangGuard guard("closing the window");
        const auto start = std::chrono::steady_clock::now();
        bench.Dlg().close();
        return std::chrono::steady_clock::now() - start;
    }

    void ExpectClosedCleanly(std::chrono::steady_clock::duration took) {
        EXPECT_LT(took, kCloseBound) << std::chrono::duration<double>(took).count() << " s";
        EXPECT_FALSE(bench.Dlg().isVisible());
        EXPECT_EQ(bench.prompts.confirmations,
                  std::vector<QString>{"Now Downloading! Quit Anyway?"});
        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            EXPECT_FALSE(bench.Dlg().m_pUsb[slot]->IsOpened()) << "slot " << slot + 1;
        }
        // The workers are gone: nothing reaches the logs any more.
        const std::string log = bench.MainLog();
        std::vector<std::string> bars;
        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            bars.push_back(bench.BarText(slot));
        }
        bench.Pump(300ms);
        EXPECT_EQ(bench.MainLog(), log);
        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            EXPECT_EQ(bench.BarText(slot), bars[slot]);
        }
        const auto calls = bench.sync.Calls();
        EXPECT_EQ(
            std::count_if(calls.begin(), calls.end(),
                          [](const std::string& call) { return call.starts_with("restart"); }),
            1);
    }

    FaultBench bench;
};

TEST_P(ShutdownTest, EightSlotsMidTransferCloseAtOnce) {
    bench.ChooseImages(SharedImages().chosen);
    std::vector<HandsetConfig> configs(console::kSlotCount);
    std::vector<HandsetFaults> faults(console::kSlotCount);
    // Slots 5 to 8 wait for an echo that never comes; slots 1 to 4 go on towards their
    // staggered reboots and the wait for their handsets.
    for (int slot = 4; slot < console::kSlotCount; ++slot) {
        faults[slot].missingReplyAtPacket = 2;
    }
    StartEight(configs, faults);
    ASSERT_TRUE(bench.PumpUntil([&] {
        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            const bool there =
                slot < 4 ? bench.MainLog().find("[Setup:" + std::to_string(slot + 1) +
                                                "] Try downloading again\r\n") != std::string::npos
                         : bench.Handset(slot).Record().dataPackets >= 3;
            if (!there) {
                return false;
            }
        }
        return true;
    }));
    ExpectClosedCleanly(CloseWindow());
}

TEST_P(ShutdownTest, SlotsWaitingForTheirRebootedHandsetsCloseAtOnce) {
    bench.ChooseImages(SharedImages().chosen);
    std::vector<HandsetConfig> configs(console::kSlotCount);
    std::vector<HandsetFaults> faults(console::kSlotCount);
    for (HandsetFaults& fault : faults) {
        fault.noReturnAfterReboot = true;
    }
    StartEight(configs, faults);
    // Slot 1's handset comes back held by another program: its worker tries to re-connect
    // every 3000 ms. Slot 2's never comes back: its worker waits for it. Slots 3 to 8 sleep
    // their turn before the reboot.
    BusHandset& first = bench.Handset(0);
    ASSERT_TRUE(bench.PumpUntil([&] { return first.HasLeft(); }));
    const auto cable = bench.bus.Plug(first.PortPath());
    const auto held = bench.bus.OpenExclusive(first.DevicePath());
    ASSERT_TRUE(held);
    ASSERT_TRUE(bench.PumpUntil([&] { return bench.Handset(1).HasLeft(); }));
    bench.Pump(100ms);
    EXPECT_NE(bench.MainLog().find("PDADetectEvent1\r\n"), std::string::npos);
    EXPECT_EQ(bench.MainLog().find("Device is Re-Connected"), std::string::npos);

    ExpectClosedCleanly(CloseWindow());
    bench.bus.Unplug(cable);
}

TEST_P(ShutdownTest, EightSlotsWaitingAfterTheDownloadCloseAtOnce) {
    bench.ChooseImages({SharedImages().chosen.front()});  // the boot loader alone: no reboot
    StartEight(std::vector<HandsetConfig>(console::kSlotCount),
               std::vector<HandsetFaults>(console::kSlotCount));
    ASSERT_TRUE(bench.PumpUntil([&] {
        for (int slot = 0; slot < console::kSlotCount; ++slot) {
            if (bench.BarText(slot) != "Waiting for booting process....") {
                return false;
            }
        }
        return true;
    }));
    ExpectClosedCleanly(CloseWindow());
}

// Eight flash writes report progress every 20 ms, each a notification the worker waits on
// while the window closes: no deadlock between them and the closing dialog.
class NotificationStormTest : public ::testing::TestWithParam<bool> {
protected:
    static HandsetConfig ManySteps() {
        HandsetConfig config;
        config.flashProgress.clear();
        for (uint8_t percent = 1; percent <= 100; ++percent) {
            config.flashProgress.push_back(percent);
        }
        return config;
    }

    void StartFlashing(FaultBench& bench) {
        // The modem image alone: no boot loader, no reboot; its flash reports 100 steps.
        bench.ChooseImages({SharedImages().chosen.back()});
        ASSERT_TRUE(
            bench.AttachInOrder(Ports(console::kSlotCount),
                                std::vector<HandsetConfig>(console::kSlotCount, ManySteps()),
                                std::vector<HandsetFaults>(console::kSlotCount)));
        ASSERT_TRUE(bench.PumpUntil([&] {
            for (int slot = 0; slot < console::kSlotCount; ++slot) {
                if (!bench.BarText(slot).starts_with("Writing Phone to flash") ||
                    bench.Dlg().m_prgSlot[slot]->GetPos() < 5) {
                    return false;
                }
            }
            return true;
        }));
    }
};

TEST_P(NotificationStormTest, ClosingTheWindowEndsEveryWorker) {
    FaultBench bench(GetParam(), kRealTime);
    StartFlashing(bench);
    bench.Dlg().show();
    const HangGuard guard("closing the window during notifications");
    const auto start = std::chrono::steady_clock::now();
    bench.Dlg().close();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, kCloseBound);
    EXPECT_FALSE(bench.Dlg().isVisible());
    for (int slot = 0; slot < console::kSlotCount; ++slot) {
        EXPECT_FALSE(bench.Dlg().m_pUsb[slot]->IsOpened());
        EXPECT_LT(bench.Dlg().m_prgSlot[slot]->GetPos(), 100) << "closed mid-flash";
    }
}

TEST_P(NotificationStormTest, DestroyingTheDialogReleasesEveryHandset) {
    FaultBench bench(GetParam(), kRealTime);
    StartFlashing(bench);
    {
        const HangGuard guard("destroying the dialog during notifications");
        const auto start = std::chrono::steady_clock::now();
        bench.DestroyDialog();
        EXPECT_LT(std::chrono::steady_clock::now() - start, kCloseBound);
    }
    // No link holds a handset any more: another program can open each of them.
    for (int slot = 0; slot < console::kSlotCount; ++slot) {
        EXPECT_TRUE(bench.bus.OpenExclusive(bench.Handset(slot).DevicePath()))
            << "slot " << slot + 1;
    }
}

const auto kLinkName = [](const ::testing::TestParamInfo<bool>& info) {
    return std::string(info.param ? "Bulk" : "SerialStyle");
};
INSTANTIATE_TEST_SUITE_P(BothLinks, ShutdownTest, ::testing::Bool(), kLinkName);
INSTANTIATE_TEST_SUITE_P(BothLinks, NotificationStormTest, ::testing::Bool(), kLinkName);

}  // namespace
}  // namespace vantorel::faults
