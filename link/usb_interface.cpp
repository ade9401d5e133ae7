#include "link/usb_interface.h"

#include <algorithm>

#include "link/no_wait_read.h"

namespace vantorel::link {

namespace {
// A receive-character wait without bWait polls once and then up to ten more times, 100 ms
// apart: about 1.1 s per pass.
constexpr Clock::Duration kNoWaitPassLength{1100};
constexpr int kReadPasses = 10;
}  // namespace

std::chrono::nanoseconds CUsbInterface::NoWaitPass() const {
    return NoWaitReadTime(m_platform.clock, kNoWaitPassLength, kReadPasses);
}

CUsbInterface::CUsbInterface(const LinkPlatform& platform) : m_platform(platform) {}

CUsbInterface::~CUsbInterface() {
    // The owner closes the link before dropping it; whatever is still held is released here
    // by the handles' own destructors.
}

bool CUsbInterface::Open(const Guid* interfaceClass, int /*slot*/, const char* devicePath) {
    m_bOpened = false;
    m_bReplyTimedOut = false;
    Close();

    if (interfaceClass == nullptr) {
        return false;
    }
    const auto paths = m_platform.directory.ListPresent(*interfaceClass);
    if (!paths) {
        Close();
        return false;
    }
    const bool opened = std::any_of(paths->begin(), paths->end(), [&](const std::string& path) {
        return OpenInterface(path, devicePath);
    });
    if (!opened) {
        Close();
        return false;
    }
    m_bOpened = true;
    return true;
}

bool CUsbInterface::AcceptPath(const std::string& interfacePath, const char* devicePath) {
    if (devicePath != nullptr && interfacePath != devicePath) {
        return false;
    }
    std::lock_guard lock(m_handleMutex);
    m_szDevicePath = interfacePath;
    return true;
}

bool CUsbInterface::OpenInterface(const std::string& interfacePath, const char* devicePath) {
    if (!AcceptPath(interfacePath, devicePath)) {
        return false;
    }
    if (devicePath == nullptr) {
        WriteDiagnostic("Attempting to open %s\n", interfacePath.c_str());
    }
    auto channel = m_platform.serial.OpenExclusive(interfacePath);
    if (!channel) {
        WriteDiagnostic("FAILED to open %s\n", interfacePath.c_str());
        return false;
    }
    std::lock_guard lock(m_handleMutex);
    m_hDevice = std::move(channel);
    return true;
}

void CUsbInterface::Close() {
    ReleaseDevice();
    m_bOpened = false;
}

void CUsbInterface::ReleaseDevice() {
    std::shared_ptr<SerialChannel> released;
    {
        std::lock_guard lock(m_handleMutex);
        released.swap(m_hDevice);
    }
    // A read blocked on another thread keeps its own reference; cancelling wakes it, and the
    // device is closed when the last reference goes.
    if (released) {
        released->Cancel();
    }
}

std::shared_ptr<SerialChannel> CUsbInterface::Channel() const {
    std::lock_guard lock(m_handleMutex);
    return m_hDevice;
}

std::string CUsbInterface::DevicePath() const {
    std::lock_guard lock(m_handleMutex);
    return m_szDevicePath;
}

uint32_t CUsbInterface::Write(const void* buffer, uint32_t length) {
    const auto channel = Channel();
    if (!channel) {
        return 0;
    }
    return CountWritten(
        static_cast<uint32_t>(channel->Write(static_cast<const uint8_t*>(buffer), length)));
}

uint32_t CUsbInterface::Read(void* buffer, uint32_t length, bool bWait) {
    const auto channel = Channel();
    if (!channel) {
        return 0;
    }
    if (bWait && ReplyTimedOut()) {
        return 0;
    }
    for (int pass = 0; pass < kReadPasses; ++pass) {
        const WaitOutcome outcome = channel->WaitForData(
            bWait ? m_platform.clock.ToRealBound(ReplySilenceBound()) : NoWaitPass());
        // The channel's read takes what is queued, up to `length`, without waiting: the same
        // bytes as asking for the queued count first, one system call fewer per reply.
        const size_t count = channel->Read(static_cast<uint8_t*>(buffer), length);
        if (count > 0) {
            return static_cast<uint32_t>(count);
        }
        if (outcome == WaitOutcome::Closed) {
            return 0;  // closed under us or the device went away: no further pass can help
        }
        if (bWait && outcome == WaitOutcome::TimedOut) {
            MarkReplyTimedOut();
            return 0;
        }
    }
    return 0;
}

}  // namespace vantorel::link
