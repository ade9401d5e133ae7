#include "link/platform/linux/tty_serial_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "link/platform/linux/to_timespec.h"

namespace vantorel::link::linux_platform {

namespace {

bool MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;  // not a tty
    }
    ::cfmakeraw(&settings);
    // No modem control lines to wait for on a USB serial function.
    settings.c_cflag |= CLOCAL | CREAD;
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace

std::shared_ptr<TtySerialChannel> TtySerialChannel::Open(const std::string& node) {
    UniqueFd tty(::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!tty) {
        return nullptr;
    }
    // The lock comes first: a refused open must not touch the holder's settings.
    if (!::isatty(tty.Get()) || ::flock(tty.Get(), LOCK_EX | LOCK_NB) != 0) {
        return nullptr;
    }
    if (::ioctl(tty.Get(), TIOCEXCL) != 0 || !MakeRaw(tty.Get())) {
        return nullptr;
    }
    auto channel = std::make_shared<TtySerialChannel>(PassKey{}, std::move(tty));
    return channel->m_timer.Valid() ? channel : nullptr;
}

TtySerialChannel::TtySerialChannel(PassKey, UniqueFd tty) : m_tty(std::move(tty)) {}

TtySerialChannel::~TtySerialChannel() {
    // The exclusive flag can outlive this descriptor on some ttys; the lock goes with it.
    ::ioctl(m_tty.Get(), TIOCNXCL);
}

TtySerialChannel::Readiness TtySerialChannel::Poll(
    short events, std::optional<std::chrono::nanoseconds> timeout) {
    using Clock = LazyDeadlineTimer::Clock;
    const bool immediate = timeout && timeout->count() <= 0;
    const bool timed = timeout && !immediate;
    const auto deadline = timed ? Clock::now() + *timeout : Clock::time_point{};
    for (;;) {
        if (m_bCancelled.load()) {
            return Readiness::Cancelled;
        }
        timespec limit{};
        bool limited = immediate;
        if (timed && !m_timer.FireBy(deadline)) {
            // The timer could not be set: the kernel bounds this wait itself.
            limit = ToTimespec(std::max(std::chrono::nanoseconds(0),
                                        std::chrono::nanoseconds(deadline - Clock::now())));
            limited = true;
        }
        pollfd fds[2]{{m_tty.Get(), events, 0}, {m_timer.Fd(), POLLIN, 0}};
        const int ready = ::ppoll(fds, 2, limited ? &limit : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Readiness::HungUp;
        }
        if (m_bCancelled.load()) {
            return Readiness::Cancelled;
        }
        if (ready == 0) {
            return Readiness::TimedOut;
        }
        if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return Readiness::HungUp;
        }
        if ((fds[0].revents & events) != 0) {
            return Readiness::Ready;
        }
        if (fds[1].revents != 0) {
            m_timer.TakeExpiry();  // some wait's deadline, maybe not this one's
            if (timed && Clock::now() >= deadline) {
                return Readiness::TimedOut;
            }
        }
    }
}

size_t TtySerialChannel::Write(const uint8_t* data, size_t length) {
    size_t done = 0;
    while (done < length && !m_bCancelled.load()) {
        const ssize_t written = ::write(m_tty.Get(), data + done, length - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EAGAIN) {
            // The output buffer is full: wait until the device takes more, without a bound,
            // as a link write does; a cancel or an unplug ends the wait.
            if (Poll(POLLOUT, std::nullopt) == Readiness::Ready) {
                continue;
            }
        }
        break;  // EIO after an unplug, or anything else: report what went out
    }
    return done;
}

WaitOutcome TtySerialChannel::WaitForData(std::optional<std::chrono::nanoseconds> timeout) {
    if (m_bCancelled.load()) {
        return WaitOutcome::Closed;
    }
    switch (Poll(POLLIN, timeout)) {
        case Readiness::Ready:
            return WaitOutcome::DataQueued;
        case Readiness::TimedOut:
            return WaitOutcome::TimedOut;
        case Readiness::HungUp:
            // Bytes that came before the hang-up are still handed out.
            return QueuedBytes() > 0 ? WaitOutcome::DataQueued : WaitOutcome::Closed;
        case Readiness::Cancelled:
            break;
    }
    return WaitOutcome::Closed;
}

size_t TtySerialChannel::QueuedBytes() {
    int queued = 0;
    if (m_bCancelled.load() || ::ioctl(m_tty.Get(), FIONREAD, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<size_t>(queued);
}

size_t TtySerialChannel::Read(uint8_t* data, size_t length) {
    while (!m_bCancelled.load() && length > 0) {
        const ssize_t count = ::read(m_tty.Get(), data, length);
        if (count > 0) {
            return static_cast<size_t>(count);
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        break;  // nothing queued (EAGAIN), end of file or EIO after an unplug
    }
    return 0;
}

void TtySerialChannel::Cancel() {
    // Set before the timer fires, so a wait that takes this expiry sees it; it holds for
    // every later wait too.
    m_bCancelled = true;
    m_timer.FireNow();
}

}  // namespace vantorel::link::linux_platform
