#pragma once

#include "host/process_table.h"

namespace vantorel::host {

// The process table of /proc; SIGTERM to end a process; programs started detached (in a
// session of their own, reparented away from the station, so none is left as a zombie).
class LinuxProcessTable final : public ProcessTable {
public:
    std::optional<std::vector<ProcessEntry>> Snapshot() override;
    bool Terminate(int pid) override;
    bool StartProgram(const std::string& path) override;
    bool RunHidden(const std::vector<std::string>& argv) override;
};

}  // namespace vantorel::host
