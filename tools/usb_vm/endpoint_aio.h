#pragma once

#include <linux/aio_abi.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/platform/linux/unique_fd.h"

namespace vantorel::usb_vm {

// One transfer at a time on FunctionFS endpoint files through the kernel's asynchronous I/O.
// A plain read() of an endpoint file can only be ended by a signal; an asynchronous one
// signals its completion on an eventfd that poll() can watch beside a stop, and it can be
// cancelled.
class EndpointAio {
public:
    EndpointAio();
    // Waits for an outstanding transfer to end (the kernel cancels it), so the buffer it was
    // given must outlive this object.
    ~EndpointAio();

    EndpointAio(const EndpointAio&) = delete;
    EndpointAio& operator=(const EndpointAio&) = delete;

    bool IsValid() const { return m_bContext && m_eventFd; }
    // Readable once the outstanding transfer has completed.
    int CompletionFd() const { return m_eventFd.Get(); }
    bool IsBusy() const { return m_bBusy; }

    // Starts a read into, or a write from, `buffer`; false with errno when the kernel
    // refused it (EAGAIN: the endpoint is not enabled yet).
    bool Submit(int endpointFd, bool bRead, uint8_t* buffer, size_t length);
    // The outstanding transfer's result, when it has completed: a byte count, or a negative
    // errno value.
    std::optional<int64_t> TakeCompletion();
    // Cancels the outstanding transfer and waits up to `bound` for it to end. False when it
    // did not end in time: it is then still busy and owns its buffer.
    bool CancelAndReap(std::chrono::milliseconds bound);

private:
    std::optional<int64_t> Reap(const timespec* timeout);

    aio_context_t m_context = 0;
    bool m_bContext = false;
    link::linux_platform::UniqueFd m_eventFd;
    iocb m_request{};
    bool m_bBusy = false;
};

}  // namespace vantorel::usb_vm
