#pragma once

#include "link/platform/serial_channel.h"

namespace vantorel::link::linux_platform {

// Opens serial-style download interfaces as ttys. A device path made by MakeDevicePath is
// the tty of the USB device at that port; any other path names a tty in the file system
// (symbolic links followed): a pseudo-terminal or an explicitly named serial device.
class TtySerialOpener final : public SerialOpener {
public:
    std::shared_ptr<SerialChannel> OpenExclusive(const std::string& path) override;
};

}  // namespace vantorel::link::linux_platform
