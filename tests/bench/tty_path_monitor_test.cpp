#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/platform/linux/tty_path_hotplug_monitor.h"
#include "tests/support/temp_dir.h"

namespace vantorel::link::linux_platform::test {
namespace {

using Kind = DeviceEventKind;

// Stand-ins for handset ttys: what counts is whether the path exists.
class TtyPathMonitorTest : public ::testing::Test {
protected:
    TtyPathMonitorTest()
        : first((dir / "handset-1").string()),
          second((dir / "handset-2").string()),
          target((dir / "pts-node").string()) {
        std::ofstream(target).put('x');
    }

    bool Readable(int timeoutMs) const {
        pollfd watch{monitor->NotificationFd(), POLLIN, 0};
        return ::poll(&watch, 1, timeoutMs) == 1;
    }
    // The events once the descriptor turned readable, or none after a while.
    std::vector<DeviceEvent> Events(int timeoutMs = 2000) {
        return Readable(timeoutMs) ? monitor->TakeEvents() : std::vector<DeviceEvent>{};
    }
    void Start() {
        monitor = std::make_unique<TtyPathHotplugMonitor>(directory, std::vector{first, second});
        int error = -1;
        ASSERT_TRUE(monitor->Start(error));
        EXPECT_EQ(error, 0);
    }

    vantorel::test::TempDir dir;
    const std::string first, second, target;
    TtyPathDirectory directory;
    std::unique_ptr<TtyPathHotplugMonitor> monitor;
};

TEST_F(TtyPathMonitorTest, APathArrivesWhenMadeAndLeavesWhenRemoved) {
    Start();
    EXPECT_FALSE(Readable(0));
    std::filesystem::create_symlink(target, first);
    EXPECT_EQ(Events(), (std::vector<DeviceEvent>{{Kind::Arrival, first}}));
    // The links see it through the same directory.
    EXPECT_EQ(directory.ListPresent(GUID_DEVINTERFACE_DOWNLOAD), std::vector<std::string>{first});

    std::filesystem::remove(first);
    EXPECT_EQ(Events(), (std::vector<DeviceEvent>{{Kind::Removal, first}}));
    EXPECT_FALSE(Readable(50));
}

TEST_F(TtyPathMonitorTest, ALinkMadeAgainBeforeTheEventsAreTakenIsARemovalThenAnArrival) {
    std::filesystem::create_symlink(target, second);
    Start();
    std::filesystem::remove(second);
    std::filesystem::create_symlink(target, second);
    std::vector<DeviceEvent> events;
    while (Readable(200)) {
        for (const auto& event : monitor->TakeEvents()) {
            events.push_back(event);
        }
    }
    EXPECT_EQ(events, (std::vector<DeviceEvent>{{Kind::Removal, second}, {Kind::Arrival, second}}));
}

TEST_F(TtyPathMonitorTest, OtherNamesAndDanglingLinksAreNotHandsets) {
    Start();
    std::ofstream((dir / "handset-10").string()).put('x');
    std::filesystem::create_symlink(dir / "no-such-node", first);
    EXPECT_TRUE(Events(300).empty());
    // Its target appearing is noticed with the next change in the directory.
    std::ofstream((dir / "no-such-node").string()).put('x');
    EXPECT_EQ(Events(), (std::vector<DeviceEvent>{{Kind::Arrival, first}}));
}

TEST_F(TtyPathMonitorTest, PresentPathsAreAnnouncedOnlyWhenAsked) {
    std::filesystem::create_symlink(target, first);
    Start();
    EXPECT_FALSE(Readable(50)) << "what was there at the start is not news by itself";
    monitor->AnnouncePresent({first, second, "/elsewhere/tty"});
    EXPECT_EQ(Events(), (std::vector<DeviceEvent>{{Kind::Arrival, first}}));
}

TEST_F(TtyPathMonitorTest, ADirectoryThatIsNotThereCannotBeWatched) {
    TtyPathHotplugMonitor missing(directory, {(dir / "gone" / "tty").string()});
    int error = 0;
    EXPECT_FALSE(missing.Start(error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(missing.NotificationFd(), -1);
}

}  // namespace
}  // namespace vantorel::link::linux_platform::test
