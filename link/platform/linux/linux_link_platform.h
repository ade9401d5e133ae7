#pragma once

#include "link/link_platform.h"
#include "link/platform/linux/libusb_bulk_opener.h"
#include "link/platform/linux/tty_serial_opener.h"
#include "link/platform/linux/udev_device_directory.h"

namespace vantorel::link::linux_platform {

// The real devices of this machine: libudev lists the handsets, ttys carry the serial-style
// link and libusb the bulk link. The program makes one and builds its LinkPlatform from it;
// it must outlive every link.
class LinuxLinkPlatform {
public:
    LinuxLinkPlatform() = default;
    LinuxLinkPlatform(const LinuxLinkPlatform&) = delete;
    LinuxLinkPlatform& operator=(const LinuxLinkPlatform&) = delete;

    DeviceDirectory& Directory() { return m_directory; }
    SerialOpener& Serial() { return m_serial; }
    BulkOpener& Bulk() { return m_bulk; }

    // Whether bulk links can work here (libusb initialised). The console picks the link
    // variant from this once, at start.
    bool OffersBulkLinks() const { return m_bulk.IsAvailable(); }

    LinkPlatform Compose(MessageSink& messages, const Clock& clock) {
        return Compose(m_directory, messages, clock);
    }
    // With another directory of handsets, for example explicitly named ttys.
    LinkPlatform Compose(DeviceDirectory& directory, MessageSink& messages, const Clock& clock) {
        return LinkPlatform{directory, m_serial, m_bulk, messages, clock};
    }

private:
    UdevDeviceDirectory m_directory;
    TtySerialOpener m_serial;
    LibusbBulkOpener m_bulk;
};

}  // namespace vantorel::link::linux_platform
