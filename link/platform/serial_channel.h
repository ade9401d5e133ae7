#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vantorel::link {

enum class WaitOutcome {
    DataQueued,  // received bytes are waiting to be read
    TimedOut,    // the bound passed with nothing received
    Closed,      // the channel was cancelled or the device went away
};

// One opened serial-style device interface: receive-character waits, a queued count, and
// reads and writes. All operations but Cancel are used by one thread at a time.
class SerialChannel {
public:
    virtual ~SerialChannel() = default;

    // Sends the whole buffer; the count written (0 on failure).
    virtual size_t Write(const uint8_t* data, size_t length) = 0;

    // Waits until received data is queued. No timeout means no limit; the wait still ends
    // when the channel is cancelled or the device goes away.
    virtual WaitOutcome WaitForData(std::optional<std::chrono::nanoseconds> timeout) = 0;

    // The number of received bytes queued for reading.
    virtual size_t QueuedBytes() = 0;

    // Reads up to `length` queued bytes without waiting; the count read (0 when nothing is
    // queued, or on failure).
    virtual size_t Read(uint8_t* data, size_t length) = 0;

    // From any thread: wakes a blocked wait or transfer and makes later ones fail at once.
    virtual void Cancel() = 0;
};

class SerialOpener {
public:
    virtual ~SerialOpener() = default;

    // Opens the interface at `path` exclusively: a second open of a held interface fails.
    // nullptr on failure.
    virtual std::shared_ptr<SerialChannel> OpenExclusive(const std::string& path) = 0;
};

}  // namespace vantorel::link
