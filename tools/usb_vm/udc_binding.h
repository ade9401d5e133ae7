#pragma once

#include <filesystem>
#include <string>

namespace vantorel::usb_vm {

// A configfs gadget's link to its USB device controller: binding it puts the gadget on the
// bus (the host sees a device arrive on the controller's port), unbinding takes it off. The
// same controller means the same port, so the device keeps its port path across a re-bind.
class UdcBinding {
public:
    UdcBinding(std::filesystem::path gadgetDir, std::string udcName);

    // False, with a message, when the kernel refused the controller.
    bool Bind(std::string& error) const;
    // Harmless when the gadget is not bound.
    void Unbind() const;

    const std::filesystem::path& GadgetDir() const { return m_gadgetDir; }
    const std::string& UdcName() const { return m_udcName; }

private:
    bool WriteUdc(const std::string& text, std::string& error) const;

    std::filesystem::path m_gadgetDir;
    std::string m_udcName;
};

}  // namespace vantorel::usb_vm
