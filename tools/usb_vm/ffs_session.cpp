#include "tools/usb_vm/ffs_session.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantorel::usb_vm {

namespace {

constexpr size_t kInboundBufferSize = 8 * InboundMessages::kMessageBlock;
// A cancelled transfer of a bound gadget ends at once; this only guards against a stuck one.
constexpr std::chrono::milliseconds kCancelBound{1000};

}  // namespace

FfsSession::FfsSession(FfsFunction& function, const UdcBinding& udc, std::stop_token sessionStop)
    : m_function(function),
      m_udc(udc),
      m_sessionStop(sessionStop),
      m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_inbound(kInboundBufferSize),
      m_onStop(sessionStop, [this] { Wake(); }) {}

FfsSession::~FfsSession() {
    Unplug();
}

bool FfsSession::Start(std::string& error) {
    if (!m_wake || !m_aio.IsValid()) {
        error = std::string("no eventfd or asynchronous I/O: ") + std::strerror(errno);
        return false;
    }
    // A gadget left bound by someone else is taken off first; what ep0 said about earlier
    // sessions does not concern this one.
    m_udc.Unbind();
    m_function.TakeEvents();
    return m_udc.Bind(error);
}

void FfsSession::Unplug() {
    if (m_bUnplugged) {
        return;
    }
    m_bUnplugged = true;
    // Unbinding disables the endpoints, which ends whatever transfer is still in flight.
    m_udc.Unbind();
    m_aio.CancelAndReap(kCancelBound);
    m_bGone = true;
}

void FfsSession::Wake() {
    if (m_wake) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake.Get(), &one, sizeof one);
    }
}

bool FfsSession::IsStopped(const std::stop_token& stop) const {
    return stop.stop_requested() || m_sessionStop.stop_requested();
}

void FfsSession::HandleEvents() {
    for (const FunctionEvent event : m_function.TakeEvents()) {
        switch (event) {
            case FunctionEvent::Enable:
                m_bEnabled = true;
                break;
            case FunctionEvent::Disable:
            case FunctionEvent::Unbind:
                // Deconfigured, disconnected or unbound: this session's cable is out.
                m_bEnabled = false;
                m_bGone = true;
                break;
            default:
                break;
        }
    }
}

FfsSession::Activity FfsSession::WaitForActivity(bool bTransferInFlight) {
    pollfd fds[3]{{m_wake.Get(), POLLIN, 0},
                  {m_function.Ep0(), POLLIN, 0},
                  {bTransferInFlight ? m_aio.CompletionFd() : -1, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 3, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return Activity::Failed;
        }
        if (fds[0].revents != 0) {
            return Activity::Stop;
        }
        if ((fds[2].revents & POLLIN) != 0) {
            return Activity::Completion;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return Activity::Event;
        }
        if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return Activity::Failed;
        }
    }
}

bool FfsSession::AwaitEnabled(const std::stop_token& stop) {
    while (!m_bEnabled) {
        if (IsStopped(stop) || m_bGone) {
            return false;
        }
        switch (WaitForActivity(false)) {
            case Activity::Event:
                HandleEvents();
                break;
            case Activity::Completion:
                break;
            case Activity::Stop:
            case Activity::Failed:
                return false;
        }
    }
    return !m_bGone;
}

std::optional<size_t> FfsSession::Transfer(int endpointFd, bool bRead, uint8_t* buffer,
                                           size_t length, const std::stop_token& stop) {
    for (;;) {
        if (!AwaitEnabled(stop)) {
            return std::nullopt;
        }
        if (m_aio.Submit(endpointFd, bRead, buffer, length)) {
            break;
        }
        if (errno == EAGAIN) {
            m_bEnabled = false;  // not enabled after all: wait for the host to configure it
        } else if (errno != EINTR) {
            m_bGone = true;  // ESHUTDOWN, ENODEV: the endpoint went away
            return std::nullopt;
        }
    }
    for (;;) {
        switch (WaitForActivity(true)) {
            case Activity::Completion:
                if (const auto result = m_aio.TakeCompletion()) {
                    if (*result < 0) {
                        m_bGone = true;  // the request was dequeued: disabled or unbound
                        return std::nullopt;
                    }
                    return static_cast<size_t>(*result);
                }
                break;
            case Activity::Event:
                HandleEvents();
                if (!m_bGone) {
                    break;
                }
                m_aio.CancelAndReap(kCancelBound);
                return std::nullopt;
            case Activity::Stop:
            case Activity::Failed:
                m_aio.CancelAndReap(kCancelBound);
                return std::nullopt;
        }
    }
}

bool FfsSession::ReadExact(uint8_t* data, size_t length, std::stop_token stop) {
    std::stop_callback wakeOnStop(stop, [this] { Wake(); });
    size_t done = m_received.Take(data, length);
    while (done < length) {
        const size_t request = InboundMessages::RequestSize(length - done, m_inbound.size());
        const auto count =
            Transfer(m_function.OutEndpoint(), true, m_inbound.data(), request, stop);
        if (!count) {
            return false;
        }
        m_received.Append(m_inbound.data(), *count);
        done += m_received.Take(data + done, length - done);
    }
    return true;
}

bool FfsSession::Write(const uint8_t* data, size_t length) {
    // One write is one IN transfer, never split: replies the handset packs together (at most
    // a few words, far below a packet) reach the host in one short packet, as a real
    // handset's would.
    m_outbound.assign(data, data + length);
    const auto count =
        Transfer(m_function.InEndpoint(), false, m_outbound.data(), length, m_sessionStop);
    return count && *count == length;
}

}  // namespace vantorel::usb_vm
