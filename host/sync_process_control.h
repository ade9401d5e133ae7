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
class CSyncProcessControl final : public console::SyncServiceController {
public:
    // Matched against the upper-cased file name of each process's executable.
    static constexpr const char* kSyncMgrName = "MODEMMANAGER";
    static constexpr const char* kSyncCommName = "GVFS-MTP-VOLUME-MONITOR";

    explicit CSyncProcessControl(ProcessTable& processes) : m_processes(processes) {}

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
    mutable std::mutex m_mutex;  // calls come from the dialog thread and from workers
    // Set once found and never cleared: they decide what is started again at close and
    // when a later search may stop.
    int m_bSyncMgrFound = 0;
    int m_bSyncCommFound = 0;
    std::string m_szSyncMgrExe;
    std::string m_szSyncCommExe;
};

}  // namespace vantorel::host
