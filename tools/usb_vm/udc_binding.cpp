#include "tools/usb_vm/udc_binding.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/platform/linux/unique_fd.h"

namespace vantorel::usb_vm {

UdcBinding::UdcBinding(std::filesystem::path gadgetDir, std::string udcName)
    : m_gadgetDir(std::move(gadgetDir)), m_udcName(std::move(udcName)) {}

bool UdcBinding::WriteUdc(const std::string& text, std::string& error) const {
    const auto path = m_gadgetDir / "UDC";
    const link::linux_platform::UniqueFd udc(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (!udc) {
        error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    // configfs takes the line as one store; the kernel drops the newline.
    const std::string line = text + "\n";
    if (::write(udc.Get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        error = "writing '" + text + "' to " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool UdcBinding::Bind(std::string& error) const {
    return WriteUdc(m_udcName, error);
}

void UdcBinding::Unbind() const {
    std::string ignored;  // ENODEV: it was not bound
    WriteUdc("", ignored);
}

}  // namespace vantorel::usb_vm
