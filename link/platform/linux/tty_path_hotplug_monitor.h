#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/platform/hotplug_monitor.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/linux/unique_fd.h"

namespace vantorel::link::linux_platform {

// Arrivals and removals of handsets reached through named tty paths (a pseudo-terminal that
// another program serves behind a symbolic link, a serial device node). A path arrives when
// it comes to exist and leaves when it goes; a link removed and made again is a removal and
// then an arrival, so a handset that reboots that way is seen coming back. The directories
// of the paths are watched with inotify; what exists is what `directory` lists.
//
// A path whose symbolic link dangles counts as absent; a target that appears later is
// noticed with the next change in a watched directory.
class TtyPathHotplugMonitor final : public HotplugMonitor {
public:
    // Adds every path to `directory`, which must outlive the monitor.
    TtyPathHotplugMonitor(TtyPathDirectory& directory, std::vector<std::string> paths);

    // Fails (ENOENT, say) when the directory of a path cannot be watched.
    bool Start(int& errorCode) override;
    int NotificationFd() const override { return m_ready.Get(); }
    std::vector<DeviceEvent> TakeEvents() override;

    // Queues an arrival for each of `paths` that is watched and present now, as if it had
    // just appeared: a handset that was there before the console armed its detection is
    // announced again.
    void AnnouncePresent(const std::vector<std::string>& paths);

    const std::vector<std::string>& Paths() const { return m_paths; }

    // The monitor is used from the console's thread only.

private:
    void ReadWatchEvents(std::vector<DeviceEvent>& events);
    void OnNameChanged(int watch, const std::string& name, bool bGone,
                       std::vector<DeviceEvent>& events);
    void Arrive(const std::string& path, std::vector<DeviceEvent>& events);
    void Leave(const std::string& path, std::vector<DeviceEvent>& events);
    // Brings the recorded presence in line with what exists now.
    void Reconcile(std::vector<DeviceEvent>& events);
    std::set<std::string> ListPresent();

    TtyPathDirectory& m_directory;
    const std::vector<std::string> m_paths;
    UniqueFd m_inotify;
    UniqueFd m_announce;  // eventfd: announced arrivals are waiting
    UniqueFd m_ready;     // epoll over both: what the console watches
    std::map<int, std::vector<std::string>> m_pathsOfWatch;  // watch descriptor -> paths
    std::set<std::string> m_present;
    std::vector<DeviceEvent> m_announced;
};

}  // namespace vantorel::link::linux_platform
