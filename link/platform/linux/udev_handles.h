#pragma once

#include <libudev.h>

#include <memory>

namespace vantorel::link::linux_platform {

// Drops one reference of a libudev object.
struct UdevUnref {
    void operator()(udev* object) const { udev_unref(object); }
    void operator()(udev_enumerate* object) const { udev_enumerate_unref(object); }
    void operator()(udev_device* object) const { udev_device_unref(object); }
    void operator()(udev_monitor* object) const { udev_monitor_unref(object); }
};

using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref>;

// A scan of the devices of one subsystem; empty handles when libudev failed.
struct UdevScan {
    UdevPtr context;
    UdevEnumeratePtr enumerate;

    explicit operator bool() const { return context && enumerate; }
    udev_list_entry* First() const { return udev_enumerate_get_list_entry(enumerate.get()); }
};

// Enumerates the present devices of `subsystem`.
UdevScan ScanSubsystem(const char* subsystem);

}  // namespace vantorel::link::linux_platform
