#include <gtest/gtest.h>

#include <cstring>

#include "engine/boot_loader_protocol.h"
#include "engine/byte_sum.h"
#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/linux/tty_serial_opener.h"
#include "link/usb_interface.h"
#include "tests/link_linux/pty_handset.h"
#include "tests/support/recording_message_sink.h"
#include "tests/support/scripted_link.h"
#include "tests/support/temp_dir.h"

namespace vantorel::link::linux_platform {
namespace {

using test::PtyHandset;

// A boot loader's side of the wire in its simplest form: answers the greeting, then takes
// 2048-byte packets and answers each with its byte sum.
void ServeStopAndWait(PtyHandset& handset, std::stop_token stop, std::vector<uint8_t>& received) {
    uint8_t greeting[4]{};
    if (!handset.Receive(greeting, 4, stop) || std::memcmp(greeting, "ATUD", 4) != 0 ||
        !handset.Send("OKUD")) {
        return;
    }
    std::vector<uint8_t> packet(engine::kPacketSize);
    while (handset.Receive(packet.data(), packet.size(), stop)) {
        received.insert(received.end(), packet.begin(), packet.end());
        uint8_t reply[4];
        engine::StoreLe32(reply, engine::ByteSum(packet.data(), packet.size()));
        if (!handset.Send(reply, sizeof reply)) {
            return;
        }
    }
}

// A reply may come in pieces: read until all four bytes are in.
bool ReadReply(CUsbInterface& link, uint8_t (&reply)[4]) {
    uint32_t done = 0;
    while (done < 4) {
        const uint32_t count = link.Read(reply + done, 4 - done);
        if (count == 0) {
            return false;
        }
        done += count;
    }
    return true;
}

TEST(PtyExchange, GreetingThenMegabytesOfStopAndWaitPacketsArriveIntact) {
    test::TempDir dir;
    PtyHandset handset(dir / "handset");
    std::vector<uint8_t> received;
    handset.Serve(
        [&](PtyHandset& self, std::stop_token stop) { ServeStopAndWait(self, stop, received); });
    TtyPathDirectory ttys({handset.Path()});
    TtySerialOpener opener;
    test::EmptyPlatform noBulk;
    test::RecordingMessageSink messages;
    Clock clock{0.01};
    CUsbInterface link(LinkPlatform{ttys, opener, noBulk, messages, clock});
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));

    ASSERT_EQ(engine::WriteGreeting(link), 4u);
    engine::Reply4 answer{};
    ASSERT_EQ(engine::ReadGreetingReply(link, answer), 4u);
    EXPECT_EQ(answer, engine::kReplyOkud);

    const auto image = test::PatternBytes(4 << 20, 11);
    for (size_t offset = 0; offset < image.size(); offset += engine::kPacketSize) {
        const uint8_t* packet = image.data() + offset;
        ASSERT_EQ(link.Write(packet, engine::kPacketSize), engine::kPacketSize);
        uint8_t reply[4];
        ASSERT_TRUE(ReadReply(link, reply)) << "no reply to the packet at " << offset;
        ASSERT_EQ(engine::LoadLe32(reply), engine::ByteSum(packet, engine::kPacketSize))
            << "at " << offset;
    }
    link.Close();
    handset.StopServing();
    EXPECT_TRUE(received == image) << "the handset got other bytes than were sent";
}

}  // namespace
}  // namespace vantorel::link::linux_platform
