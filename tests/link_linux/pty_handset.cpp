#include "tests/link_linux/pty_handset.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace vantorel::test {

namespace {
constexpr int kPollStepMs = 5;
}

PtyHandset::PtyHandset(std::filesystem::path linkPath) : m_linkPath(std::move(linkPath)) {
    Plug();
}

PtyHandset::~PtyHandset() {
    Unplug();
    RemoveLink();
}

void PtyHandset::OpenPty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128];
    termios settings{};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0 || ::tcgetattr(m_master, &settings) != 0) {
        CloseMaster();
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    // Without raw mode on this side too, bytes are echoed and translated.
    ::cfmakeraw(&settings);
    ::tcsetattr(m_master, TCSANOW, &settings);
    m_slaveNode = name;
}

void PtyHandset::Plug() {
    Unplug();
    OpenPty();
    RemoveLink();
    std::filesystem::create_symlink(m_slaveNode, m_linkPath);
}

void PtyHandset::Unplug() {
    StopServing();
    CloseMaster();
}

void PtyHandset::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyHandset::RemoveLink() {
    std::error_code ignored;
    std::filesystem::remove(m_linkPath, ignored);
}

bool PtyHandset::Send(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (length > 0) {
        const ssize_t written = ::write(m_master, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
            continue;
        }
        if ((written < 0 && errno != EAGAIN && errno != EINTR) ||
            std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        pollfd fd{m_master, POLLOUT, 0};
        ::poll(&fd, 1, kPollStepMs);
    }
    return true;
}

bool PtyHandset::Receive(void* data, size_t length, std::stop_token stop,
                         std::chrono::milliseconds limit) {
    auto* bytes = static_cast<uint8_t*>(data);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (length > 0) {
        if (stop.stop_requested() || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        pollfd fd{m_master, POLLIN, 0};
        ::poll(&fd, 1, kPollStepMs);
        const ssize_t count = ::read(m_master, bytes, length);
        if (count > 0) {
            bytes += count;
            length -= static_cast<size_t>(count);
        } else if (count < 0 && errno == EIO) {
            // No station has the slave open right now (a poll says hang-up at once).
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
        }
    }
    return true;
}

void PtyHandset::Serve(std::function<void(PtyHandset&, std::stop_token)> serve) {
    StopServing();
    m_server = std::jthread(
        [this, serve = std::move(serve)](std::stop_token stop) { serve(*this, stop); });
}

void PtyHandset::StopServing() {
    if (m_server.joinable()) {
        m_server.request_stop();
        m_server.join();
    }
}

void PtyHandset::WaitUntilServed() {
    if (m_server.joinable()) {
        m_server.join();
    }
}

}  // namespace vantorel::test
