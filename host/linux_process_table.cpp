#include "host/linux_process_table.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <memory>

#include "host/detached_spawn.h"

namespace vantorel::host {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsPid(const char* name) {
    if (*name == '\0') {
        return false;
    }
    for (const char* c = name; *c != '\0'; ++c) {
        if (std::isdigit(static_cast<unsigned char>(*c)) == 0) {
            return false;
        }
    }
    return true;
}

// The executable's path; unreadable for another user's process, whose command line
// (argv[0]) and then its short name stand in.
std::string ExeFileOf(const std::string& procDir, bool& bFromSystem) {
    char target[4096];
    const ssize_t length = ::readlink((procDir + "/exe").c_str(), target, sizeof target - 1);
    bFromSystem = length > 0;
    if (length > 0) {
        std::string path(target, static_cast<size_t>(length));
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.ends_with(kDeleted)) {
            path.resize(path.size() - kDeleted.size());
        }
        return path;
    }
    std::ifstream cmdline(procDir + "/cmdline", std::ios::binary);
    std::string argv0;
    if (std::getline(cmdline, argv0, '\0') && !argv0.empty()) {
        return argv0;
    }
    std::ifstream comm(procDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::optional<std::vector<ProcessEntry>> LinuxProcessTable::Snapshot() {
    std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
    if (!proc) {
        return std::nullopt;
    }
    std::vector<ProcessEntry> processes;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!IsPid(entry->d_name)) {
            continue;
        }
        const std::string dir = std::string("/proc/") + entry->d_name;
        bool bFromSystem = false;
        std::string exe = ExeFileOf(dir, bFromSystem);
        if (!exe.empty()) {
            processes.push_back({std::atoi(entry->d_name), std::move(exe), bFromSystem});
        }
    }
    std::sort(processes.begin(), processes.end(),
              [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
    return processes;
}

bool LinuxProcessTable::Terminate(int pid) {
    return pid > 0 && ::kill(pid, SIGTERM) == 0;
}

bool LinuxProcessTable::StartProgram(const std::string& path) {
    // A bare name is no recorded executable: nothing is looked up for it.
    if (path.find('/') == std::string::npos) {
        return false;
    }
    return SpawnDetached({path});
}

bool LinuxProcessTable::RunHidden(const std::vector<std::string>& argv) {
    return SpawnDetached(argv);
}

}  // namespace vantorel::host
