#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "emulator/handset_runner.h"
#include "link/platform/linux/unique_fd.h"
#include "tools/usb_vm/endpoint_aio.h"
#include "tools/usb_vm/ffs_function.h"
#include "tools/usb_vm/inbound_messages.h"
#include "tools/usb_vm/udc_binding.h"

namespace vantorel::usb_vm {

// One plugged-in session of a FunctionFS gadget: from binding the gadget to its controller
// until it is unbound. The station's packets arrive on the OUT endpoint and the replies go
// out on the IN endpoint. Every wait ends when the session is stopped, or when the gadget
// leaves the bus (disabled or unbound, by this session or from outside).
//
// Used by the handset's serving thread only; a stop may come from any thread.
class FfsSession final : public emulator::PluggedSession {
public:
    // Both must outlive the session.
    FfsSession(FfsFunction& function, const UdcBinding& udc, std::stop_token sessionStop);
    ~FfsSession() override;

    FfsSession(const FfsSession&) = delete;
    FfsSession& operator=(const FfsSession&) = delete;

    // Forgets what ep0 reported before and binds the gadget; false with a message.
    bool Start(std::string& error);

    bool ReadExact(uint8_t* data, size_t length, std::stop_token stop) override;
    bool Write(const uint8_t* data, size_t length) override;
    // Unbinds the gadget and ends any transfer still in flight.
    void Unplug() override;

private:
    enum class Activity { Completion, Event, Stop, Failed };

    // Waits until the host has configured the device; false on a stop or departure.
    bool AwaitEnabled(const std::stop_token& stop);
    // One transfer on an endpoint file: the bytes moved, or nothing when the session was
    // stopped or the gadget left the bus.
    std::optional<size_t> Transfer(int endpointFd, bool bRead, uint8_t* buffer, size_t length,
                                   const std::stop_token& stop);
    Activity WaitForActivity(bool bTransferInFlight);
    void HandleEvents();
    bool IsStopped(const std::stop_token& stop) const;
    void Wake();

    FfsFunction& m_function;
    const UdcBinding& m_udc;
    std::stop_token m_sessionStop;
    link::linux_platform::UniqueFd m_wake;  // an eventfd that a stop makes readable for good

    bool m_bEnabled = false;
    bool m_bGone = false;
    bool m_bUnplugged = false;

    InboundMessages m_received;

    // The kernel's transfer buffers; declared before the transfer object, which must end
    // first.
    std::vector<uint8_t> m_inbound;
    std::vector<uint8_t> m_outbound;
    EndpointAio m_aio;

    std::stop_callback<std::function<void()>> m_onStop;  // last: it uses m_wake
};

}  // namespace vantorel::usb_vm
