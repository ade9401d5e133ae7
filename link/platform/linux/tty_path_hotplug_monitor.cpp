#include "link/platform/linux/tty_path_hotplug_monitor.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>

#include "link/interface_class.h"

namespace vantorel::link::linux_platform {

namespace {

constexpr uint32_t kNameAppears = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE;
constexpr uint32_t kNameGoes = IN_DELETE | IN_MOVED_FROM;
// The directory itself went: nothing in it can be present any more.
constexpr uint32_t kDirectoryGoes = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

std::string DirectoryOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool AddToEpoll(int epoll, int fd) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    return ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

}  // namespace

TtyPathHotplugMonitor::TtyPathHotplugMonitor(TtyPathDirectory& directory,
                                             std::vector<std::string> paths)
    : m_directory(directory), m_paths(std::move(paths)) {
    for (const auto& path : m_paths) {
        m_directory.Add(path);
    }
}

bool TtyPathHotplugMonitor::Start(int& errorCode) {
    if (m_ready) {
        errorCode = 0;
        return true;
    }
    const auto fail = [&errorCode] {
        errorCode = errno;
        return false;
    };
    UniqueFd inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    UniqueFd announce(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    UniqueFd ready(::epoll_create1(EPOLL_CLOEXEC));
    if (!inotify || !announce || !ready) {
        return fail();
    }
    std::map<int, std::vector<std::string>> pathsOfWatch;
    for (const auto& path : m_paths) {
        const int watch = ::inotify_add_watch(
            inotify.Get(), DirectoryOf(path).c_str(),
            kNameAppears | kNameGoes | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        if (watch < 0) {
            return fail();
        }
        pathsOfWatch[watch].push_back(path);
    }
    if (!AddToEpoll(ready.Get(), inotify.Get()) || !AddToEpoll(ready.Get(), announce.Get())) {
        return fail();
    }
    m_inotify = std::move(inotify);
    m_announce = std::move(announce);
    m_ready = std::move(ready);
    m_pathsOfWatch = std::move(pathsOfWatch);
    m_present = ListPresent();
    errorCode = 0;
    return true;
}

std::set<std::string> TtyPathHotplugMonitor::ListPresent() {
    const auto listed = m_directory.ListPresent(GUID_DEVINTERFACE_DOWNLOAD);
    std::set<std::string> present;
    if (listed) {
        for (const auto& path : *listed) {
            if (std::find(m_paths.begin(), m_paths.end(), path) != m_paths.end()) {
                present.insert(path);
            }
        }
    }
    return present;
}

void TtyPathHotplugMonitor::AnnouncePresent(const std::vector<std::string>& paths) {
    if (!m_announce) {
        return;
    }
    for (const auto& path : paths) {
        if (m_present.contains(path)) {
            m_announced.push_back({DeviceEventKind::Arrival, path});
        }
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_announce.Get(), &one, sizeof one);
}

std::vector<DeviceEvent> TtyPathHotplugMonitor::TakeEvents() {
    std::vector<DeviceEvent> events;
    if (!m_ready) {
        return events;
    }
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_announce.Get(), &count, sizeof count);
    events.swap(m_announced);
    ReadWatchEvents(events);
    Reconcile(events);
    return events;
}

void TtyPathHotplugMonitor::ReadWatchEvents(std::vector<DeviceEvent>& events) {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t length = ::read(m_inotify.Get(), buffer, sizeof buffer);
        if (length <= 0) {
            return;  // EAGAIN: nothing more waiting
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if ((event->mask & kDirectoryGoes) != 0) {
                const auto watched = m_pathsOfWatch.find(event->wd);
                if (watched != m_pathsOfWatch.end()) {
                    for (const auto& path : watched->second) {
                        Leave(path, events);
                    }
                }
                continue;
            }
            if (event->len == 0) {
                continue;
            }
            OnNameChanged(event->wd, event->name, (event->mask & kNameGoes) != 0, events);
        }
    }
}

void TtyPathHotplugMonitor::OnNameChanged(int watch, const std::string& name, bool bGone,
                                          std::vector<DeviceEvent>& events) {
    const auto watched = m_pathsOfWatch.find(watch);
    if (watched == m_pathsOfWatch.end()) {
        return;
    }
    for (const auto& path : watched->second) {
        if (NameOf(path) != name) {
            continue;
        }
        if (bGone) {
            Leave(path, events);
        } else if (ListPresent().contains(path)) {
            Arrive(path, events);
        }
    }
}

void TtyPathHotplugMonitor::Reconcile(std::vector<DeviceEvent>& events) {
    const std::set<std::string> present = ListPresent();
    for (const auto& path : m_paths) {
        if (present.contains(path)) {
            Arrive(path, events);
        } else {
            Leave(path, events);
        }
    }
}

void TtyPathHotplugMonitor::Arrive(const std::string& path, std::vector<DeviceEvent>& events) {
    if (m_present.insert(path).second) {
        events.push_back({DeviceEventKind::Arrival, path});
    }
}

void TtyPathHotplugMonitor::Leave(const std::string& path, std::vector<DeviceEvent>& events) {
    if (m_present.erase(path) != 0) {
        events.push_back({DeviceEventKind::Removal, path});
    }
}

}  // namespace vantorel::link::linux_platform
