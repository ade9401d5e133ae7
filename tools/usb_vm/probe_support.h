#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/slot_status.h"
#include "link/message_sink.h"
#include "link/platform/device_directory.h"

namespace vantorel::usb_vm {

// The images one handset is sent: bytes that differ from handset to handset, so that a
// record that landed on the wrong handset does not match.
struct ProbeImages {
    std::vector<uint8_t> eboot;
    std::vector<uint8_t> phone;
    std::vector<uint8_t> csc;
};
ProbeImages MakeProbeImages(std::string_view handsetName, uint32_t ebootSize, uint32_t phoneSize,
                            uint32_t cscSize);

// Polls the directory until `devicePath` is listed (or, with bListed false, no longer
// listed); false when that did not happen within `bound`.
bool WaitUntilListed(link::DeviceDirectory& directory, const std::string& devicePath, bool bListed,
                     std::chrono::milliseconds bound);

// The serial number string of the USB device at `portPath` ("1-1"): the gadget's name.
std::string ReadUsbSerial(const std::filesystem::path& usbDevicesDir, const std::string& portPath);

// Message boxes become lines on standard error, and are counted.
class StderrMessageSink final : public link::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& caption = {}) override;
    std::vector<std::string> Messages() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_messages;
};

// One handset's status notifications and log lines, as a console would get them; the log
// goes to standard error with the handset's name.
class ProbeReporter final : public engine::DownloadReporter {
public:
    explicit ProbeReporter(std::string name) : m_name(std::move(name)) {}

    void SendSlotStatus(uint32_t code, uint32_t lParam) override;
    void AppendMainLogText(std::string_view text) override;

    // How many flash progress notifications (206) came.
    uint64_t FlashProgressCount() const { return m_flashProgress; }

private:
    const std::string m_name;
    uint64_t m_flashProgress = 0;
};

}  // namespace vantorel::usb_vm
