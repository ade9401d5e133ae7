#include "link/winusb_interface.h"

#include "base/text_format.h"
#include "link/no_wait_read.h"

namespace vantorel::link {

namespace {
constexpr uint8_t kAlternateSetting = 0;
// Ten passes of about 1.1 s, as long as the serial-style link's greeting read waits.
constexpr Clock::Duration kGreetingReadBound{11000};
}  // namespace

CWinUsbInterface::CWinUsbInterface(const LinkPlatform& platform) : CUsbInterface(platform) {}

bool CWinUsbInterface::OpenInterface(const std::string& interfacePath, const char* devicePath) {
    if (!AcceptPath(interfacePath, devicePath)) {
        return false;
    }
    auto device = m_platform.bulk.Open(interfacePath);
    if (!device) {
        WriteDiagnostic("FAILED to open %s\n", interfacePath.c_str());
        return false;
    }
    if (!device->Initialize()) {
        m_platform.messages.ShowMessage("WinUSB_Initialize");
        return false;
    }
    if (!device->QueryInterfaceSettings(kAlternateSetting)) {
        m_platform.messages.ShowMessage("WinUsb_QueryInterfaceSetting Error 1");
    }
    std::array<PipeInformation, 2> pipes{};
    for (uint8_t index = 0; index < pipes.size(); ++index) {
        if (const auto pipe = device->QueryPipe(kAlternateSetting, index)) {
            pipes[index] = *pipe;
        } else {
            m_platform.messages.ShowMessage("WinUsb_QueryPipe Error 1");
        }
    }
    // No transfer time-out: a read waits until the handset answers or goes away.
    device->SetPipeTransferTimeout(pipes[0].pipeId, std::chrono::milliseconds(0));
    device->SetPipeTransferTimeout(pipes[1].pipeId, std::chrono::milliseconds(0));
    if (pipes[0].pipeType != PipeType::Bulk || pipes[1].pipeType != PipeType::Bulk) {
        m_platform.messages.ShowMessage("SetPipePolicy Error 1");
    }
    m_reads.Reset(pipes[0].maximumPacketSize);
    std::lock_guard lock(m_winUsbMutex);
    m_PipeInfo = pipes;
    m_hWinUsb = std::move(device);
    return true;
}

void CWinUsbInterface::ReleaseDevice() {
    std::shared_ptr<BulkDevice> released;
    {
        std::lock_guard lock(m_winUsbMutex);
        released.swap(m_hWinUsb);
    }
    if (released) {
        released->Cancel();
    }
    CUsbInterface::ReleaseDevice();
}

std::shared_ptr<BulkDevice> CWinUsbInterface::Device() const {
    std::lock_guard lock(m_winUsbMutex);
    return m_hWinUsb;
}

uint32_t CWinUsbInterface::Write(const void* buffer, uint32_t length) {
    const auto device = Device();
    if (!device) {
        return 0;
    }
    const TransferResult result =
        device->WritePipe(m_PipeInfo[1].pipeId, static_cast<const uint8_t*>(buffer), length);
    return CountWritten(static_cast<uint32_t>(result.count));
}

uint32_t CWinUsbInterface::Read(void* buffer, uint32_t length, bool bWait) {
    const auto device = Device();
    if (!device) {
        return 0;
    }
    if (bWait && ReplyTimedOut()) {
        return 0;
    }
    const auto bound = bWait ? m_platform.clock.ToRealBound(ReplySilenceBound())
                             : NoWaitReadTime(m_platform.clock, kGreetingReadBound);
    const TransferResult result =
        m_reads.Read(*device, m_PipeInfo[0].pipeId, static_cast<uint8_t*>(buffer), length, bound);
    switch (result.status) {
        case TransferStatus::Done:
        case TransferStatus::Cancelled:
        case TransferStatus::Gone:
            return static_cast<uint32_t>(result.count);
        case TransferStatus::TimedOut:
            if (bWait && result.count == 0) {
                MarkReplyTimedOut();
            }
            return static_cast<uint32_t>(result.count);
        case TransferStatus::Refused:
            // The read could not even start: the one failure the operator is shown.
            m_platform.messages.ShowMessage(
                FormatText("GetLastError() = %x", static_cast<unsigned>(result.errorCode)));
            return 0;
        case TransferStatus::Overflow:
        case TransferStatus::Failed:
            break;  // failed after the wait: quietly nothing
    }
    return 0;
}

}  // namespace vantorel::link
