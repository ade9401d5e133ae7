#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/platform/device_path.h"
#include "link/platform/linux/download_ids.h"
#include "link/platform/linux/download_match.h"
#include "link/platform/linux/held_paths.h"
#include "link/platform/linux/libusb_error_report.h"
#include "link/platform/linux/sliced_transfer.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/usb_port_location.h"
#include "tests/support/temp_dir.h"

namespace vantorel::link::linux_platform {
namespace {

using namespace std::chrono_literals;

TEST(UsbPortLocation, ParsesTheKernelsPortPaths) {
    EXPECT_EQ(ParsePortPath("1-1.4"), (UsbPortLocation{1, {1, 4}}));
    EXPECT_EQ(ParsePortPath("12-10"), (UsbPortLocation{12, {10}}));
    EXPECT_EQ(ParsePortPath("2-1.2.3.4.5.6.7"), (UsbPortLocation{2, {1, 2, 3, 4, 5, 6, 7}}));
    for (const char* bad : {"", "1", "1-", "-1", "1-1.", "1-.1", "1.1", "1-1-2", "usb1", "1-1:1.0",
                            "0-1", "1-0", "01-1", "256-1", "1-1.2.3.4.5.6.7.8"}) {
        EXPECT_EQ(ParsePortPath(bad), std::nullopt) << bad;
    }
    for (const char* path : {"1-1", "3-2.10.4"}) {
        EXPECT_EQ(FormatPortPath(*ParsePortPath(path)), path);
    }
}

TEST(DownloadMatch, ListsTableIdsAndTaggedDevicesUnderTheirPortPath) {
    EXPECT_EQ(ParseUsbId("12aB"), 0x12ab);
    for (const char* bad : {static_cast<const char*>(nullptr), "", "123", "12345", "12g4"}) {
        EXPECT_EQ(ParseUsbId(bad), std::nullopt);
    }
    static_assert(IsDownloadId(0x1209, 0x0001));
    EXPECT_EQ(DownloadInterfacePath("1209", "0001", nullptr, "1-1.4"),
              MakeDevicePath(0x1209, 0x0001, "1-1.4"));
    EXPECT_EQ(DownloadInterfacePath("04e8", "1234", nullptr, "2-3"), std::nullopt);
    EXPECT_EQ(DownloadInterfacePath("04e8", "1234", "0", "2-3"), std::nullopt);
    EXPECT_EQ(DownloadInterfacePath("04e8", "1234", "1", "2-3"),
              MakeDevicePath(0x04e8, 0x1234, "2-3"));
    EXPECT_EQ(DownloadInterfacePath(nullptr, "0001", "1", "2-3"), std::nullopt);
    EXPECT_EQ(DownloadInterfacePath("1209", "0001", nullptr, nullptr), std::nullopt);
}

TEST(HeldPaths, APathIsHeldUntilItsClaimIsDropped) {
    const auto held = std::make_shared<HeldPaths>();
    auto claim = held->TryHold("1-1");
    ASSERT_NE(claim, nullptr);
    EXPECT_EQ(held->TryHold("1-1"), nullptr);
    EXPECT_NE(held->TryHold("1-2"), nullptr) << "another path is free (and released at once)";
    EXPECT_FALSE(held->IsHeld("1-2"));
    claim.reset();
    EXPECT_FALSE(held->IsHeld("1-1"));
    EXPECT_NE(held->TryHold("1-1"), nullptr);
}

TEST(HeldPaths, OfThreadsRacingForOnePathExactlyOneWins) {
    const auto held = std::make_shared<HeldPaths>();
    std::atomic<int> winners{0};
    std::vector<std::unique_ptr<HeldPaths::Claim>> claims(8);
    {
        std::vector<std::jthread> racers;
        for (auto& claim : claims) {
            racers.emplace_back([&] {
                claim = held->TryHold("1-4");
                winners += claim ? 1 : 0;
            });
        }
    }
    EXPECT_EQ(winners.load(), 1);
}

// A scripted series of transfer attempts, recording what each was asked to move.
struct ScriptedAttempts {
    struct Step {
        int result;
        size_t moved;
    };
    explicit ScriptedAttempts(std::vector<Step> steps = {}) : script(std::move(steps)) {}

    std::vector<Step> script;
    std::vector<std::pair<size_t, size_t>> asked;  // offset, length
    std::vector<std::chrono::milliseconds> timeouts;
    std::function<void()> onAttempt;

    TransferAttempt Attempt() {
        return [this](size_t offset, size_t length, std::chrono::milliseconds timeout) {
            asked.emplace_back(offset, length);
            timeouts.push_back(timeout);
            if (onAttempt) {
                onAttempt();
            }
            const Step step = asked.size() <= script.size() ? script[asked.size() - 1]
                                                            : Step{LIBUSB_ERROR_TIMEOUT, 0};
            return TransferAttemptResult{step.result, step.moved};
        };
    }
};

TEST(SlicedTransfer, AWriteThatTimesOutPartWayGoesOnWithTheRestOnly) {
    ScriptedAttempts attempts{{{LIBUSB_ERROR_TIMEOUT, 512},
                               {LIBUSB_ERROR_TIMEOUT, 0},
                               {LIBUSB_ERROR_TIMEOUT, 1024},
                               {LIBUSB_SUCCESS, 512}}};
    std::atomic<bool> cancelled{false};
    const auto result = RunSlicedTransfer(TransferDirection::Out, 2048, std::nullopt, cancelled,
                                          attempts.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Done);
    EXPECT_EQ(result.count, 2048u);
    const std::vector<std::pair<size_t, size_t>> expected{
        {0, 2048}, {512, 1536}, {512, 1536}, {1536, 512}};
    EXPECT_EQ(attempts.asked, expected);
    for (const auto timeout : attempts.timeouts) {
        EXPECT_GT(timeout.count(), 0) << "zero would wait for ever";
        EXPECT_LE(timeout, kTransferSlice);
    }
}

TEST(SlicedTransfer, AReadWaitsThroughEmptyAttemptsAndEndsWithWhatArrived) {
    std::atomic<bool> cancelled{false};
    ScriptedAttempts quiet{
        {{LIBUSB_ERROR_TIMEOUT, 0}, {LIBUSB_ERROR_TIMEOUT, 0}, {LIBUSB_SUCCESS, 4}}};
    auto result =
        RunSlicedTransfer(TransferDirection::In, 16, std::nullopt, cancelled, quiet.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Done);
    EXPECT_EQ(result.count, 4u);
    EXPECT_EQ(quiet.asked.size(), 3u);

    ScriptedAttempts partial{{{LIBUSB_ERROR_TIMEOUT, 3}}};
    result =
        RunSlicedTransfer(TransferDirection::In, 16, std::nullopt, cancelled, partial.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Done);
    EXPECT_EQ(result.count, 3u);
}

TEST(SlicedTransfer, MapsTheEndsOfATransfer) {
    std::atomic<bool> cancelled{false};
    ScriptedAttempts gone{{{LIBUSB_ERROR_TIMEOUT, 100}, {LIBUSB_ERROR_NO_DEVICE, 0}}};
    auto result =
        RunSlicedTransfer(TransferDirection::Out, 2048, std::nullopt, cancelled, gone.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Gone);
    EXPECT_EQ(result.count, 100u);

    ScriptedAttempts pulled{{{LIBUSB_ERROR_IO, 0}}};
    result = RunSlicedTransfer(TransferDirection::In, 4, std::nullopt, cancelled, pulled.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Gone) << "a pull mid-transfer is no error box";

    ScriptedAttempts stalled{{{LIBUSB_ERROR_PIPE, 0}}};
    result =
        RunSlicedTransfer(TransferDirection::In, 4, std::nullopt, cancelled, stalled.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Failed);
    EXPECT_EQ(result.errorCode, 9);

    ScriptedAttempts babble{{{LIBUSB_ERROR_OVERFLOW, 0}}};
    result = RunSlicedTransfer(TransferDirection::In, 4, std::nullopt, cancelled, babble.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Overflow);
    EXPECT_EQ(result.errorCode, 8);

    // Not submitted at all: the one kind of failure that is not quiet.
    ScriptedAttempts refused{{{LIBUSB_ERROR_INVALID_PARAM, 0}}};
    result =
        RunSlicedTransfer(TransferDirection::In, 4, std::nullopt, cancelled, refused.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Refused);
    EXPECT_EQ(result.errorCode, 2);

    // Cancelled from elsewhere while attempts keep timing out.
    ScriptedAttempts waiting{{{LIBUSB_ERROR_TIMEOUT, 8}}};
    waiting.onAttempt = [&] {
        if (waiting.asked.size() == 3) {
            cancelled = true;
        }
    };
    result =
        RunSlicedTransfer(TransferDirection::Out, 64, std::nullopt, cancelled, waiting.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Cancelled);
    EXPECT_EQ(result.count, 8u);
    EXPECT_EQ(waiting.asked.size(), 3u);
    result =
        RunSlicedTransfer(TransferDirection::In, 4, std::nullopt, cancelled, waiting.Attempt());
    EXPECT_EQ(result.status, TransferStatus::Cancelled) << "a cancel holds for later transfers";
    EXPECT_EQ(waiting.asked.size(), 3u);
}

TEST(LibusbErrorLine, NamesTheErrorAsLibusbDoes) {
    const std::string line =
        LibusbErrorLine("bulk read, endpoint 0x81", "1-2.3", LIBUSB_ERROR_OVERFLOW);
    EXPECT_EQ(line.rfind("libusb: bulk read, endpoint 0x81, 1-2.3: LIBUSB_ERROR_OVERFLOW (", 0), 0u)
        << line;
    EXPECT_EQ(LibusbErrorLine("open", "", 4), LibusbErrorLine("open", "", LIBUSB_ERROR_NO_DEVICE))
        << "a magnitude names the same error";
    EXPECT_NE(LibusbErrorLine("open", "", 4).find("LIBUSB_ERROR_NO_DEVICE"), std::string::npos);
}

TEST(SlicedTransfer, ABoundedReadTimesOut) {
    std::atomic<bool> cancelled{false};
    ScriptedAttempts silent;
    silent.onAttempt = [] { std::this_thread::sleep_for(1ms); };
    const auto result =
        RunSlicedTransfer(TransferDirection::In, 4, 20ms, cancelled, silent.Attempt());
    EXPECT_EQ(result.status, TransferStatus::TimedOut);
    EXPECT_EQ(result.count, 0u);
    EXPECT_FALSE(silent.asked.empty());
    EXPECT_LE(silent.timeouts.front(), 20ms) << "no attempt outlasts the bound";
}

TEST(TtyPathDirectory, ListsThePathsThatExistInTheConfiguredOrder) {
    test::TempDir dir;
    const std::string b = dir.WriteFile("b", {});
    const std::string a = dir.WriteFile("a", {});
    const std::string absent = (dir / "absent").string();
    TtyPathDirectory ttys({b, absent, a});
    ttys.Add(b);
    EXPECT_EQ(ttys.ListPresent(GUID_DEVINTERFACE_DOWNLOAD), (std::vector<std::string>{b, a}));
    dir.WriteFile("absent", {});
    EXPECT_EQ(ttys.ListPresent(GUID_DEVINTERFACE_DOWNLOAD),
              (std::vector<std::string>{b, absent, a}));
    const Guid other{1, 2, 3, {}};
    EXPECT_EQ(ttys.ListPresent(other), std::vector<std::string>{});
}

TEST(UdevRules, TagEveryIdOfTheTable) {
    std::ifstream file(VANTOREL_SOURCE_DIR "/resources/udev/70-vantorel.rules");
    ASSERT_TRUE(file) << "rules file missing";
    std::stringstream text;
    text << file.rdbuf();
    const std::string rules = text.str();
    for (const UsbId& id : kDownloadIds) {
        char usbRule[160];
        std::snprintf(usbRule, sizeof usbRule,
                      "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                      "ATTR{idProduct}==\"%04x\", ENV{VANTOREL_DOWNLOAD}=\"1\", TAG+=\"uaccess\"",
                      id.vendorId, id.productId);
        char ttyRule[160];
        std::snprintf(ttyRule, sizeof ttyRule,
                      "SUBSYSTEM==\"tty\", SUBSYSTEMS==\"usb\", ATTRS{idVendor}==\"%04x\", "
                      "ATTRS{idProduct}==\"%04x\", ENV{VANTOREL_DOWNLOAD}=\"1\", TAG+=\"uaccess\"",
                      id.vendorId, id.productId);
        EXPECT_NE(rules.find(usbRule), std::string::npos) << usbRule;
        EXPECT_NE(rules.find(ttyRule), std::string::npos) << ttyRule;
    }
}

}  // namespace
}  // namespace vantorel::link::linux_platform

#include "link/platform/linux/udev_hotplug_monitor.h"

namespace vantorel::link::linux_platform {
namespace {

TEST(UdevHotplugMonitor, TranslatesArrivalAndRemovalToTheSamePath) {
    UdevHotplugMonitor monitor;
    const char* syspath = "/sys/devices/pci0000:00/usb1/1-1/1-1.4";
    const auto arrival = monitor.Translate("add", syspath, "1-1.4", "usb_device", "1209", "0001",
                                           "1209/1/100", nullptr);
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->kind, DeviceEventKind::Arrival);
    EXPECT_EQ(arrival->devicePath, MakeDevicePath(0x1209, 0x0001, "1-1.4"));
    // A removal has no sysfs attributes left: the path must still come out the same.
    const auto removal = monitor.Translate("remove", syspath, "1-1.4", "usb_device", nullptr,
                                           nullptr, "1209/1/100", nullptr);
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->kind, DeviceEventKind::Removal);
    EXPECT_EQ(removal->devicePath, arrival->devicePath);
}

TEST(UdevHotplugMonitor, ATaggedDeviceIsRecognisedOnRemovalByItsArrival) {
    UdevHotplugMonitor monitor;
    const char* syspath = "/sys/devices/usb2/2-3";
    const auto arrival =
        monitor.Translate("add", syspath, "2-3", "usb_device", "abcd", "1234", "abcd/1234/1", "1");
    ASSERT_TRUE(arrival);
    const auto removal = monitor.Translate("remove", syspath, "2-3", "usb_device", nullptr, nullptr,
                                           "abcd/1234/1", nullptr);
    ASSERT_TRUE(removal);
    EXPECT_EQ(removal->devicePath, arrival->devicePath);
}

TEST(UdevHotplugMonitor, IgnoresOtherDevicesInterfacesAndActions) {
    UdevHotplugMonitor monitor;
    EXPECT_FALSE(monitor.Translate("add", "/sys/x/1-2", "1-2", "usb_device", "046d", "c52b",
                                   "46d/c52b/1", nullptr));
    EXPECT_FALSE(monitor.Translate("add", "/sys/x/1-2:1.0", "1-2:1.0", "usb_interface", "1209",
                                   "0001", "1209/1/100", nullptr));
    EXPECT_FALSE(monitor.Translate("bind", "/sys/x/1-2", "1-2", "usb_device", "1209", "0001",
                                   "1209/1/100", nullptr));
    EXPECT_FALSE(monitor.Translate("remove", "/sys/x/1-5", "1-5", "usb_device", nullptr, nullptr,
                                   "46d/c52b/1", nullptr));
}

TEST(UdevHotplugMonitor, StartsOnThisMachineAndHasNothingToReport) {
    UdevHotplugMonitor monitor;
    int error = -1;
    ASSERT_TRUE(monitor.Start(error)) << "error " << error;
    EXPECT_GE(monitor.NotificationFd(), 0);
    EXPECT_TRUE(monitor.TakeEvents().empty());
}

}  // namespace
}  // namespace vantorel::link::linux_platform
