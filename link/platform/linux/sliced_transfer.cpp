#include "link/platform/linux/sliced_transfer.h"

#include <libusb.h>

#include <algorithm>
#include <climits>

namespace vantorel::link::linux_platform {

TransferResult RunSlicedTransfer(TransferDirection direction, size_t length,
                                 std::optional<std::chrono::nanoseconds> bound,
                                 const std::atomic<bool>& cancelled,
                                 const TransferAttempt& attempt) {
    using SteadyClock = std::chrono::steady_clock;
    const bool bounded = bound.has_value();
    const auto deadline = SteadyClock::now() + bound.value_or(std::chrono::nanoseconds(0));
    size_t done = 0;
    for (;;) {
        if (cancelled.load()) {
            return {done, TransferStatus::Cancelled, 0};
        }
        auto slice = kTransferSlice;
        if (bounded) {
            const auto remaining = deadline - SteadyClock::now();
            if (remaining <= SteadyClock::duration::zero()) {
                return {done, TransferStatus::TimedOut, 0};
            }
            slice = std::min(slice, std::chrono::ceil<std::chrono::milliseconds>(remaining));
        }
        // libusb counts in int.
        const size_t chunk = std::min<size_t>(length - done, INT_MAX);
        const TransferAttemptResult step = attempt(done, chunk, slice);
        done += std::min(step.moved, chunk);
        switch (step.result) {
            case LIBUSB_SUCCESS:
                if (direction == TransferDirection::In || done >= length) {
                    return {done, TransferStatus::Done, 0};
                }
                break;  // a buffer beyond INT_MAX goes on in the next chunk
            case LIBUSB_ERROR_TIMEOUT:
            case LIBUSB_ERROR_INTERRUPTED:
                if (direction == TransferDirection::In && done > 0) {
                    return {done, TransferStatus::Done, 0};
                }
                break;
            case LIBUSB_ERROR_NO_DEVICE:
            // A handset pulled while a transfer is under way ends it with an I/O error
            // before the device is reported missing: it has gone, it did not fail.
            case LIBUSB_ERROR_IO:
                return {done, TransferStatus::Gone, -step.result};
            case LIBUSB_ERROR_OVERFLOW:
                return {done, TransferStatus::Overflow, -step.result};
            // Refused when the transfer is submitted, before anything moved on the bus.
            case LIBUSB_ERROR_INVALID_PARAM:
            case LIBUSB_ERROR_NOT_SUPPORTED:
            case LIBUSB_ERROR_NO_MEM:
            case LIBUSB_ERROR_BUSY:
            case LIBUSB_ERROR_ACCESS:
                return {done, TransferStatus::Refused, -step.result};
            default:
                return {done, TransferStatus::Failed, step.result < 0 ? -step.result : step.result};
        }
    }
}

}  // namespace vantorel::link::linux_platform
