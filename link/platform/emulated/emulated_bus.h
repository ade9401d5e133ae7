#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>

#include "link/platform/bulk_device.h"
#include "link/platform/device_directory.h"
#include "link/platform/emulated/byte_pipe.h"
#include "link/platform/hotplug_monitor.h"
#include "link/platform/serial_channel.h"

namespace vantorel::link::emulated {

// The maximum packet size of the emulated bulk pipes, as on a high-speed device.
inline constexpr uint16_t kEmulatedPacketSize = 512;

// The handset's end of the cable for one plugged-in session. A handset that reboots is
// unplugged and plugged again, and gets a new cable.
class HandsetCable {
public:
    explicit HandsetCable(std::string devicePath) : m_devicePath(std::move(devicePath)) {}

    // Blocks until `length` bytes have arrived from the station; false when the cable was
    // pulled or the stop was requested first.
    bool ReadExact(uint8_t* data, size_t length, std::stop_token stop);
    // One transfer to the station (packets of kEmulatedPacketSize on the bulk pipe); false
    // when the cable was pulled.
    bool Write(const uint8_t* data, size_t length);
    bool IsPlugged() const { return !m_toHandset.IsCut(); }
    const std::string& DevicePath() const { return m_devicePath; }

private:
    friend class EmulatedBus;
    friend class StationEnd;

    void Cut();

    const std::string m_devicePath;
    BytePipe m_toHandset;
    BytePipe m_toStation{kEmulatedPacketSize};
    std::mutex m_heldMutex;
    bool m_bHeld = false;  // a station link has it open
};

// An in-process USB bus of emulated handsets. It is the emulated platform of both link
// variants: it lists the present handsets, opens them serial-style or as bulk devices, and
// reports arrivals and removals.
class EmulatedBus final : public DeviceDirectory, public SerialOpener, public BulkOpener {
public:
    using DeviceEventHandler = std::function<void(DeviceEventKind, const std::string& devicePath)>;

    static constexpr uint16_t kVendorId = 0x1209;
    static constexpr uint16_t kProductId = 0x0001;
    // The emulated device's endpoints: interface 0 lists bulk IN first, then bulk OUT.
    static constexpr uint8_t kBulkInPipe = 0x81;
    static constexpr uint8_t kBulkOutPipe = 0x01;

    EmulatedBus() = default;
    ~EmulatedBus() override;

    // Plugs a handset in at `portPath` ("1-3"); nullptr when that port is taken.
    std::shared_ptr<HandsetCable> Plug(const std::string& portPath);
    // Pulls whatever is plugged in at `portPath`; nothing happens on an empty port.
    void Unplug(const std::string& portPath);
    // Pulls the cable of this session only (the handset leaves on its own, e.g. a reboot).
    void Unplug(const std::shared_ptr<HandsetCable>& cable);

    static std::string DevicePathOf(const std::string& portPath);

    // Called on the plugging or unplugging thread, outside the bus's lock.
    void SetDeviceEventHandler(DeviceEventHandler handler);

    std::optional<std::vector<std::string>> ListPresent(const Guid& interfaceClass) override;
    std::shared_ptr<SerialChannel> OpenExclusive(const std::string& path) override;
    std::shared_ptr<BulkDevice> Open(const std::string& path) override;

private:
    std::shared_ptr<HandsetCable> TakeHold(const std::string& path);
    void Notify(DeviceEventKind kind, const std::string& devicePath);

    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<HandsetCable>> m_ports;  // by port path
    std::mutex m_handlerMutex;
    DeviceEventHandler m_handler;
};

}  // namespace vantorel::link::emulated
