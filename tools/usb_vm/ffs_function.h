#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/platform/linux/unique_fd.h"

namespace vantorel::usb_vm {

// What ep0 reports about the function's life on the bus.
enum class FunctionEvent { Bind, Unbind, Enable, Disable, Setup, Suspend, Resume };

// One FunctionFS instance serving the download interface: ep0 with the descriptors and
// strings written, and the two bulk endpoint files. The instance stays active while this
// object lives, whether or not the gadget is bound to a controller.
class FfsFunction {
public:
    // `mountDir` is where the instance is mounted; nullptr with a message on failure.
    static std::unique_ptr<FfsFunction> Open(const std::filesystem::path& mountDir,
                                             std::string& error);

    int Ep0() const { return m_ep0.Get(); }
    int InEndpoint() const { return m_in.Get(); }
    int OutEndpoint() const { return m_out.Get(); }

    // Every event waiting on ep0, without blocking. Control requests addressed to the
    // function are refused (stalled) as they come: the download interface has none.
    std::vector<FunctionEvent> TakeEvents();

private:
    using UniqueFd = link::linux_platform::UniqueFd;

    FfsFunction() = default;

    UniqueFd m_ep0;
    UniqueFd m_in;
    UniqueFd m_out;
};

}  // namespace vantorel::usb_vm
