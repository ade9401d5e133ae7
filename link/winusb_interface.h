#pragma once

#include <array>
#include <memory>

#include "link/partial_read_pipe.h"
#include "link/usb_interface.h"

namespace vantorel::link {

// The bulk link: opens the same device interface through the USB library and moves data
// over two bulk pipes, the first pipe of interface 0 read, the second written.
class CWinUsbInterface : public CUsbInterface {
public:
    explicit CWinUsbInterface(const LinkPlatform& platform);

    uint32_t Write(const void* buffer, uint32_t length) override;
    // Waits until the handset sends something, the handset goes away or the link is closed.
    // A greeting read (bWait false) gives up after ten passes of about 1.1 s. What a packet
    // brought beyond `length` is returned by the next reads first.
    uint32_t Read(void* buffer, uint32_t length, bool bWait) override;
    using CUsbInterface::Read;

    // Record 0 is the pipe that Read uses, record 1 the pipe that Write uses.
    const std::array<PipeInformation, 2>& PipeInfo() const { return m_PipeInfo; }

protected:
    bool OpenInterface(const std::string& interfacePath, const char* devicePath) override;
    void ReleaseDevice() override;

private:
    std::shared_ptr<BulkDevice> Device() const;

    mutable std::mutex m_winUsbMutex;  // guards the handle swap only
    std::shared_ptr<BulkDevice> m_hWinUsb;
    std::array<PipeInformation, 2> m_PipeInfo{};
    PartialReadPipe m_reads;  // the worker's, or the attach's while the link opens
};

}  // namespace vantorel::link
