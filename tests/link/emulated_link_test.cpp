#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "link/platform/emulated/emulated_bus.h"
#include "link/usb_interface.h"
#include "link/winusb_interface.h"
#include "tests/support/recording_message_sink.h"

namespace vantorel::link {
namespace {

using emulated::EmulatedBus;
using namespace std::chrono_literals;

// Both link variants must behave alike over the emulated bus.
class EmulatedLinkTest : public ::testing::TestWithParam<bool> {
protected:
    std::unique_ptr<CUsbInterface> MakeLink() {
        if (GetParam()) {
            return std::make_unique<CWinUsbInterface>(platform);
        }
        return std::make_unique<CUsbInterface>(platform);
    }

    EmulatedBus bus;
    test::RecordingMessageSink messages;
    Clock clock{0.001};
    LinkPlatform platform{bus, bus, bus, messages, clock};
};

TEST_P(EmulatedLinkTest, OpenFailsAndStaysClosedWithNoHandset) {
    auto link = MakeLink();
    EXPECT_FALSE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    EXPECT_FALSE(link->IsOpened());
    link->Close();
    link->Close();  // closing twice, or a never-opened link, is harmless
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_P(EmulatedLinkTest, TwoLinksBindTwoHandsetsAndRecordTheirPaths) {
    const auto first = bus.Plug("1-2");
    const auto second = bus.Plug("1-1");
    auto linkA = MakeLink();
    auto linkB = MakeLink();
    auto linkC = MakeLink();
    ASSERT_TRUE(linkA->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    ASSERT_TRUE(linkB->Open(&GUID_DEVINTERFACE_DOWNLOAD, 1, nullptr));
    EXPECT_EQ(linkA->DevicePath(), EmulatedBus::DevicePathOf("1-1")) << "stable order by port";
    EXPECT_EQ(linkB->DevicePath(), EmulatedBus::DevicePathOf("1-2"));
    EXPECT_FALSE(linkC->Open(&GUID_DEVINTERFACE_DOWNLOAD, 2, nullptr)) << "both are held";

    // Bytes go to the handset the link is bound to.
    ASSERT_EQ(linkA->Write("ATUD", 4), 4u);
    uint8_t received[4]{};
    ASSERT_TRUE(second->ReadExact(received, 4, {}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(received), 4), "ATUD");

    linkA->Close();
    EXPECT_TRUE(linkC->Open(&GUID_DEVINTERFACE_DOWNLOAD, 2, nullptr)) << "released by Close";
}

TEST_P(EmulatedLinkTest, OpenByRecordedPathFailsWhileTheHandsetIsAway) {
    auto cable = bus.Plug("1-4");
    auto link = MakeLink();
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    const std::string recorded = link->DevicePath();
    link->Close();
    bus.Unplug("1-4");
    EXPECT_FALSE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
    const auto other = bus.Plug("1-5");
    EXPECT_FALSE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()))
        << "only the recorded path may be opened";
    cable = bus.Plug("1-4");
    EXPECT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, recorded.c_str()));
    EXPECT_EQ(link->DevicePath(), recorded);
}

// However fast a test clock runs, a greeting read gives the thread that answers a moment:
// at scale 0 a reply that comes a few ms after the greeting is still read, not taken for a
// handset that never answered (whose late reply would then answer the next command).
TEST_P(EmulatedLinkTest, AGreetingReadAtAnInstantClockStillWaitsForALateReply) {
    const Clock instant{0.0};
    const LinkPlatform fast{bus, bus, bus, messages, instant};
    std::unique_ptr<CUsbInterface> link;
    if (GetParam()) {
        link = std::make_unique<CWinUsbInterface>(fast);
    } else {
        link = std::make_unique<CUsbInterface>(fast);
    }
    const auto cable = bus.Plug("1-3");
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::jthread handset([&cable] {
        std::this_thread::sleep_for(20ms);
        const uint8_t okud[4]{'O', 'K', 'U', 'D'};
        cable->Write(okud, 4);
    });
    uint8_t reply[4]{};
    EXPECT_EQ(link->Read(reply, 4, false), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "OKUD");
}

TEST_P(EmulatedLinkTest, AReadReturnsWhatArrivedUpToTheLengthAsked) {
    auto cable = bus.Plug("1-1");
    auto link = MakeLink();
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    const uint8_t two[2]{'O', 'K'};
    ASSERT_TRUE(cable->Write(two, 2));
    uint8_t buffer[4]{};
    EXPECT_EQ(link->Read(buffer, 4), 2u);
    const uint8_t six[6]{1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(cable->Write(six, 6));
    EXPECT_EQ(link->Read(buffer, 4), 4u);
    EXPECT_EQ(link->Read(buffer, 4), 2u);
}

TEST_P(EmulatedLinkTest, AGreetingReadGivesUpOnASilentHandset) {
    auto cable = bus.Plug("1-1");
    auto link = MakeLink();
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    uint8_t buffer[4]{};
    EXPECT_EQ(link->Read(buffer, 4, false), 0u);  // ten passes of 1.1 s at a sped-up clock
}

TEST_P(EmulatedLinkTest, ABlockingReadEndsWhenTheLinkIsClosedFromAnotherThread) {
    auto cable = bus.Plug("1-1");
    auto link = MakeLink();
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        link->Close();
    });
    uint8_t buffer[4]{};
    EXPECT_EQ(link->Read(buffer, 4), 0u);
    closer.join();
    EXPECT_FALSE(link->IsOpened());
    EXPECT_EQ(link->Write("ATUD", 4), 0u);
}

TEST_P(EmulatedLinkTest, ABlockingReadEndsWhenTheHandsetIsPulled) {
    auto cable = bus.Plug("1-1");
    auto link = MakeLink();
    ASSERT_TRUE(link->Open(&GUID_DEVINTERFACE_DOWNLOAD, 0, nullptr));
    std::thread puller([&] {
        std::this_thread::sleep_for(20ms);
        bus.Unplug("1-1");
    });
    uint8_t buffer[4]{};
    EXPECT_EQ(link->Read(buffer, 4), 0u);
    puller.join();
    EXPECT_EQ(link->Write("ATUD", 4), 0u);
    EXPECT_TRUE(messages.Messages().empty()) << "a pulled handset is not an error box";
}

INSTANTIATE_TEST_SUITE_P(BothVariants, EmulatedLinkTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Bulk" : "SerialStyle"; });

TEST(EmulatedBus, ReportsArrivalAndRemovalWithTheSamePath) {
    EmulatedBus bus;
    std::vector<std::pair<DeviceEventKind, std::string>> events;
    bus.SetDeviceEventHandler(
        [&](auto kind, const std::string& path) { events.emplace_back(kind, path); });
    auto cable = bus.Plug("1-3");
    EXPECT_EQ(bus.Plug("1-3"), nullptr) << "one handset per port";
    bus.Unplug("1-3");
    bus.Unplug("1-3");  // an empty port: nothing happens
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, DeviceEventKind::Arrival);
    EXPECT_EQ(events[1].first, DeviceEventKind::Removal);
    EXPECT_EQ(events[0].second, EmulatedBus::DevicePathOf("1-3"));
    EXPECT_EQ(events[1].second, events[0].second);
    EXPECT_FALSE(cable->IsPlugged());
}

}  // namespace
}  // namespace vantorel::link

#include <poll.h>

#include "link/platform/emulated/emulated_hotplug_monitor.h"

namespace vantorel::link {
namespace {

TEST(EmulatedHotplugMonitor, HandsEventsFromOtherThreadsOverItsDescriptorInOrder) {
    emulated::EmulatedBus bus;
    emulated::EmulatedHotplugMonitor monitor(bus);
    int error = -1;
    ASSERT_TRUE(monitor.Start(error));
    EXPECT_EQ(error, 0);
    pollfd waiting{monitor.NotificationFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "nothing is waiting yet";

    std::thread handsets([&] {
        auto cable = bus.Plug("1-2");
        bus.Unplug("1-2");
        cable = bus.Plug("1-2");
    });
    handsets.join();
    ASSERT_EQ(::poll(&waiting, 1, 1000), 1);
    const std::string path = emulated::EmulatedBus::DevicePathOf("1-2");
    const std::vector<DeviceEvent> expected{{DeviceEventKind::Arrival, path},
                                            {DeviceEventKind::Removal, path},
                                            {DeviceEventKind::Arrival, path}};
    EXPECT_EQ(monitor.TakeEvents(), expected);
    EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "taking the events drains the descriptor";
}

}  // namespace
}  // namespace vantorel::link
