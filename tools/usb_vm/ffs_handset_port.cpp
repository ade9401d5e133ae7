#include "tools/usb_vm/ffs_handset_port.h"

#include <cstdio>

#include "tools/usb_vm/ffs_session.h"

namespace vantorel::usb_vm {

FfsHandsetPort::FfsHandsetPort(std::string name, std::unique_ptr<FfsFunction> function,
                               UdcBinding udc)
    : m_name(std::move(name)), m_function(std::move(function)), m_udc(std::move(udc)) {}

std::shared_ptr<emulator::PluggedSession> FfsHandsetPort::Plug(std::stop_token sessionStop) {
    auto session = std::make_shared<FfsSession>(*m_function, m_udc, sessionStop);
    std::string error;
    if (!session->Start(error)) {
        std::fprintf(stderr, "gadget %s: %s\n", m_name.c_str(), error.c_str());
        return nullptr;
    }
    return session;
}

}  // namespace vantorel::usb_vm
