#include "tools/usb_vm/hotplug_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantorel::usb_vm {

HotplugWatch::~HotplugWatch() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
        m_thread.join();
    }
}

bool HotplugWatch::Start(std::string& error) {
    m_wake.Reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    int code = 0;
    if (!m_wake || !m_monitor.Start(code)) {
        error =
            std::string("hot-plug monitor did not start: ") + std::strerror(code ? code : errno);
        return false;
    }
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
    return true;
}

std::string HotplugWatch::Source() const {
    return m_monitor.Source();
}

std::vector<link::DeviceEvent> HotplugWatch::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

bool HotplugWatch::SawDeparture(const std::string& devicePath, bool bArrivalToo) const {
    std::lock_guard lock(m_mutex);
    bool left = false;
    for (const link::DeviceEvent& event : m_events) {
        if (event.devicePath != devicePath) {
            continue;
        }
        if (event.kind == link::DeviceEventKind::Removal) {
            left = true;
        } else if (left && bArrivalToo) {
            return true;
        }
    }
    return left && !bArrivalToo;
}

void HotplugWatch::Run(std::stop_token stop) {
    pollfd fds[2]{{m_monitor.NotificationFd(), POLLIN, 0}, {m_wake.Get(), POLLIN, 0}};
    while (!stop.stop_requested()) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0 ||
            (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return;
        }
        auto events = m_monitor.TakeEvents();
        std::lock_guard lock(m_mutex);
        m_events.insert(m_events.end(), events.begin(), events.end());
    }
}

}  // namespace vantorel::usb_vm
