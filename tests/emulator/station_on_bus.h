#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulator/bus_handset.h"
#include "engine/boot_loader_protocol.h"
#include "engine/download_batch.h"
#include "engine/image_file.h"
#include "engine/ram_transfer.h"
#include "link/interface_class.h"
#include "link/platform/emulated/emulated_bus.h"
#include "link/winusb_interface.h"
#include "tests/support/recording_message_sink.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/temp_dir.h"

namespace vantorel::emulator::test {

using namespace std::chrono_literals;
using link::DeviceEvent;
using link::DeviceEventKind;

// Bounds for waits that succeed at once when all is well; only a broken emulator hits them.
inline constexpr auto kBound = std::chrono::seconds(10);

// The bus's arrivals and removals, in order.
class BusEventLog {
public:
    void Add(DeviceEventKind kind, const std::string& path) {
        {
            std::lock_guard lock(m_mutex);
            m_events.push_back({kind, path});
        }
        m_changed.notify_all();
    }
    bool WaitForCount(size_t count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kBound, [&] { return m_events.size() >= count; });
    }
    bool WaitForArrivals(size_t count, std::chrono::nanoseconds bound) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] {
            return static_cast<size_t>(std::count_if(
                       m_events.begin(), m_events.end(), [](const DeviceEvent& event) {
                           return event.kind == DeviceEventKind::Arrival;
                       })) >= count;
        });
    }
    // Forgets what happened so far: the next handset counts its arrivals from none.
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    std::vector<DeviceEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<DeviceEvent> m_events;
};

// The station's real pieces (either link variant, the protocol operations, the RAM
// transfer) on an emulated bus. The parameter picks CWinUsbInterface when true.
class StationOnBus : public ::testing::TestWithParam<bool> {
protected:
    static constexpr uint32_t kDownloadBase = 0x00030000;
    static constexpr const char* kPort = "1-4";

    StationOnBus() {
        bus.SetDeviceEventHandler(
            [this](DeviceEventKind kind, const std::string& path) { events.Add(kind, path); });
        link = GetParam() ? std::make_unique<link::CWinUsbInterface>(platform)
                          : std::make_unique<link::CUsbInterface>(platform);
    }
    ~StationOnBus() override {
        link->Close();
        handset.reset();
        bus.SetDeviceEventHandler(nullptr);
    }

    static HandsetConfig Config() {
        HandsetConfig config;
        config.downloadBase = kDownloadBase;
        return config;
    }

    // Plugs in a handset and opens the link to it.
    BusHandset& PlugHandset(HandsetConfig config = Config(), HandsetFaults faults = {}) {
        handset =
            std::make_unique<BusHandset>(bus, kPort, clock, std::move(config), std::move(faults));
        handset->Plug();
        EXPECT_TRUE(handset->WaitUntilPlugged(kBound));
        EXPECT_TRUE(link->Open(&link::GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
        return *handset;
    }

    // One greeting attempt; the 4 bytes read, or what arrived of them.
    std::string GreetOnce() {
        engine::WriteGreeting(*link);
        engine::Reply4 reply{};
        const uint32_t count = engine::ReadGreetingReply(*link, reply);
        return std::string(reinterpret_cast<const char*>(reply.data()), count);
    }

    // Sends `bytes` into handset RAM the way the worker does; the transfer's status code.
    uint32_t ToRam(int32_t kind, const std::vector<uint8_t>& bytes, uint32_t* errorFlag = nullptr) {
        const std::string path = files.WriteFile("image-" + std::to_string(++m_files), bytes);
        engine::ImageFile file;
        EXPECT_TRUE(file.Open(path));
        const engine::SlotContext slot{*link, reporter, 0, clock};
        uint32_t flag = 0;
        const uint32_t status = engine::DownloadToRam(
            slot, kind, file, 0, static_cast<uint32_t>(bytes.size()), kDownloadBase, flag);
        if (errorFlag != nullptr) {
            *errorFlag = flag;
        }
        return status;
    }

    // Long enough for several reboot delays: a handset that was to come back has done so.
    void WaitLongerThanAReboot() {
        std::this_thread::sleep_for(clock.ToReal(HandsetConfig{}.rebootDelay) * 4);
    }

    int Flash(uint32_t code, uint32_t a1, uint32_t length, uint32_t check,
              uint32_t sectorSize = engine::kDefaultPdaSectorSize) {
        return engine::FlashWrite(*link, code, a1, length, check, reporter, 0, clock, sectorSize);
    }

    std::string ReadText4() {
        engine::Reply4 reply{};
        const uint32_t count = engine::ReadReply4(*link, reply);
        return std::string(reinterpret_cast<const char*>(reply.data()), count);
    }

    uint32_t ReadWord() {
        engine::Reply4 reply{};
        EXPECT_EQ(engine::ReadReply4(*link, reply), 4u);
        return engine::ReplyValue(reply);
    }

    link::emulated::EmulatedBus bus;
    BusEventLog events;
    vantorel::test::RecordingMessageSink messages;
    vantorel::test::RecordingReporter reporter;
    vantorel::test::TempDir files;
    // Fast enough, yet a greeting read (ten passes of 1.1 s) still waits 220 ms for a busy
    // machine's handset thread.
    Clock clock{0.02};
    link::LinkPlatform platform{bus, bus, bus, messages, clock};
    std::unique_ptr<link::CUsbInterface> link;
    std::unique_ptr<BusHandset> handset;

private:
    int m_files = 0;
};

inline std::string LinkVariantName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "WinUsb" : "Serial";
}

}  // namespace vantorel::emulator::test
