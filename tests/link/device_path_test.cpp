#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "link/platform/device_path.h"

namespace vantorel::link {
namespace {

TEST(DevicePath, CarriesIdsAndPortPathAsItsInstancePart) {
    const std::string path = MakeDevicePath(0x1209, 0x0001, "1-1.10");
    EXPECT_EQ(path, "usb#vid_1209&pid_0001#1-1.10#{7e3a91c4-52d0-4b8f-9c16-0a5d2e8b4f73}");
    EXPECT_EQ(InstancePartOf(path), "1-1.10");
    EXPECT_EQ(PortPathOf(path), "1-1.10");
    EXPECT_EQ(PortPathOf("/dev/ttyACM0"), std::nullopt);
    EXPECT_EQ(InstancePartOf("a#b"), "a");
    EXPECT_EQ(InstancePartOf("plain"), "plain");
}

TEST(DevicePath, PortsOrderByNumberNotByText) {
    std::vector<std::string> ports{"2-1", "1-10", "1-2", "1-1.4", "1-1"};
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return PortPathLess(a, b); });
    EXPECT_EQ(ports, (std::vector<std::string>{"1-1", "1-1.4", "1-2", "1-10", "2-1"}));
}

}  // namespace
}  // namespace vantorel::link
