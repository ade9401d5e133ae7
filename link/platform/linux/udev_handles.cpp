#include "link/platform/linux/udev_handles.h"

namespace vantorel::link::linux_platform {

UdevScan ScanSubsystem(const char* subsystem) {
    UdevScan scan;
    UdevPtr context(udev_new());
    if (!context) {
        return scan;
    }
    UdevEnumeratePtr enumerate(udev_enumerate_new(context.get()));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), subsystem) < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return scan;
    }
    scan.context = std::move(context);
    scan.enumerate = std::move(enumerate);
    return scan;
}

}  // namespace vantorel::link::linux_platform
