#include <gtest/gtest.h>

#include <filesystem>

#include "link/platform/device_path.h"
#include "link/platform/linux/libusb_handles.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/usb_interface.h"
#include "link/winusb_interface.h"
#include "tests/support/recording_message_sink.h"

namespace vantorel::link::linux_platform {
namespace {

// These run on build machines without any USB: the real platform starts, lists nothing and
// refuses made-up devices cleanly.
bool MachineHasUsb() {
    return std::filesystem::exists("/sys/bus/usb/devices");
}

constexpr Guid kOtherClass{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

TEST(LinuxPlatformWithoutUsb, StartsAndListsNothing) {
    LinuxLinkPlatform platform;
    EXPECT_TRUE(platform.OffersBulkLinks()) << "libusb did not initialise";
    const auto others = platform.Directory().ListPresent(kOtherClass);
    ASSERT_TRUE(others.has_value());
    EXPECT_TRUE(others->empty()) << "only the download class lists anything";
    const auto present = platform.Directory().ListPresent(GUID_DEVINTERFACE_DOWNLOAD);
    ASSERT_TRUE(present.has_value()) << "libudev failed";
    if (!MachineHasUsb()) {
        EXPECT_TRUE(present->empty());
    }
}

TEST(LinuxPlatformWithoutUsb, LibusbListsNoDevice) {
    const auto context = MakeLibusbContext();
    ASSERT_NE(context, nullptr);
    const LibusbDeviceList list(context.get());
    ASSERT_TRUE(list);
    if (!MachineHasUsb()) {
        EXPECT_TRUE(list.Devices().empty());
    }
}

TEST(LinuxPlatformWithoutUsb, MadeUpDevicesDoNotOpen) {
    LinuxLinkPlatform platform;
    const std::string madeUp = MakeDevicePath(0x1209, 0x0001, "3-9.9");
    EXPECT_EQ(platform.Bulk().Open(madeUp), nullptr);
    EXPECT_EQ(platform.Bulk().Open(MakeDevicePath(0x1209, 0x0001, "usb1")), nullptr);
    EXPECT_EQ(platform.Bulk().Open("/dev/ttyACM0"), nullptr);
    EXPECT_EQ(platform.Serial().OpenExclusive(madeUp), nullptr);
}

TEST(LinuxPlatformWithoutUsb, BothLinkVariantsFailToOpenAndStayClosed) {
    LinuxLinkPlatform real;
    const auto present = real.Directory().ListPresent(GUID_DEVINTERFACE_DOWNLOAD);
    if (!present || !present->empty()) {
        GTEST_SKIP() << "a handset is attached to this machine";
    }
    test::RecordingMessageSink messages;
    const Clock clock;
    const LinkPlatform platform = real.Compose(messages, clock);
    CUsbInterface serial(platform);
    CWinUsbInterface bulk(platform);
    for (CUsbInterface* link : {&serial, static_cast<CUsbInterface*>(&bulk)}) {
        EXPECT_FALSE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
        EXPECT_FALSE(link->IsOpened());
        const std::string madeUp = MakeDevicePath(0x1209, 0x0001, "1-1");
        EXPECT_FALSE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, madeUp.c_str()));
        EXPECT_FALSE(link->IsOpened());
        link->Close();
    }
    EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace vantorel::link::linux_platform
