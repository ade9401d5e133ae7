#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "link/platform/linux/tty_path_directory.h"
#include "link/platform/linux/tty_serial_channel.h"
#include "link/platform/linux/tty_serial_opener.h"
#include "link/usb_interface.h"
#include "tests/link_linux/pty_handset.h"
#include "tests/support/recording_message_sink.h"
#include "tests/support/scripted_link.h"
#include "tests/support/temp_dir.h"

namespace vantorel::link::linux_platform {
namespace {

using namespace std::chrono_literals;
using test::PtyHandset;

// The serial-style link over real pseudo-terminals, each handset a /dev/pts node reached
// through a symbolic link.
class PtyLinkTest : public ::testing::Test {
protected:
    test::TempDir dir;
    PtyHandset first{dir / "handset-a"};
    PtyHandset second{dir / "handset-b"};
    TtyPathDirectory ttys{{first.Path(), second.Path()}};
    TtySerialOpener opener;
    test::EmptyPlatform noBulk;
    test::RecordingMessageSink messages;
    Clock clock{0.001};
    LinkPlatform platform{ttys, opener, noBulk, messages, clock};
    CUsbInterface link{platform};
};

TEST_F(PtyLinkTest, TwoLinksBindTwoHandsetsInTheConfiguredOrder) {
    CUsbInterface other(platform);
    CUsbInterface third(platform);
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    ASSERT_TRUE(other.Open(&GUID_DEVINTERFACE_DOWNLOAD, 1, nullptr));
    EXPECT_EQ(link.DevicePath(), first.Path());
    EXPECT_EQ(other.DevicePath(), second.Path());
    EXPECT_FALSE(third.Open(&GUID_DEVINTERFACE_DOWNLOAD, 2, nullptr)) << "both are held";

    // Each link talks to its own handset.
    char received[4]{};
    ASSERT_EQ(other.Write("ATUD", 4), 4u);
    ASSERT_TRUE(second.Receive(received, 4));
    EXPECT_EQ(std::string(received, 4), "ATUD");
    ASSERT_TRUE(first.Send("OKUD"));
    EXPECT_EQ(link.Read(received, 4), 4u);
    EXPECT_EQ(std::string(received, 4), "OKUD");

    link.Close();
    EXPECT_TRUE(third.Open(&GUID_DEVINTERFACE_DOWNLOAD, 2, nullptr)) << "released by Close";
    EXPECT_EQ(third.DevicePath(), first.Path());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(PtyLinkTest, OpenByRecordedPathFollowsTheHandsetAwayAndBack) {
    first.Unplug();
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    const std::string recorded = link.DevicePath();
    ASSERT_EQ(recorded, second.Path()) << "the only one present";
    link.Close();
    second.RemoveLink();
    EXPECT_FALSE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
    EXPECT_FALSE(link.IsOpened());
    second.Plug();
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
    EXPECT_EQ(link.DevicePath(), recorded);

    link.Close();
    second.Unplug();  // the pty is gone; the link to it dangles
    EXPECT_FALSE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
    second.Plug();
    EXPECT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
}

TEST_F(PtyLinkTest, AReadReturnsWhatArrivedUpToTheLengthAsked) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, first.Path().c_str()));
    uint8_t buffer[4]{};
    ASSERT_TRUE(first.Send("OK"));
    EXPECT_EQ(link.Read(buffer, 4), 2u);
    ASSERT_TRUE(first.Send("123456"));
    EXPECT_EQ(link.Read(buffer, 4), 4u);
    EXPECT_EQ(link.Read(buffer, 4), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "56");
}

TEST_F(PtyLinkTest, AReadWithoutWaitingGivesUpAfterTenPasses) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, first.Path().c_str()));
    uint8_t buffer[4]{};
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Read(buffer, 4, false), 0u);
    // It really waited its ten passes of 1.1 s, at the test's scale.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 10 * clock.ToReal(1100ms));
}

TEST_F(PtyLinkTest, ABlockingReadEndsWhenTheLinkIsClosedFromAnotherThread) {
    // Protocol time runs at its real pace here, so only the close can end the read in time.
    Clock realPace{1.0};
    LinkPlatform realPacePlatform{ttys, opener, noBulk, messages, realPace};
    CUsbInterface realPaceLink{realPacePlatform};
    ASSERT_TRUE(realPaceLink.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::jthread closer([&] {
        std::this_thread::sleep_for(20ms);
        realPaceLink.Close();
    });
    const auto started = std::chrono::steady_clock::now();
    uint8_t buffer[4]{};
    EXPECT_EQ(realPaceLink.Read(buffer, 4), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, kReplySilenceBound / 2);
    closer.join();
    EXPECT_FALSE(realPaceLink.IsOpened());
    EXPECT_EQ(realPaceLink.Write("ATUD", 4), 0u);
}

TEST_F(PtyLinkTest, ABlockingReadEndsWhenTheHandsetIsPulled) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::jthread puller([&] {
        std::this_thread::sleep_for(20ms);
        first.Unplug();
    });
    uint8_t buffer[4]{};
    EXPECT_EQ(link.Read(buffer, 4), 0u);
    puller.join();
    EXPECT_EQ(link.Write("ATUD", 4), 0u);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(PtyLinkTest, AWriteLargerThanTheTtyBufferArrivesWhole) {
    const auto image = test::PatternBytes(1 << 20, 3);
    std::vector<uint8_t> received(image.size());
    first.Serve([&](PtyHandset& handset, std::stop_token stop) {
        handset.Receive(received.data(), received.size(), stop);
    });
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_EQ(link.Write(image.data(), static_cast<uint32_t>(image.size())), image.size());
    first.WaitUntilServed();
    EXPECT_TRUE(received == image);
}

TEST_F(PtyLinkTest, AWriteBlockedOnAStalledHandsetEndsWhenTheLinkIsClosed) {
    ASSERT_TRUE(link.Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::jthread closer([&] {
        std::this_thread::sleep_for(50ms);
        link.Close();
    });
    const auto image = test::PatternBytes(1 << 20, 4);
    const uint32_t written = link.Write(image.data(), static_cast<uint32_t>(image.size()));
    closer.join();
    EXPECT_LT(written, image.size()) << "nobody read, yet everything went";
}

// Exclusive opening, checked on the channel itself.
class TtyChannelTest : public ::testing::Test {
protected:
    // Whether a forked process can open the tty exclusively; no threads run here.
    bool OpensInAnotherProcess(const std::string& path) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(TtySerialOpener().OpenExclusive(path) ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    test::TempDir dir;
    PtyHandset handset{dir / "handset"};
    TtySerialOpener opener;
};

TEST_F(TtyChannelTest, ASecondOpenOfAHeldTtyFailsHereAndInAnotherProcess) {
    auto held = opener.OpenExclusive(handset.Path());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(opener.OpenExclusive(handset.Path()), nullptr);
    EXPECT_EQ(opener.OpenExclusive(handset.SlaveNode()), nullptr) << "same tty, other name";
    EXPECT_FALSE(OpensInAnotherProcess(handset.Path()));

    held.reset();
    EXPECT_TRUE(OpensInAnotherProcess(handset.Path())) << "released when dropped";
    EXPECT_NE(opener.OpenExclusive(handset.Path()), nullptr);
}

TEST_F(TtyChannelTest, WaitsReportDataTimeOutAndCancel) {
    auto channel = opener.OpenExclusive(handset.Path());
    ASSERT_NE(channel, nullptr);
    EXPECT_EQ(channel->WaitForData(5ms), WaitOutcome::TimedOut);
    ASSERT_TRUE(handset.Send("abc"));
    EXPECT_EQ(channel->WaitForData(5s), WaitOutcome::DataQueued);
    EXPECT_EQ(channel->QueuedBytes(), 3u);

    channel->Cancel();
    EXPECT_EQ(channel->WaitForData(5s), WaitOutcome::Closed) << "a cancel holds for later waits";
    EXPECT_EQ(channel->QueuedBytes(), 0u);
    uint8_t buffer[4]{};
    EXPECT_EQ(channel->Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(channel->Write(buffer, sizeof buffer), 0u);
}

// Bounded waits share one timer that is moved only when needed; each wait must still end at
// its own bound, whatever the waits before it asked for.
TEST_F(TtyChannelTest, EachBoundedWaitEndsAtItsOwnBoundWhateverCameBefore) {
    using SteadyClock = std::chrono::steady_clock;
    auto channel = opener.OpenExclusive(handset.Path());
    ASSERT_NE(channel, nullptr);
    uint8_t buffer[16]{};

    // A long wait answered at once leaves its deadline far ahead; a short wait after it must
    // not wait for that one. The late byte only keeps a failing wait from hanging the test.
    ASSERT_TRUE(handset.Send("a"));
    EXPECT_EQ(channel->WaitForData(60s), WaitOutcome::DataQueued);
    EXPECT_EQ(channel->Read(buffer, sizeof buffer), 1u);
    std::jthread late([&](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        if (!never.wait_for(lock, stop, 3s, [] { return false; }) && !stop.stop_requested()) {
            handset.Send("z");
        }
    });
    auto started = SteadyClock::now();
    EXPECT_EQ(channel->WaitForData(20ms), WaitOutcome::TimedOut);
    EXPECT_LT(SteadyClock::now() - started, 3s);
    late.request_stop();
    late.join();
    channel->Read(buffer, sizeof buffer);  // the late byte, if the wait above failed

    // A short wait answered at once leaves its deadline just ahead; a longer wait after it
    // must not end there.
    ASSERT_TRUE(handset.Send("b"));
    EXPECT_EQ(channel->WaitForData(50ms), WaitOutcome::DataQueued);
    EXPECT_EQ(channel->Read(buffer, sizeof buffer), 1u);
    std::jthread later([&] {
        std::this_thread::sleep_for(300ms);
        handset.Send("c");
    });
    EXPECT_EQ(channel->WaitForData(30s), WaitOutcome::DataQueued);
    later.join();
    EXPECT_EQ(channel->Read(buffer, sizeof buffer), 1u);

    // Nor does a wait end before its bound, right after a timer that fired.
    for (const auto bound : {40ms, 80ms, 10ms}) {
        started = SteadyClock::now();
        EXPECT_EQ(channel->WaitForData(bound), WaitOutcome::TimedOut);
        EXPECT_GE(SteadyClock::now() - started, bound);
    }
}

TEST_F(TtyChannelTest, OnlyTtysOpen) {
    EXPECT_EQ(opener.OpenExclusive("/dev/null"), nullptr);
    EXPECT_EQ(opener.OpenExclusive((dir / "absent").string()), nullptr);
    const auto file = dir.WriteFile("plain", {1, 2, 3});
    EXPECT_EQ(opener.OpenExclusive(file), nullptr);
}

}  // namespace
}  // namespace vantorel::link::linux_platform
