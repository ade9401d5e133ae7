#include "tools/usb_vm/probe_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

namespace vantorel::usb_vm {

namespace {

std::vector<uint8_t> PseudoRandomBytes(uint64_t seed, uint32_t length) {
    // xorshift64*: cheap, and no two seeds give the same stream.
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
    std::vector<uint8_t> bytes(length);
    for (uint32_t i = 0; i < length; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        bytes[i] = static_cast<uint8_t>((state * 0x2545F4914F6CDD1Dull) >> 56);
    }
    return bytes;
}

uint64_t SeedOf(std::string_view text, uint64_t image) {
    uint64_t seed = 1469598103934665603ull + image;  // FNV-1a
    for (const char c : text) {
        seed = (seed ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    return seed;
}

}  // namespace

ProbeImages MakeProbeImages(std::string_view handsetName, uint32_t ebootSize, uint32_t phoneSize,
                            uint32_t cscSize) {
    return ProbeImages{PseudoRandomBytes(SeedOf(handsetName, 0), ebootSize),
                       PseudoRandomBytes(SeedOf(handsetName, 1), phoneSize),
                       PseudoRandomBytes(SeedOf(handsetName, 2), cscSize)};
}

bool WaitUntilListed(link::DeviceDirectory& directory, const std::string& devicePath, bool bListed,
                     std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (const auto paths = directory.ListPresent(link::GUID_DEVINTERFACE_DOWNLOAD)) {
            const bool listed = std::find(paths->begin(), paths->end(), devicePath) != paths->end();
            if (listed == bListed) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string ReadUsbSerial(const std::filesystem::path& usbDevicesDir, const std::string& portPath) {
    std::ifstream file(usbDevicesDir / portPath / "serial");
    std::string serial;
    std::getline(file, serial);
    return serial;
}

void StderrMessageSink::ShowMessage(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "[message box%s%s] %s\n", caption.empty() ? "" : " ", caption.c_str(),
                 text.c_str());
    std::lock_guard lock(m_mutex);
    m_messages.push_back(text);
}

std::vector<std::string> StderrMessageSink::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

void ProbeReporter::SendSlotStatus(uint32_t code, uint32_t /*lParam*/) {
    if (code == engine::kStatusFlashProgress) {
        ++m_flashProgress;
    }
}

void ProbeReporter::AppendMainLogText(std::string_view text) {
    std::fprintf(stderr, "[%s] %.*s", m_name.c_str(), static_cast<int>(text.size()), text.data());
}

}  // namespace vantorel::usb_vm
