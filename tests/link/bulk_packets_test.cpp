// The bulk link over pipes that move packets, as USB does: replies that share a packet, a
// reply spread over two, zero-length packets, and the raw pipe's overflow that the link's
// partial reads keep away from the caller.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "link/platform/emulated/emulated_bus.h"
#include "link/winusb_interface.h"
#include "tests/support/recording_message_sink.h"

namespace vantorel::link {
namespace {

using emulated::EmulatedBus;
using emulated::kEmulatedPacketSize;
using namespace std::chrono_literals;

class BulkPacketTest : public ::testing::Test {
protected:
    void SetUp() override {
        cable = bus.Plug("1-1");
        ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    }

    bool Send(const std::string& text) {
        return cable->Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    std::string Read(uint32_t length) {
        std::string buffer(length, '\0');
        buffer.resize(link.Read(buffer.data(), length));
        return buffer;
    }

    EmulatedBus bus;
    test::RecordingMessageSink messages;
    Clock clock{0.001};
    LinkPlatform platform{bus, bus, bus, messages, clock};
    CWinUsbInterface link{platform};
    std::shared_ptr<emulated::HandsetCable> cable;
};

TEST_F(BulkPacketTest, TwoRepliesInOnePacketAreReadOneAfterTheOther) {
    // The raw pipe, asked for less than the packet holds, overflows as on the wire.
    auto rawCable = bus.Plug("1-2");
    auto raw = bus.Open(EmulatedBus::DevicePathOf("1-2"));
    ASSERT_TRUE(raw);
    const uint8_t eight[8]{'O', 'K', 'D', 'N', 'O', 'K', 'U', 'D'};
    ASSERT_TRUE(rawCable->Write(eight, 8));
    uint8_t four[4]{};
    const TransferResult overflow = raw->ReadPipe(EmulatedBus::kBulkInPipe, four, 4, 1s);
    EXPECT_EQ(overflow.status, TransferStatus::Overflow);
    EXPECT_EQ(overflow.count, 0u);

    // The link asks for whole packets and keeps the rest.
    ASSERT_TRUE(Send("OKDNOKUD"));
    EXPECT_EQ(Read(4), "OKDN");
    EXPECT_EQ(Read(4), "OKUD");
    ASSERT_TRUE(Send("\x01\x02\x03\x04\x05\x06\x07\x08"));
    EXPECT_EQ(Read(4), "\x01\x02\x03\x04");
    EXPECT_EQ(Read(2), "\x05\x06");
    EXPECT_EQ(Read(4), "\x07\x08");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(BulkPacketTest, AReplySplitOverTwoPacketsArrivesOverTwoReads) {
    ASSERT_TRUE(Send("OK"));
    ASSERT_TRUE(Send("UD"));
    // A short packet ends a transfer: each read returns what one packet brought.
    EXPECT_EQ(Read(4), "OK");
    EXPECT_EQ(Read(4), "UD");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(BulkPacketTest, AZeroLengthPacketEndsATransferThatFilledItsLastPacket) {
    std::string full(kEmulatedPacketSize, '\0');
    std::iota(full.begin(), full.end(), '\0');

    // The raw pipe: a full packet with nothing behind it ends no transfer until the
    // zero-length packet does.
    auto rawCable = bus.Plug("1-2");
    auto raw = bus.Open(EmulatedBus::DevicePathOf("1-2"));
    ASSERT_TRUE(raw);
    ASSERT_TRUE(rawCable->Write(reinterpret_cast<const uint8_t*>(full.data()), full.size()));
    std::vector<uint8_t> buffer(2 * kEmulatedPacketSize);
    TransferResult result =
        raw->ReadPipe(EmulatedBus::kBulkInPipe, buffer.data(), buffer.size(), 1s);
    EXPECT_EQ(result.status, TransferStatus::Done);
    EXPECT_EQ(result.count, kEmulatedPacketSize) << "ended by the zero-length packet";
    result = raw->ReadPipe(EmulatedBus::kBulkInPipe, buffer.data(), buffer.size(), 50ms);
    EXPECT_EQ(result.status, TransferStatus::TimedOut) << "the zero-length packet was taken";

    // The link: the packet comes out in reads of 4, then the zero-length packet as a read
    // of nothing, then the next reply.
    ASSERT_TRUE(Send(full));
    ASSERT_TRUE(Send("OKUD"));
    std::string received;
    for (size_t i = 0; i < kEmulatedPacketSize / 4; ++i) {
        received += Read(4);
    }
    EXPECT_EQ(received, full);
    EXPECT_EQ(Read(4), "");
    EXPECT_EQ(Read(4), "OKUD");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(BulkPacketTest, NoMixOfTransferAndReadLengthsLosesOrReordersAByte) {
    const std::vector<size_t> transfers{1, 4, 8, 511, 512, 513, 1024, 3, 2000, 7, 1536, 2};
    const std::vector<uint32_t> reads{4, 1, 7, 512, 3, 600, 8, 1024};
    std::string sent;
    for (const size_t length : transfers) {
        std::string transfer;
        for (size_t i = 0; i < length; ++i) {
            transfer.push_back(static_cast<char>((sent.size() + i) * 7 % 251));
        }
        ASSERT_TRUE(Send(transfer));
        sent += transfer;
    }
    std::string received;
    for (size_t i = 0; received.size() < sent.size() && i < 10000; ++i) {
        received += Read(reads[i % reads.size()]);
    }
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(BulkPacketTest, WhatWasKeptDoesNotOutliveTheSessionAndAPullEndsARead) {
    ASSERT_TRUE(Send("OKDNOKUD"));
    EXPECT_EQ(Read(4), "OKDN");
    // The handset reboots while four bytes are kept: they belong to the session that ended.
    bus.Unplug("1-1");
    cable = bus.Plug("1-1");
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, link.DevicePath().c_str()));
    ASSERT_TRUE(Send("ABCD"));
    EXPECT_EQ(Read(4), "ABCD");

    std::thread puller([&] {
        std::this_thread::sleep_for(20ms);
        bus.Unplug("1-1");
    });
    EXPECT_EQ(Read(4), "") << "a pull ends a waiting read";
    puller.join();
    EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace vantorel::link
