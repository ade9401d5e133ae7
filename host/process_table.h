#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantorel::host {

struct ProcessEntry {
    int pid = 0;
    // The program's executable as the process list reports it: its full path when the
    // system tells it, else the name it was started under.
    std::string strExeFile;
    // True when strExeFile is the executable the system says the process runs. A name taken
    // from the process's own command line is whatever its owner chose, so nothing is ever
    // started from it.
    bool bExeFromSystem = true;
};

// The host's process table, the signalling of a process and the start of a program.
// The station uses the system's; tests use a fake.
class ProcessTable {
public:
    virtual ~ProcessTable() = default;

    // Every running process, in a stable order; nullopt when the list cannot be read.
    virtual std::optional<std::vector<ProcessEntry>> Snapshot() = 0;
    // Asks the process to end; false when it may not be signalled or is gone.
    virtual bool Terminate(int pid) = 0;
    // Starts the program at `path` on its own, without waiting for it; false when it could
    // not be started.
    virtual bool StartProgram(const std::string& path) = 0;
    // Runs a command with no window, no input and its output discarded, without waiting for
    // it to finish; false when it could not be started.
    virtual bool RunHidden(const std::vector<std::string>& argv) = 0;
};

}  // namespace vantorel::host
