#include "link/platform/emulated/emulated_bus.h"

#include <algorithm>
#include <atomic>

#include "link/platform/device_path.h"

namespace vantorel::link::emulated {

bool HandsetCable::ReadExact(uint8_t* data, size_t length, std::stop_token stop) {
    size_t done = 0;
    while (done < length) {
        if (!m_toHandset.WaitForBytes(std::nullopt, stop, [] { return false; })) {
            return false;
        }
        done += m_toHandset.Take(data + done, length - done);
    }
    return true;
}

bool HandsetCable::Write(const uint8_t* data, size_t length) {
    return m_toStation.Push(data, length);
}

void HandsetCable::Cut() {
    m_toHandset.Cut();
    m_toStation.Cut();
}

// The station's end of a held cable, shared by the serial-style and the bulk view.
class StationEnd {
public:
    explicit StationEnd(std::shared_ptr<HandsetCable> cable) : m_cable(std::move(cable)) {}

    ~StationEnd() {
        std::lock_guard lock(m_cable->m_heldMutex);
        m_cable->m_bHeld = false;
    }

    size_t Write(const uint8_t* data, size_t length) {
        if (m_bCancelled.load() || !m_cable->m_toHandset.Push(data, length)) {
            return 0;
        }
        return length;
    }

    WaitOutcome WaitForData(std::optional<std::chrono::nanoseconds> timeout) {
        BytePipe& pipe = m_cable->m_toStation;
        if (pipe.WaitForBytes(timeout, {}, [this] { return m_bCancelled.load(); })) {
            return WaitOutcome::DataQueued;
        }
        return (m_bCancelled.load() || pipe.IsCut()) ? WaitOutcome::Closed : WaitOutcome::TimedOut;
    }

    WaitOutcome WaitForPacket(std::optional<std::chrono::nanoseconds> timeout) {
        BytePipe& pipe = m_cable->m_toStation;
        if (pipe.WaitForPacket(timeout, {}, [this] { return m_bCancelled.load(); })) {
            return WaitOutcome::DataQueued;
        }
        return (m_bCancelled.load() || pipe.IsCut()) ? WaitOutcome::Closed : WaitOutcome::TimedOut;
    }

    BytePipe::Packet TakePacket(uint8_t* data, size_t room) {
        return m_bCancelled.load() ? BytePipe::Packet{}
                                   : m_cable->m_toStation.TakePacket(data, room);
    }

    bool IsCancelled() const { return m_bCancelled.load(); }

    size_t Queued() const { return m_bCancelled.load() ? 0 : m_cable->m_toStation.Queued(); }

    size_t Take(uint8_t* data, size_t length) {
        return m_bCancelled.load() ? 0 : m_cable->m_toStation.Take(data, length);
    }

    void Cancel() {
        m_bCancelled = true;
        m_cable->m_toStation.WakeAll();
    }

private:
    std::shared_ptr<HandsetCable> m_cable;
    std::atomic<bool> m_bCancelled{false};
};

namespace {

class EmulatedSerialChannel final : public SerialChannel {
public:
    explicit EmulatedSerialChannel(std::shared_ptr<HandsetCable> cable) : m_end(std::move(cable)) {}

    size_t Write(const uint8_t* data, size_t length) override { return m_end.Write(data, length); }
    WaitOutcome WaitForData(std::optional<std::chrono::nanoseconds> timeout) override {
        return m_end.WaitForData(timeout);
    }
    size_t QueuedBytes() override { return m_end.Queued(); }
    size_t Read(uint8_t* data, size_t length) override { return m_end.Take(data, length); }
    void Cancel() override { m_end.Cancel(); }

private:
    StationEnd m_end;
};

// The codes an emulated transfer fails with: a bad argument, and the babble of a packet
// that did not fit (what libusb calls LIBUSB_ERROR_OVERFLOW, -8).
constexpr int kInvalidParameter = 87;
constexpr int kOverflowError = 8;

class EmulatedBulkDevice final : public BulkDevice {
public:
    explicit EmulatedBulkDevice(std::shared_ptr<HandsetCable> cable) : m_end(std::move(cable)) {}

    bool Initialize() override { return true; }
    bool QueryInterfaceSettings(uint8_t alternateSetting) override { return alternateSetting == 0; }
    std::optional<PipeInformation> QueryPipe(uint8_t alternateSetting, uint8_t index) override {
        if (alternateSetting != 0 || index > 1) {
            return std::nullopt;
        }
        const uint8_t pipeId = index == 0 ? EmulatedBus::kBulkInPipe : EmulatedBus::kBulkOutPipe;
        return PipeInformation{PipeType::Bulk, pipeId, kEmulatedPacketSize, 0};
    }
    bool SetPipeTransferTimeout(uint8_t, std::chrono::milliseconds) override { return true; }

    TransferResult WritePipe(uint8_t pipeId, const uint8_t* data, size_t length) override {
        if (pipeId != EmulatedBus::kBulkOutPipe) {
            return {0, TransferStatus::Refused, kInvalidParameter};
        }
        const size_t written = m_end.Write(data, length);
        return {written, written == length ? TransferStatus::Done : TransferStatus::Gone, 0};
    }

    TransferResult ReadPipe(uint8_t pipeId, uint8_t* data, size_t length,
                            std::optional<std::chrono::nanoseconds> timeout) override {
        if (pipeId != EmulatedBus::kBulkInPipe) {
            return {0, TransferStatus::Refused, kInvalidParameter};
        }
        return ReadTransfer(data, length, timeout);
    }

    void Cancel() override { m_end.Cancel(); }

private:
    // Packets until a short one or a full buffer, as a host controller gathers them.
    TransferResult ReadTransfer(uint8_t* data, size_t length,
                                std::optional<std::chrono::nanoseconds> timeout) {
        using SteadyClock = std::chrono::steady_clock;
        const auto deadline = timeout ? SteadyClock::now() + *timeout : SteadyClock::time_point{};
        size_t done = 0;
        for (;;) {
            std::optional<std::chrono::nanoseconds> left;
            if (timeout) {
                left = std::max(std::chrono::nanoseconds(0), deadline - SteadyClock::now());
            }
            switch (m_end.WaitForPacket(left)) {
                case WaitOutcome::DataQueued:
                    break;
                case WaitOutcome::TimedOut:
                    return {done, TransferStatus::TimedOut, 0};
                case WaitOutcome::Closed:
                    return {done,
                            m_end.IsCancelled() ? TransferStatus::Cancelled : TransferStatus::Gone,
                            0};
            }
            const BytePipe::Packet packet = m_end.TakePacket(data + done, length - done);
            if (!packet.bTaken) {
                continue;  // cancelled between the wait and the take: the wait tells next
            }
            if (packet.bOverflow) {
                return {done, TransferStatus::Overflow, kOverflowError};
            }
            done += packet.length;
            if (packet.length < kEmulatedPacketSize || done == length) {
                return {done, TransferStatus::Done, 0};
            }
        }
    }

    StationEnd m_end;
};

}  // namespace

EmulatedBus::~EmulatedBus() {
    std::lock_guard lock(m_mutex);
    for (auto& [port, cable] : m_ports) {
        cable->Cut();
    }
}

std::string EmulatedBus::DevicePathOf(const std::string& portPath) {
    return MakeDevicePath(kVendorId, kProductId, portPath);
}

std::shared_ptr<HandsetCable> EmulatedBus::Plug(const std::string& portPath) {
    auto cable = std::make_shared<HandsetCable>(DevicePathOf(portPath));
    {
        std::lock_guard lock(m_mutex);
        if (!m_ports.emplace(portPath, cable).second) {
            return nullptr;
        }
    }
    Notify(DeviceEventKind::Arrival, cable->DevicePath());
    return cable;
}

void EmulatedBus::Unplug(const std::string& portPath) {
    std::shared_ptr<HandsetCable> cable;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_ports.find(portPath);
        if (found == m_ports.end()) {
            return;
        }
        cable = found->second;
        m_ports.erase(found);
    }
    cable->Cut();
    Notify(DeviceEventKind::Removal, cable->DevicePath());
}

void EmulatedBus::Unplug(const std::shared_ptr<HandsetCable>& cable) {
    bool wasPresent = false;
    {
        std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_ports.begin(), m_ports.end(),
                                        [&](const auto& port) { return port.second == cable; });
        if (found != m_ports.end()) {
            m_ports.erase(found);
            wasPresent = true;
        }
    }
    cable->Cut();
    if (wasPresent) {
        Notify(DeviceEventKind::Removal, cable->DevicePath());
    }
}

void EmulatedBus::SetDeviceEventHandler(DeviceEventHandler handler) {
    std::lock_guard lock(m_handlerMutex);
    m_handler = std::move(handler);
}

void EmulatedBus::Notify(DeviceEventKind kind, const std::string& devicePath) {
    DeviceEventHandler handler;
    {
        std::lock_guard lock(m_handlerMutex);
        handler = m_handler;
    }
    if (handler) {
        handler(kind, devicePath);
    }
}

std::optional<std::vector<std::string>> EmulatedBus::ListPresent(const Guid& interfaceClass) {
    std::vector<std::pair<std::string, std::string>> present;  // port path, device path
    if (interfaceClass == GUID_DEVINTERFACE_DOWNLOAD) {
        std::lock_guard lock(m_mutex);
        for (const auto& [port, cable] : m_ports) {
            present.emplace_back(port, cable->DevicePath());
        }
    }
    std::sort(present.begin(), present.end(), [](const auto& left, const auto& right) {
        return PortPathLess(left.first, right.first);
    });
    std::vector<std::string> paths;
    paths.reserve(present.size());
    for (auto& entry : present) {
        paths.push_back(std::move(entry.second));
    }
    return paths;
}

std::shared_ptr<HandsetCable> EmulatedBus::TakeHold(const std::string& path) {
    std::shared_ptr<HandsetCable> cable;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [port, candidate] : m_ports) {
            if (candidate->DevicePath() == path) {
                cable = candidate;
                break;
            }
        }
    }
    if (!cable) {
        return nullptr;
    }
    std::lock_guard lock(cable->m_heldMutex);
    if (cable->m_bHeld) {
        return nullptr;
    }
    cable->m_bHeld = true;
    return cable;
}

std::shared_ptr<SerialChannel> EmulatedBus::OpenExclusive(const std::string& path) {
    auto cable = TakeHold(path);
    return cable ? std::make_shared<EmulatedSerialChannel>(std::move(cable)) : nullptr;
}

std::shared_ptr<BulkDevice> EmulatedBus::Open(const std::string& path) {
    auto cable = TakeHold(path);
    return cable ? std::make_shared<EmulatedBulkDevice>(std::move(cable)) : nullptr;
}

}  // namespace vantorel::link::emulated
