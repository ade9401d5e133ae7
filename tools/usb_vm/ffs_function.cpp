#include "tools/usb_vm/ffs_function.h"

#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/usb_vm/ffs_descriptors.h"

namespace vantorel::usb_vm {

namespace {

constexpr const char* kInterfaceName = "Vantorel download";

bool WriteWhole(int fd, const std::vector<uint8_t>& blob) {
    const ssize_t written = ::write(fd, blob.data(), blob.size());
    return written == static_cast<ssize_t>(blob.size());
}

std::string Failure(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<FfsFunction> FfsFunction::Open(const std::filesystem::path& mountDir,
                                               std::string& error) {
    std::unique_ptr<FfsFunction> function(new FfsFunction());
    const auto ep0 = mountDir / "ep0";
    function->m_ep0.Reset(::open(ep0.c_str(), O_RDWR | O_CLOEXEC));
    if (!function->m_ep0) {
        error = Failure("cannot open", ep0);
        return nullptr;
    }
    if (!WriteWhole(function->Ep0(), BuildFfsDescriptors())) {
        error = Failure("descriptors refused by", ep0);
        return nullptr;
    }
    if (!WriteWhole(function->Ep0(), BuildFfsStrings(kInterfaceName))) {
        error = Failure("strings refused by", ep0);
        return nullptr;
    }
    // From here on ep0 only carries events, read without blocking.
    const int flags = ::fcntl(function->Ep0(), F_GETFL);
    if (flags < 0 || ::fcntl(function->Ep0(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Failure("cannot make non-blocking:", ep0);
        return nullptr;
    }
    // Non-blocking endpoint files refuse a transfer while the host has not configured the
    // device, instead of waiting for it where no stop can reach.
    const auto in = mountDir / kInEndpointFile;
    const auto out = mountDir / kOutEndpointFile;
    function->m_in.Reset(::open(in.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    function->m_out.Reset(::open(out.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!function->m_in || !function->m_out) {
        error = Failure("cannot open the endpoint files in", mountDir);
        return nullptr;
    }
    return function;
}

std::vector<FunctionEvent> FfsFunction::TakeEvents() {
    std::vector<FunctionEvent> events;
    usb_functionfs_event batch[8];
    for (;;) {
        const ssize_t count = ::read(Ep0(), batch, sizeof batch);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return events;  // EAGAIN: nothing more is waiting
        }
        for (size_t i = 0; i < static_cast<size_t>(count) / sizeof batch[0]; ++i) {
            const usb_functionfs_event& event = batch[i];
            switch (event.type) {
                case FUNCTIONFS_BIND:
                    events.push_back(FunctionEvent::Bind);
                    break;
                case FUNCTIONFS_UNBIND:
                    events.push_back(FunctionEvent::Unbind);
                    break;
                case FUNCTIONFS_ENABLE:
                    events.push_back(FunctionEvent::Enable);
                    break;
                case FUNCTIONFS_DISABLE:
                    events.push_back(FunctionEvent::Disable);
                    break;
                case FUNCTIONFS_SETUP: {
                    events.push_back(FunctionEvent::Setup);
                    // I/O against the request's direction stalls it.
                    char none = 0;
                    if ((event.u.setup.bRequestType & USB_DIR_IN) != 0) {
                        [[maybe_unused]] const ssize_t stalled = ::read(Ep0(), &none, 0);
                    } else {
                        [[maybe_unused]] const ssize_t stalled = ::write(Ep0(), &none, 0);
                    }
                    break;
                }
                case FUNCTIONFS_SUSPEND:
                    events.push_back(FunctionEvent::Suspend);
                    break;
                case FUNCTIONFS_RESUME:
                    events.push_back(FunctionEvent::Resume);
                    break;
                default:
                    break;
            }
        }
    }
}

}  // namespace vantorel::usb_vm
