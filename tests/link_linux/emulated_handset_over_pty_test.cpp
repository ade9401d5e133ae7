// The real serial-style link (tty channel, exclusive open, raw mode) against the handset
// emulator serving the master side of a pseudo-terminal: the station's code and its test
// peer meet over a real /dev/pts node.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "emulator/pty_handset.h"
#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "engine/download_batch.h"
#include "engine/image_file.h"
#include "engine/ram_transfer.h"
#include "link/platform/linux/linux_link_platform.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/usb_interface.h"
#include "tests/support/recording_message_sink.h"
#include "tests/support/recording_reporter.h"
#include "tests/support/temp_dir.h"

namespace vantorel::link::linux_platform {
namespace {

TEST(EmulatedHandsetOverPty, GreetsMovesAnImageIntoFlashAndComesBackAfterAReboot) {
    test::TempDir dir;
    const Clock clock(0.001);
    const std::string linkPath = (dir / "handset-1").string();
    emulator::PtyHandset handset(linkPath, clock);
    handset.Plug();
    ASSERT_TRUE(handset.WaitUntilPlugged(std::chrono::seconds(5)));
    ASSERT_TRUE(std::filesystem::read_symlink(linkPath).string().starts_with("/dev/pts/"));

    LinuxLinkPlatform realPlatform;
    TtyPathDirectory directory({linkPath});
    test::RecordingMessageSink messages;
    CUsbInterface usb(realPlatform.Compose(directory, messages, clock));
    ASSERT_TRUE(usb.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_EQ(usb.DevicePath(), linkPath);

    engine::Reply4 reply{};
    engine::WriteGreeting(usb);
    engine::ReadGreetingReply(usb, reply);
    ASSERT_EQ(reply, engine::kReplyOkud);

    const auto bytes = test::PatternBytes(3 * 1024 * 1024 + 77, 21);
    engine::ImageFile file;
    ASSERT_TRUE(file.Open(dir.WriteFile("phone.bin", bytes)));
    test::RecordingReporter reporter;
    const engine::SlotContext slot{usb, reporter, 0, clock};
    uint32_t errorFlag = 0;
    ASSERT_EQ(engine::DownloadToRam(slot, engine::IMG_PHONE, file, 0,
                                    static_cast<uint32_t>(bytes.size()), 0, errorFlag),
              0u);
    ASSERT_EQ(
        engine::FlashWrite(usb, engine::kCmdFlashPhone, 0, static_cast<uint32_t>(bytes.size()),
                           engine::ByteSumPortable(bytes.data(), bytes.size()), reporter, 0, clock,
                           engine::kDefaultPdaSectorSize),
        0);
    engine::ReadReply4(usb, reply);
    EXPECT_EQ(reply, engine::kReplyOkud);
    const auto record = handset.Record();
    ASSERT_TRUE(record.phone);
    EXPECT_TRUE(record.phone->Matches(bytes));

    // Command 20 takes the handset off its pseudo-terminal; it comes back at the same path.
    const std::string recorded = usb.DevicePath();
    EXPECT_TRUE(engine::SendCommand(usb, engine::kCmdReboot, engine::kLaunchAddress, 0, 0));
    usb.Close();
    ASSERT_TRUE(handset.WaitForReboots(1, std::chrono::seconds(5)));
    bool reopened = false;
    for (int attempt = 0; attempt < 500 && !reopened; ++attempt) {
        reopened = usb.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str());
        if (!reopened) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ASSERT_TRUE(reopened);
    engine::WriteGreeting(usb);
    reply = {};
    engine::ReadGreetingReply(usb, reply);
    EXPECT_EQ(reply, engine::kReplyOkud);
    usb.Close();
}

}  // namespace
}  // namespace vantorel::link::linux_platform
