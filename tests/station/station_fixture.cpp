#include "tests/station/station_fixture.h"

#include <thread>

namespace vantorel::console::test {

void StationTest::MakeDialog(bool bBulkLinkOffered) {
    dlg = std::make_unique<CVantorelDlg>(ConsoleEnvironment{
        bus, bus, bus, bBulkLinkOffered, clock, sync, prompts, &hotplug, {}, settingsFile});
    dlg->OnInitDialog();
}

void StationTest::TearDown() {
    if (dlg) {
        dlg->StopWorkers();
    }
    handsets.clear();  // handsets leave the bus before the dialog goes
    dlg.reset();
}

bool StationTest::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void StationTest::Pump(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    PumpUntil([&] { return std::chrono::steady_clock::now() > until; }, duration * 2);
}

emulator::BusHandset& StationTest::Plug(const std::string& port, emulator::HandsetConfig config,
                                        emulator::HandsetFaults faults) {
    handsets.push_back(std::make_unique<emulator::BusHandset>(bus, port, clock, config, faults));
    handsets.back()->Plug();
    EXPECT_TRUE(handsets.back()->WaitUntilPlugged(std::chrono::seconds(5)));
    return *handsets.back();
}

int StationTest::CountSlots(int32_t state) const {
    int count = 0;
    for (const auto& status : dlg->m_aSlotStatus) {
        count += status.nState == state ? 1 : 0;
    }
    return count;
}

bool StationTest::WaitForAttached(int count) {
    return PumpUntil([&] { return dlg->m_nDetectedCount >= count; });
}

std::string StationTest::SlotLog(int slot) const {
    return dlg->m_logs.SlotText(slot);
}

}  // namespace vantorel::console::test
