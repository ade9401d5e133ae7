#pragma once

#include <memory>
#include <string>

#include "emulator/handset_runner.h"
#include "tools/usb_vm/ffs_function.h"
#include "tools/usb_vm/udc_binding.h"

namespace vantorel::usb_vm {

// Where a handset plugs in as a USB gadget: a FunctionFS instance behind a configfs gadget.
// Plugging in binds the gadget to its controller, and a session ends by unbinding it; a
// handset that comes back after a reboot is bound to the same controller again, so the host
// sees it on the same port and the station finds it under the path it recorded.
class FfsHandsetPort final : public emulator::HandsetPort {
public:
    FfsHandsetPort(std::string name, std::unique_ptr<FfsFunction> function, UdcBinding udc);

    std::shared_ptr<emulator::PluggedSession> Plug(std::stop_token sessionStop) override;
    std::string Name() const override { return m_name; }

private:
    const std::string m_name;
    const std::unique_ptr<FfsFunction> m_function;
    const UdcBinding m_udc;
};

}  // namespace vantorel::usb_vm
