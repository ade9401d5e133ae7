#include "tools/usb_vm/endpoint_aio.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace vantorel::usb_vm {

namespace {

// glibc has no wrappers for the kernel's own asynchronous I/O calls.
long IoSetup(unsigned events, aio_context_t* context) {
    return ::syscall(SYS_io_setup, events, context);
}
long IoDestroy(aio_context_t context) {
    return ::syscall(SYS_io_destroy, context);
}
long IoSubmit(aio_context_t context, long count, iocb** requests) {
    return ::syscall(SYS_io_submit, context, count, requests);
}
long IoCancel(aio_context_t context, iocb* request, io_event* result) {
    return ::syscall(SYS_io_cancel, context, request, result);
}
long IoGetEvents(aio_context_t context, long minimum, long maximum, io_event* events,
                 const timespec* timeout) {
    return ::syscall(SYS_io_getevents, context, minimum, maximum, events, timeout);
}

}  // namespace

EndpointAio::EndpointAio() : m_eventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    m_bContext = IoSetup(1, &m_context) == 0;
}

EndpointAio::~EndpointAio() {
    if (m_bContext) {
        IoDestroy(m_context);
    }
}

bool EndpointAio::Submit(int endpointFd, bool bRead, uint8_t* buffer, size_t length) {
    if (!IsValid() || m_bBusy) {
        errno = EBUSY;
        return false;
    }
    m_request = iocb{};
    m_request.aio_fildes = static_cast<uint32_t>(endpointFd);
    m_request.aio_lio_opcode = bRead ? IOCB_CMD_PREAD : IOCB_CMD_PWRITE;
    m_request.aio_buf = reinterpret_cast<uintptr_t>(buffer);
    m_request.aio_nbytes = length;
    m_request.aio_flags = IOCB_FLAG_RESFD;
    m_request.aio_resfd = static_cast<uint32_t>(m_eventFd.Get());
    iocb* requests[1]{&m_request};
    if (IoSubmit(m_context, 1, requests) != 1) {
        return false;
    }
    m_bBusy = true;
    return true;
}

std::optional<int64_t> EndpointAio::Reap(const timespec* timeout) {
    if (!m_bBusy) {
        return std::nullopt;
    }
    io_event event{};
    for (;;) {
        const long count = IoGetEvents(m_context, 1, 1, &event, timeout);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count != 1) {
            return std::nullopt;
        }
        break;
    }
    // The eventfd counts completions; with one transfer at a time it is read down to zero.
    uint64_t completions = 0;
    [[maybe_unused]] const ssize_t drained =
        ::read(m_eventFd.Get(), &completions, sizeof completions);
    m_bBusy = false;
    return event.res;
}

std::optional<int64_t> EndpointAio::TakeCompletion() {
    const timespec now{0, 0};
    return Reap(&now);
}

bool EndpointAio::CancelAndReap(std::chrono::milliseconds bound) {
    if (!m_bBusy) {
        return true;
    }
    io_event event{};
    // The result comes through the completion queue whether or not the cancel was taken.
    IoCancel(m_context, &m_request, &event);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(bound);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>((bound - seconds).count() * 1'000'000)};
    Reap(&timeout);
    return !m_bBusy;
}

}  // namespace vantorel::usb_vm
