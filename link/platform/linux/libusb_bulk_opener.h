#pragma once

#include <libusb.h>

#include <memory>

#include "link/platform/bulk_device.h"
#include "link/platform/linux/held_paths.h"

namespace vantorel::link::linux_platform {

// Opens download interfaces as USB devices through libusb: the device path's port path
// names the device (bus and port numbers). A path this process holds is refused before the
// kernel is asked. Every opened device has a libusb session of its own; the opener's session
// only tells whether libusb works here.
class LibusbBulkOpener final : public BulkOpener {
public:
    LibusbBulkOpener();

    // False when libusb could not initialise: then every Open fails.
    bool IsAvailable() const { return m_context != nullptr; }

    std::shared_ptr<BulkDevice> Open(const std::string& path) override;

private:
    std::shared_ptr<libusb_context> m_context;
    std::shared_ptr<HeldPaths> m_held;
};

}  // namespace vantorel::link::linux_platform
