#include "emulator/pty_session.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vantorel::emulator {

namespace {

bool MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;
    }
    ::cfmakeraw(&settings);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace

PtySession::PtySession(std::filesystem::path linkPath, std::stop_token sessionStop)
    : m_linkPath(std::move(linkPath)),
      m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_onStop(sessionStop, [this] { Wake(); }) {}

std::shared_ptr<PtySession> PtySession::Open(const std::filesystem::path& linkPath,
                                             std::stop_token sessionStop) {
    std::shared_ptr<PtySession> session(new PtySession(linkPath, sessionStop));
    if (!session->Start()) {
        const int error = errno;
        session->Unplug();
        errno = error;
        return nullptr;
    }
    return session;
}

PtySession::~PtySession() {
    Unplug();
}

bool PtySession::Start() {
    if (!m_wake) {
        return false;
    }
    m_master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    char name[128];
    if (!m_master || ::grantpt(m_master.Get()) != 0 || ::unlockpt(m_master.Get()) != 0 ||
        ::ptsname_r(m_master.Get(), name, sizeof name) != 0) {
        return false;
    }
    m_slaveName = name;
    // Without raw mode on both sides bytes are echoed, translated or held back per line.
    m_slave.Reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_slave || !MakeRaw(m_master.Get()) || !MakeRaw(m_slave.Get())) {
        return false;
    }
    PointLinkAtSlave();
    std::error_code error;
    return std::filesystem::read_symlink(m_linkPath, error) == m_slaveName;
}

void PtySession::PointLinkAtSlave() {
    // A link left behind by an earlier session is replaced in one step, so whoever watches
    // the path never sees it point at a closed pseudo-terminal and then vanish.
    std::filesystem::path staging = m_linkPath;
    staging += ".plugging";
    std::error_code error;
    std::filesystem::remove(staging, error);
    std::filesystem::create_symlink(m_slaveName, staging, error);
    if (!error) {
        std::filesystem::rename(staging, m_linkPath, error);
    }
    if (error) {
        std::filesystem::remove(staging, error);
    }
}

void PtySession::Unplug() {
    std::lock_guard lock(m_unplugMutex);
    if (m_bUnplugged) {
        return;
    }
    m_bUnplugged = true;
    std::error_code error;
    if (!m_slaveName.empty() && std::filesystem::read_symlink(m_linkPath, error) == m_slaveName) {
        std::filesystem::remove(m_linkPath, error);
    }
    m_master.Reset();
    m_slave.Reset();
}

void PtySession::Wake() {
    if (m_wake) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
    }
}

bool PtySession::WaitFor(short events) {
    pollfd fds[2]{{m_master.Get(), events, 0}, {m_wake.Get(), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || fds[1].revents != 0) {
            return false;
        }
        if ((fds[0].revents & events) != 0) {
            return true;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
}

bool PtySession::ReadExact(uint8_t* data, size_t length, std::stop_token stop) {
    std::stop_callback wakeOnStop(stop, [this] { Wake(); });
    size_t done = 0;
    while (done < length) {
        if (stop.stop_requested()) {
            return false;
        }
        const ssize_t count = ::read(m_master.Get(), data + done, length - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && errno == EAGAIN) {
            if (!WaitFor(POLLIN)) {
                return false;
            }
        } else {
            return false;  // the pseudo-terminal is gone
        }
    }
    return true;
}

bool PtySession::Write(const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t count = ::write(m_master.Get(), data + done, length - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && errno == EAGAIN) {
            if (!WaitFor(POLLOUT)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace vantorel::emulator
