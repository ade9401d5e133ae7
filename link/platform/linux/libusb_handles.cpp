#include "link/platform/linux/libusb_handles.h"

#include "link/platform/linux/libusb_error_report.h"

namespace vantorel::link::linux_platform {

std::shared_ptr<libusb_context> MakeLibusbContext() {
    libusb_context* context = nullptr;
    if (const int result = libusb_init(&context); result != LIBUSB_SUCCESS) {
        ReportLibusbError("init", {}, result);
        return nullptr;
    }
    return std::shared_ptr<libusb_context>(context, libusb_exit);
}

LibusbDeviceList::LibusbDeviceList(libusb_context* context) {
    const ssize_t count = libusb_get_device_list(context, &m_list);
    if (count < 0) {
        ReportLibusbError("device list", {}, static_cast<int>(count));
        m_list = nullptr;
        return;
    }
    m_count = static_cast<size_t>(count);
}

LibusbDeviceList::~LibusbDeviceList() {
    if (m_list != nullptr) {
        libusb_free_device_list(m_list, 1);
    }
}

}  // namespace vantorel::link::linux_platform
