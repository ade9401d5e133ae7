#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "link/platform/bulk_device.h"

namespace vantorel::link::linux_platform {

// A synchronous libusb transfer cannot be cancelled from another thread, so a transfer is
// run as a series of attempts of at most this long, with the cancel flag and the caller's
// bound checked in between.
inline constexpr std::chrono::milliseconds kTransferSlice{100};

enum class TransferDirection { In, Out };

// What one attempt did: a libusb result code and the bytes it moved before that.
struct TransferAttemptResult {
    int result = 0;
    size_t moved = 0;
};

// One synchronous attempt to move `length` bytes starting at `offset` of the caller's
// buffer, giving up after `timeout` (never zero: zero would mean no limit to libusb).
using TransferAttempt = std::function<TransferAttemptResult(size_t offset, size_t length,
                                                            std::chrono::milliseconds timeout)>;

// Runs one transfer of `length` bytes. Out: until every byte has gone; an attempt that
// timed out part-way goes on with the rest and never sends a byte twice. In: until anything
// arrives. The result: Done; Cancelled once `cancelled` is set; TimedOut when `bound`
// passed; Gone for LIBUSB_ERROR_NO_DEVICE and LIBUSB_ERROR_IO; Overflow for
// LIBUSB_ERROR_OVERFLOW; Refused for the errors of a transfer that could not be submitted;
// Failed for any other libusb error. An error's magnitude is the positive `errorCode`
// (LIBUSB_ERROR_PIPE, -9, gives 9). `count` is always what moved.
TransferResult RunSlicedTransfer(TransferDirection direction, size_t length,
                                 std::optional<std::chrono::nanoseconds> bound,
                                 const std::atomic<bool>& cancelled,
                                 const TransferAttempt& attempt);

}  // namespace vantorel::link::linux_platform
