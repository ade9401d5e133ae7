#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "host/sync_process_control.h"

namespace vantorel::host {
namespace {

// A process table the test writes; signals and starts are only recorded.
class FakeProcessTable final : public ProcessTable {
public:
    std::optional<std::vector<ProcessEntry>> Snapshot() override {
        ++snapshots;
        return running;
    }
    bool Terminate(int pid) override {
        terminated.push_back(pid);
        if (unsignallable.contains(pid)) {
            return false;
        }
        std::erase_if(running, [pid](const ProcessEntry& p) { return p.pid == pid; });
        return true;
    }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return true;
    }
    bool RunHidden(const std::vector<std::string>& argv) override {
        hidden.push_back(argv);
        return true;
    }

    std::vector<ProcessEntry> running;
    std::set<int> unsignallable;
    int snapshots = 0;
    std::vector<int> terminated;
    std::vector<std::string> started;
    std::vector<std::vector<std::string>> hidden;
};

constexpr const char* kModemManager = "/usr/sbin/ModemManager";
constexpr const char* kMtpMonitor = "/usr/libexec/gvfs-mtp-volume-monitor";

class SyncProcessControlTest : public ::testing::Test {
protected:
    FakeProcessTable table;
    CSyncProcessControl control{table};
};

TEST_F(SyncProcessControlTest, WithNeitherRunningNothingIsEndedOrStarted) {
    table.running = {{1, "/sbin/init"}, {200, "/usr/bin/bash"}, {300, "/usr/bin/Xorg"}};
    control.StopSyncProcesses(false);
    EXPECT_TRUE(table.terminated.empty());
    EXPECT_FALSE(control.SyncMgrFound());
    EXPECT_FALSE(control.SyncCommFound());
    control.RestartSyncProcesses(false);
    EXPECT_TRUE(table.started.empty());
}

TEST_F(SyncProcessControlTest, OnlyTheSecondProgramRunningIsEndedAndStartedAgain) {
    table.running = {{1, "/sbin/init"}, {410, kMtpMonitor}, {500, "/usr/bin/bash"}};
    control.StopSyncProcesses(false);
    EXPECT_EQ(table.terminated, std::vector<int>{410});
    EXPECT_FALSE(control.SyncMgrFound());
    EXPECT_TRUE(control.SyncCommFound());
    EXPECT_EQ(control.SyncCommExe(), kMtpMonitor);
    control.RestartSyncProcesses(false);
    EXPECT_EQ(table.started, std::vector<std::string>{kMtpMonitor});
}

TEST_F(SyncProcessControlTest, NamesMatchWithoutRegardToCaseAndOnlyByFileName) {
    table.running = {{90, "/home/modemmanager/tool"}, {120, "/opt/x/modemmanager"}};
    control.StopSyncProcesses(false);
    EXPECT_EQ(table.terminated, std::vector<int>{120});
    EXPECT_EQ(control.SyncMgrExe(), "/opt/x/modemmanager") << "recorded as reported";
}

// Another user's process whose executable the system does not reveal still counts as
// found, but the name it gave itself is never started: it could name any program.
TEST_F(SyncProcessControlTest, ANameFromAProcesssOwnCommandLineIsNeverStarted) {
    table.running = {{70, "/home/other/bin/ModemManager", false}, {410, kMtpMonitor}};
    table.unsignallable = {70};
    control.StopSyncProcesses(false);
    EXPECT_TRUE(control.SyncMgrFound());
    EXPECT_TRUE(control.SyncCommFound());
    control.RestartSyncProcesses(false);
    EXPECT_EQ(table.started, std::vector<std::string>{kMtpMonitor});
}

TEST_F(SyncProcessControlTest, SearchStopsOnceBothAreFoundAlsoInLaterCalls) {
    table.running = {{100, kModemManager}, {110, kMtpMonitor}, {120, kModemManager}};
    control.StopSyncProcesses(false);
    EXPECT_EQ(table.terminated, (std::vector<int>{100, 110}));
    EXPECT_EQ(control.SyncMgrExe(), kModemManager);

    // A ModemManager started again later is left alone: with both found, only the list's
    // first entry is looked at.
    table.terminated.clear();
    table.running = {{1, "/sbin/init"}, {700, kModemManager}};
    control.StopSyncProcesses(false);
    EXPECT_TRUE(table.terminated.empty());

    control.RestartSyncProcesses(false);
    EXPECT_EQ(table.started, (std::vector<std::string>{kModemManager, kMtpMonitor}));
}

TEST_F(SyncProcessControlTest, AProcessThatMayNotBeSignalledStillCountsAsFound) {
    table.running = {{100, kModemManager}};
    table.unsignallable = {100};
    control.StopSyncProcesses(false);
    EXPECT_TRUE(control.SyncMgrFound());
    control.RestartSyncProcesses(false);
    EXPECT_EQ(table.started, std::vector<std::string>{kModemManager});
}

TEST_F(SyncProcessControlTest, BulkModeStopsTheServiceAndLeavesItStopped) {
    table.running = {{100, kModemManager}, {110, kMtpMonitor}};
    control.StopSyncProcesses(true);
    ASSERT_EQ(table.hidden.size(), 1u);
    EXPECT_EQ(table.hidden[0],
              (std::vector<std::string>{"systemctl", "--no-ask-password", "--no-block", "stop",
                                        "ModemManager.service"}));
    EXPECT_EQ(table.snapshots, 0) << "no process is looked at";
    EXPECT_TRUE(table.terminated.empty());
    control.RestartSyncProcesses(true);
    EXPECT_TRUE(table.started.empty());
}

TEST(SyncProcessControlLeftRunning, NeitherModeStopsSignalsOrStartsAnything) {
    FakeProcessTable table;
    table.running = {{100, kModemManager}, {110, kMtpMonitor}};
    CSyncProcessControl control(table, /*bLeaveRunning=*/true);
    for (const bool bWinUsbMode : {false, true}) {
        control.StopSyncProcesses(bWinUsbMode);
        control.RestartSyncProcesses(bWinUsbMode);
    }
    EXPECT_EQ(table.snapshots, 0);
    EXPECT_TRUE(table.terminated.empty());
    EXPECT_TRUE(table.hidden.empty());
    EXPECT_TRUE(table.started.empty());
    EXPECT_FALSE(control.SyncMgrFound());
    EXPECT_FALSE(control.SyncCommFound());
}

TEST(KeepServicesRequested, OnlyASetNonZeroValueKeepsThemRunning) {
    EXPECT_FALSE(KeepServicesRequested(nullptr));
    EXPECT_FALSE(KeepServicesRequested(""));
    EXPECT_FALSE(KeepServicesRequested("0"));
    EXPECT_TRUE(KeepServicesRequested("1"));
    EXPECT_TRUE(KeepServicesRequested("yes"));
    EXPECT_TRUE(KeepServicesRequested("00")) << "only a plain 0 turns it off";
}

}  // namespace
}  // namespace vantorel::host
