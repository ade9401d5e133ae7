#include "link/platform/linux/libusb_bulk_device.h"

#include "base/text_format.h"
#include "link/platform/linux/libusb_error_report.h"
#include "link/platform/linux/sliced_transfer.h"

namespace vantorel::link::linux_platform {

namespace {
constexpr int kInterfaceNumber = 0;
constexpr uint8_t kDirectionIn = LIBUSB_ENDPOINT_IN;
}  // namespace

LibusbBulkDevice::LibusbBulkDevice(std::shared_ptr<libusb_context> context,
                                   std::unique_ptr<HeldPaths::Claim> claim, LibusbHandlePtr handle)
    : m_context(std::move(context)), m_claim(std::move(claim)), m_handle(std::move(handle)) {}

LibusbBulkDevice::~LibusbBulkDevice() {
    if (m_bInterfaceClaimed) {
        // Gives the interface back to its kernel driver, if one was detached.
        libusb_release_interface(m_handle.get(), kInterfaceNumber);
    }
}

bool LibusbBulkDevice::Initialize() {
    if (m_bInterfaceClaimed) {
        return true;
    }
    // Not every platform can detach a kernel driver; the claim below tells if it mattered.
    libusb_set_auto_detach_kernel_driver(m_handle.get(), 1);
    const int result = libusb_claim_interface(m_handle.get(), kInterfaceNumber);
    if (result != LIBUSB_SUCCESS) {
        ReportLibusbError("claim interface 0", Where(), result);
    }
    m_bInterfaceClaimed = result == LIBUSB_SUCCESS;
    return m_bInterfaceClaimed;
}

LibusbBulkDevice::InterfaceView LibusbBulkDevice::Interface0(uint8_t alternateSetting) const {
    InterfaceView view;
    libusb_config_descriptor* config = nullptr;
    const int result =
        libusb_get_active_config_descriptor(libusb_get_device(m_handle.get()), &config);
    if (result != LIBUSB_SUCCESS) {
        ReportLibusbError("active configuration", Where(), result);
        return view;
    }
    view.config.reset(config);
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& interface = config->interface[i];
        for (int alt = 0; alt < interface.num_altsetting; ++alt) {
            const libusb_interface_descriptor& descriptor = interface.altsetting[alt];
            if (descriptor.bInterfaceNumber == kInterfaceNumber &&
                descriptor.bAlternateSetting == alternateSetting) {
                view.descriptor = &descriptor;
                return view;
            }
        }
    }
    return view;
}

bool LibusbBulkDevice::QueryInterfaceSettings(uint8_t alternateSetting) {
    return Interface0(alternateSetting).descriptor != nullptr;
}

std::optional<PipeInformation> LibusbBulkDevice::QueryPipe(uint8_t alternateSetting,
                                                           uint8_t index) {
    const InterfaceView view = Interface0(alternateSetting);
    if (view.descriptor == nullptr || index >= view.descriptor->bNumEndpoints) {
        return std::nullopt;
    }
    const libusb_endpoint_descriptor& endpoint = view.descriptor->endpoint[index];
    PipeInformation pipe;
    pipe.pipeType = static_cast<PipeType>(endpoint.bmAttributes & 3);
    pipe.pipeId = endpoint.bEndpointAddress;
    pipe.maximumPacketSize = endpoint.wMaxPacketSize;
    pipe.interval = endpoint.bInterval;
    m_pipeTypes[pipe.pipeId] = pipe.pipeType;
    return pipe;
}

bool LibusbBulkDevice::SetPipeTransferTimeout(uint8_t pipeId, std::chrono::milliseconds timeout) {
    m_pipeTimeouts[pipeId] = timeout;
    return true;
}

std::optional<PipeType> LibusbBulkDevice::PipeTypeOf(uint8_t pipeId) {
    if (const auto known = m_pipeTypes.find(pipeId); known != m_pipeTypes.end()) {
        return known->second;
    }
    // A pipe nobody asked about: look it up in the setting the interface is in.
    const InterfaceView view = Interface0(0);
    if (view.descriptor == nullptr) {
        return std::nullopt;
    }
    for (int i = 0; i < view.descriptor->bNumEndpoints; ++i) {
        const libusb_endpoint_descriptor& endpoint = view.descriptor->endpoint[i];
        if (endpoint.bEndpointAddress == pipeId) {
            const auto type = static_cast<PipeType>(endpoint.bmAttributes & 3);
            m_pipeTypes[pipeId] = type;
            return type;
        }
    }
    return std::nullopt;
}

TransferResult LibusbBulkDevice::Transfer(uint8_t pipeId, uint8_t* data, size_t length,
                                          std::optional<std::chrono::nanoseconds> bound) {
    if (m_bCancelled.load()) {
        return {0, TransferStatus::Cancelled, 0};
    }
    const auto type = PipeTypeOf(pipeId);
    if (!type || (*type != PipeType::Bulk && *type != PipeType::Interrupt)) {
        return Refuse(pipeId, LIBUSB_ERROR_NOT_SUPPORTED);
    }
    if (!bound) {
        // The pipe's own time-out applies when the caller gave none.
        if (const auto set = m_pipeTimeouts.find(pipeId);
            set != m_pipeTimeouts.end() && set->second.count() > 0) {
            bound = set->second;
        }
    }
    const auto transfer =
        *type == PipeType::Interrupt ? libusb_interrupt_transfer : libusb_bulk_transfer;
    const auto direction =
        (pipeId & kDirectionIn) != 0 ? TransferDirection::In : TransferDirection::Out;
    const TransferResult result = RunSlicedTransfer(
        direction, length, bound, m_bCancelled,
        [&](size_t offset, size_t count, std::chrono::milliseconds timeout) {
            int moved = 0;
            const int result =
                transfer(m_handle.get(), pipeId, data + offset, static_cast<int>(count), &moved,
                         static_cast<unsigned>(timeout.count()));
            return TransferAttemptResult{result, moved > 0 ? static_cast<size_t>(moved) : 0};
        });
    if (result.errorCode != 0) {
        ReportLibusbError(TransferName(pipeId), Where(), result.errorCode);
    }
    return result;
}

TransferResult LibusbBulkDevice::Refuse(uint8_t pipeId, int code) const {
    ReportLibusbError(TransferName(pipeId), Where(), code);
    return {0, TransferStatus::Refused, -code};
}

std::string LibusbBulkDevice::TransferName(uint8_t pipeId) {
    return FormatText("bulk %s, endpoint 0x%02x", (pipeId & kDirectionIn) != 0 ? "read" : "write",
                      static_cast<unsigned>(pipeId));
}

std::string LibusbBulkDevice::Where() const {
    return m_claim ? m_claim->Path() : std::string();
}

TransferResult LibusbBulkDevice::WritePipe(uint8_t pipeId, const uint8_t* data, size_t length) {
    if ((pipeId & kDirectionIn) != 0) {
        return Refuse(pipeId, LIBUSB_ERROR_INVALID_PARAM);
    }
    // libusb only reads from the buffer of an OUT transfer.
    return Transfer(pipeId, const_cast<uint8_t*>(data), length, std::nullopt);
}

TransferResult LibusbBulkDevice::ReadPipe(uint8_t pipeId, uint8_t* data, size_t length,
                                          std::optional<std::chrono::nanoseconds> timeout) {
    if ((pipeId & kDirectionIn) == 0) {
        return Refuse(pipeId, LIBUSB_ERROR_INVALID_PARAM);
    }
    return Transfer(pipeId, data, length, timeout);
}

void LibusbBulkDevice::Cancel() {
    m_bCancelled = true;
}

}  // namespace vantorel::link::linux_platform
