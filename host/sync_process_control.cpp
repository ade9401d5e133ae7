#include "host/sync_process_control.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "link/message_sink.h"

namespace vantorel::host {

namespace {

// The service manager's stop of ModemManager: queued without waiting for the stop itself,
// and refused rather than asking for a password when the station may not stop it.
const std::vector<std::string> kStopServiceCommand{"systemctl", "--no-ask-password", "--no-block",
                                                   "stop", "ModemManager.service"};

std::string UpperFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

// What the restart may start for a found process: its executable as the system reports
// it, never a name the process gave itself (another user's process could name any
// program of theirs, which the station would then run as its own user). Empty: nothing.
std::string StartablePath(const ProcessEntry& process) {
    return process.bExeFromSystem ? process.strExeFile : std::string();
}

}  // namespace

void CSyncProcessControl::StopSyncProcesses(bool bWinUsbMode) {
    // Nothing is stopped, so nothing is recorded and the restart at close starts nothing.
    if (m_bLeaveRunning) {
        return;
    }
    if (bWinUsbMode) {
        if (!m_processes.RunHidden(kStopServiceCommand)) {
            link::WriteDiagnostic("FAILED stop ModemManager.service\n");
        }
        return;
    }
    EndCompetingProcesses();
}

// Walks the process list from the first entry and stops as soon as both programs have been
// found, counting what earlier calls found (a later call then looks at the first entry only).
void CSyncProcessControl::EndCompetingProcesses() {
    const auto processes = m_processes.Snapshot();
    if (!processes) {
        return;
    }
    std::lock_guard lock(m_mutex);
    for (const ProcessEntry& process : *processes) {
        if (RecordIfCompeting(process)) {
            // One that may not be signalled is passed over; it still counts as found.
            if (m_processes.Terminate(process.pid)) {
                link::WriteDiagnostic("kill OK\n");
            }
        }
        if (m_bSyncMgrFound != 0 && m_bSyncCommFound != 0) {
            break;
        }
    }
}

bool CSyncProcessControl::RecordIfCompeting(const ProcessEntry& process) {
    const std::string name = UpperFileName(process.strExeFile);
    if (name.find(kSyncMgrName) != std::string::npos) {
        m_bSyncMgrFound = 1;
        m_szSyncMgrExe = StartablePath(process);
        link::WriteDiagnostic("%s to kill\n", kSyncMgrName);
        return true;
    }
    if (name.find(kSyncCommName) != std::string::npos) {
        m_bSyncCommFound = 1;
        m_szSyncCommExe = StartablePath(process);
        link::WriteDiagnostic("%s to kill\n", kSyncCommName);
        return true;
    }
    return false;
}

void CSyncProcessControl::RestartSyncProcesses(bool bWinUsbMode) {
    if (bWinUsbMode) {
        return;
    }
    std::lock_guard lock(m_mutex);
    const auto start = [this](const std::string& path) {
        return !path.empty() && m_processes.StartProgram(path);
    };
    if (m_bSyncMgrFound != 0 && !start(m_szSyncMgrExe)) {
        link::WriteDiagnostic("FAILED Create Process1\n");
    }
    if (m_bSyncCommFound != 0 && !start(m_szSyncCommExe)) {
        link::WriteDiagnostic("FAILED Create Process2\n");
    }
}

bool CSyncProcessControl::SyncMgrFound() const {
    std::lock_guard lock(m_mutex);
    return m_bSyncMgrFound != 0;
}

bool CSyncProcessControl::SyncCommFound() const {
    std::lock_guard lock(m_mutex);
    return m_bSyncCommFound != 0;
}

std::string CSyncProcessControl::SyncMgrExe() const {
    std::lock_guard lock(m_mutex);
    return m_szSyncMgrExe;
}

std::string CSyncProcessControl::SyncCommExe() const {
    std::lock_guard lock(m_mutex);
    return m_szSyncCommExe;
}

bool KeepServicesRequested(const char* value) {
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

}  // namespace vantorel::host
