#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vantorel::link {

// USB endpoint transfer types, numbered as in the endpoint descriptor's attributes.
enum class PipeType : uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

struct PipeInformation {
    PipeType pipeType = PipeType::Control;
    uint8_t pipeId = 0;  // endpoint address, direction bit included
    uint16_t maximumPacketSize = 0;
    uint8_t interval = 0;
};

enum class TransferStatus {
    Done,       // `count` bytes moved
    Cancelled,  // the device object was cancelled from another thread
    Gone,       // the device went away
    TimedOut,   // a bounded transfer ran out of time; `count` bytes moved before that
    Overflow,   // In: a packet held more than the buffer had room for; that packet is lost
    Refused,    // the transfer could not be started at all (a wrong pipe or argument)
    Failed,     // failed once under way; `errorCode` tells which
};

struct TransferResult {
    size_t count = 0;
    TransferStatus status = TransferStatus::Done;
    int errorCode = 0;
};

// Interface 0 of an opened download-mode device with its pipes. All operations but Cancel
// are used by one thread at a time.
class BulkDevice {
public:
    virtual ~BulkDevice() = default;

    // Binds to the device's interface 0; false when that fails.
    virtual bool Initialize() = 0;
    virtual bool QueryInterfaceSettings(uint8_t alternateSetting) = 0;
    // The endpoint at `index` of interface 0 in `alternateSetting`.
    virtual std::optional<PipeInformation> QueryPipe(uint8_t alternateSetting, uint8_t index) = 0;
    // A timeout of zero means that a transfer never times out.
    virtual bool SetPipeTransferTimeout(uint8_t pipeId, std::chrono::milliseconds timeout) = 0;

    // Sends the whole buffer as one transfer.
    virtual TransferResult WritePipe(uint8_t pipeId, const uint8_t* data, size_t length) = 0;
    // Receives one transfer of up to `length` bytes: packets of the pipe's maximum size until
    // a short (or zero-length) packet or a full buffer ends it. A packet larger than the room
    // left overflows, as on the wire. Without a timeout it waits until data arrives, the
    // device goes away or the device object is cancelled.
    virtual TransferResult ReadPipe(uint8_t pipeId, uint8_t* data, size_t length,
                                    std::optional<std::chrono::nanoseconds> timeout) = 0;

    // From any thread: ends a blocked transfer and makes later ones fail at once.
    virtual void Cancel() = 0;
};

class BulkOpener {
public:
    virtual ~BulkOpener() = default;

    // Opens the device behind the interface at `path`; a second open of a held interface
    // fails. nullptr on failure.
    virtual std::shared_ptr<BulkDevice> Open(const std::string& path) = 0;
};

}  // namespace vantorel::link
