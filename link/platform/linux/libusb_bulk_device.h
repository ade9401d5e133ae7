#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "link/platform/bulk_device.h"
#include "link/platform/linux/held_paths.h"
#include "link/platform/linux/libusb_handles.h"

namespace vantorel::link::linux_platform {

// Interface 0 of a USB device opened through libusb. Transfers run in short attempts (see
// RunSlicedTransfer), so Cancel ends a blocked transfer within one attempt.
class LibusbBulkDevice final : public BulkDevice {
public:
    // Takes over `handle`; the claim keeps the path held until the device is dropped.
    LibusbBulkDevice(std::shared_ptr<libusb_context> context,
                     std::unique_ptr<HeldPaths::Claim> claim, LibusbHandlePtr handle);
    ~LibusbBulkDevice() override;

    bool Initialize() override;
    bool QueryInterfaceSettings(uint8_t alternateSetting) override;
    std::optional<PipeInformation> QueryPipe(uint8_t alternateSetting, uint8_t index) override;
    bool SetPipeTransferTimeout(uint8_t pipeId, std::chrono::milliseconds timeout) override;

    TransferResult WritePipe(uint8_t pipeId, const uint8_t* data, size_t length) override;
    TransferResult ReadPipe(uint8_t pipeId, uint8_t* data, size_t length,
                            std::optional<std::chrono::nanoseconds> timeout) override;

    void Cancel() override;

private:
    // Interface 0 in `alternateSetting` of the active configuration, with the descriptor
    // that owns it; a null interface when there is none.
    struct InterfaceView {
        LibusbConfigPtr config;
        const libusb_interface_descriptor* descriptor = nullptr;
    };
    InterfaceView Interface0(uint8_t alternateSetting) const;

    std::optional<PipeType> PipeTypeOf(uint8_t pipeId);
    TransferResult Transfer(uint8_t pipeId, uint8_t* data, size_t length,
                            std::optional<std::chrono::nanoseconds> bound);
    // A transfer that is not started; the reason goes to standard error.
    TransferResult Refuse(uint8_t pipeId, int code) const;
    static std::string TransferName(uint8_t pipeId);
    std::string Where() const;  // the held path, for error lines

    // Declared in this order so that the handle closes before the path is released and the
    // session ends.
    std::shared_ptr<libusb_context> m_context;
    std::unique_ptr<HeldPaths::Claim> m_claim;
    LibusbHandlePtr m_handle;

    bool m_bInterfaceClaimed = false;
    std::map<uint8_t, PipeType> m_pipeTypes;                      // by endpoint address
    std::map<uint8_t, std::chrono::milliseconds> m_pipeTimeouts;  // zero: no limit
    std::atomic<bool> m_bCancelled{false};
};

}  // namespace vantorel::link::linux_platform
