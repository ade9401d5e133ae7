#include "link/platform/linux/tty_serial_opener.h"

#include "link/platform/device_path.h"
#include "link/platform/linux/tty_serial_channel.h"
#include "link/platform/linux/udev_tty_lookup.h"

namespace vantorel::link::linux_platform {

std::shared_ptr<SerialChannel> TtySerialOpener::OpenExclusive(const std::string& path) {
    if (const auto portPath = PortPathOf(path)) {
        const auto node = FindTtyNodeOfUsbPort(*portPath);
        return node ? TtySerialChannel::Open(*node) : nullptr;
    }
    return TtySerialChannel::Open(path);
}

}  // namespace vantorel::link::linux_platform
