#include "emulator/bus_handset.h"

#include <utility>

namespace vantorel::emulator {

namespace {

using link::emulated::EmulatedBus;
using link::emulated::HandsetCable;

class BusSession final : public PluggedSession {
public:
    BusSession(EmulatedBus& bus, std::shared_ptr<HandsetCable> cable)
        : m_bus(bus), m_cable(std::move(cable)) {}

    bool ReadExact(uint8_t* data, size_t length, std::stop_token stop) override {
        return m_cable->ReadExact(data, length, stop);
    }
    bool Write(const uint8_t* data, size_t length) override { return m_cable->Write(data, length); }
    void Unplug() override { m_bus.Unplug(m_cable); }

private:
    EmulatedBus& m_bus;
    const std::shared_ptr<HandsetCable> m_cable;
};

class BusPort final : public HandsetPort {
public:
    BusPort(EmulatedBus& bus, std::string portPath) : m_bus(bus), m_portPath(std::move(portPath)) {}

    std::shared_ptr<PluggedSession> Plug(std::stop_token) override {
        auto cable = m_bus.Plug(m_portPath);
        return cable ? std::make_shared<BusSession>(m_bus, std::move(cable)) : nullptr;
    }
    std::string Name() const override { return m_portPath; }

private:
    EmulatedBus& m_bus;
    const std::string m_portPath;
};

}  // namespace

BusHandset::BusHandset(EmulatedBus& bus, std::string portPath, const Clock& clock,
                       HandsetConfig config, HandsetFaults faults)
    : HandsetRunner(std::make_unique<BusPort>(bus, portPath), std::move(config), std::move(faults),
                    clock),
      m_portPath(std::move(portPath)) {}

std::string BusHandset::DevicePath() const {
    return EmulatedBus::DevicePathOf(m_portPath);
}

}  // namespace vantorel::emulator
