#pragma once

#include <mutex>
#include <string>

#include "console/sync_service_controller.h"
#include "host/process_table.h"

namespace vantorel::host {

// The Linux desktop programs that claim a freshly plugged handset before the station can:
// ModemManager opens every new serial port and USB modem-like interface to probe it with AT
// commands, and GVfs's MTP volume monitor claims USB handsets that look like media players.
//
// With the bulk link the ModemManager service is stopped through the service manager and
// stays stopped. With the serial-style link both programs are ended by signal and started
// again from their recorded executables when the station closes.
//
// Told to leave them running, it does neither: for a machine whose modem must stay up, or
// whose administrator already keeps these programs away from the handsets.
class CSyncProcessControl final : public console::SyncServiceController {
public:
    // Matched against the upper-cased file name of each process's executable.
    static constexpr const char* kSyncMgrName = "MODEMMANAGER";
    static constexpr const char* kSyncCommName = "GVFS-MTP-VOLUME-MONITOR";

    explicit CSyncProcessControl(ProcessTable& processes, bool bLeaveRunning = false)
        : m_processes(processes), m_bLeaveRunning(bLeaveRunning) {}

    void StopSyncProcesses(bool bWinUsbMode) override;
    void RestartSyncProcesses(bool bWinUsbMode) override;

    bool SyncMgrFound() const;
    bool SyncCommFound() const;
    std::string SyncMgrExe() const;
    std::string SyncCommExe() const;

private:
    void EndCompetingProcesses();
    // Records a competing program's executable; true when `process` is one.
    bool RecordIfCompeting(const ProcessEntry& process);

    ProcessTable& m_processes;
    const bool m_bLeaveRunning;
    mutable std::mutex m_mutex;  // calls come from the dialog thread and from workers
    // Set once found and never cleared: they decide what is started again at close and
    // when a later search may stop.
    int m_bSyncMgrFound = 0;
    int m_bSyncCommFound = 0;
    std::string m_szSyncMgrExe;
    std::string m_szSyncCommExe;
};

// The environment variable that leaves the competing programs running when set to anything
// but empty or "0".
inline constexpr const char* kKeepServicesVariable = "VANTOREL_KEEP_SERVICES";

// Whether `value` (the variable's value, null when unset) asks to leave them running.
bool KeepServicesRequested(const char* value);

}  // namespace vantorel::host
