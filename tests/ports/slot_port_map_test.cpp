// The port map on its own: its text, a device path's port, choosing an arrival's slot and
// teaching the map socket by socket.
#include <gtest/gtest.h>

#include "console/stack_int.h"
#include "engine/slot_port_map.h"
#include "link/platform/device_path.h"

namespace vantorel::engine {
namespace {

std::string PathOn(const std::string& port) {
    return link::MakeDevicePath(0x1209, 0x0001, port);
}

SlotPortMap Parsed(std::string_view text) {
    SlotPortMap map;
    std::string error;
    EXPECT_TRUE(ParsePortMap(text, map, error)) << text << ": " << error;
    return map;
}

TEST(PortLocation, IsThePortPartOfAUsbDevicePathAndNothingElse) {
    EXPECT_EQ(PortLocationOf(PathOn("1-2.3")), "1-2.3");
    EXPECT_EQ(PortLocationOf(PathOn("1-2.3.1")), "1-2.3.1") << "a hub's ports nest";
    EXPECT_EQ(PortLocationOf(PathOn("3-10")), "3-10");
    EXPECT_EQ(PortLocationOf("/tmp/bench/handset-1"), std::nullopt) << "a tty names no port";
    EXPECT_EQ(PortLocationOf(PathOn("1-02")), std::nullopt) << "not the kernel's spelling";
    EXPECT_EQ(PortLocationOf(PathOn("usb1")), std::nullopt);
}

TEST(PortMapText, ReadsTheShortAndTheLongFormsAndWritesOneSlotALine) {
    const SlotPortMap map = Parsed("# fixture A\n1=1-4\n3=1-2.3   # the hub\n\n8=2-1.1.1\n");
    EXPECT_EQ(map.PortOf(0), "1-4");
    EXPECT_EQ(map.PortOf(1), "");
    EXPECT_EQ(map.PortOf(2), "1-2.3");
    EXPECT_EQ(map.PortOf(7), "2-1.1.1");
    EXPECT_EQ(map.BoundCount(), 3);
    EXPECT_EQ(FormatPortMap(map), "1=1-4\n3=1-2.3\n8=2-1.1.1\n");
    EXPECT_EQ(Parsed(FormatPortMap(map)), map);
    EXPECT_EQ(Parsed("1=1-4,3=1-2.3 8=2-1.1.1"), map);
    EXPECT_TRUE(Parsed("").IsEmpty());
    EXPECT_TRUE(Parsed("# nothing bound yet\n").IsEmpty());
}

TEST(PortMapText, NamesTheEntryAtFaultAndKeepsTheMapItHad) {
    SlotPortMap map = Parsed("1=1-1");
    const SlotPortMap before = map;
    for (const auto& [text, fault] : std::vector<std::pair<const char*, const char*>>{
             {"1=1-1,9=1-2", "'9=1-2'"},
             {"0=1-2", "'0=1-2'"},
             {"1=1-1 2", "'2'"},
             {"1=1-1,2=1-1", "'2=1-1': this port is bound to another slot"},
             {"1=1-1,1=1-2", "'1=1-2': this slot is bound twice"},
             {"2=1-0", "'2=1-0': the port is no USB port"},
             {"2=", "'2='"},
             {"12=1-1", "'12=1-1'"},
         }) {
        std::string error;
        EXPECT_FALSE(ParsePortMap(text, map, error)) << text;
        EXPECT_NE(error.find(fault), std::string::npos) << text << " -> " << error;
        EXPECT_EQ(map, before) << text;
    }
}

TEST(PortMap, BindsEachPortToOneSlotAtMost) {
    SlotPortMap map;
    EXPECT_TRUE(map.Bind(2, "1-5"));
    EXPECT_FALSE(map.Bind(4, "1-5")) << "the port is slot 3's";
    EXPECT_TRUE(map.Bind(2, "1-5")) << "binding it again to its own slot changes nothing";
    EXPECT_FALSE(map.Bind(8, "1-6"));
    EXPECT_FALSE(map.Bind(-1, "1-6"));
    EXPECT_FALSE(map.Bind(1, "not a port"));
    EXPECT_EQ(map.SlotOf("1-5"), 2);
    EXPECT_EQ(map.SlotOf("1-6"), std::nullopt);
    EXPECT_EQ(map.SlotOf(""), std::nullopt) << "an unbound slot's empty port matches nothing";
    EXPECT_EQ(map.BoundCount(), 1);
}

TEST(PortSlotChoice, TakesThePortsSlotOrSaysWhyNot) {
    const SlotPortMap map = Parsed("1=1-4,2=1-2.3,3=1-1");
    std::array<bool, kPortMapSlots> freeSlots{};
    freeSlots.fill(true);
    freeSlots[2] = false;

    PortSlotChoice choice = ChooseSlotByPort(map, PathOn("1-2.3"), freeSlots);
    EXPECT_EQ(choice.refusal, PortRefusal::None);
    EXPECT_EQ(choice.slot, 1);

    choice = ChooseSlotByPort(map, PathOn("1-1"), freeSlots);
    EXPECT_EQ(choice.refusal, PortRefusal::SlotBusy);
    EXPECT_EQ(choice.slot, 2);
    EXPECT_EQ(choice.port, "1-1");

    choice = ChooseSlotByPort(map, PathOn("1-2.3.1"), freeSlots);
    EXPECT_EQ(choice.refusal, PortRefusal::Unbound) << "a port behind a bound one is its own";
    EXPECT_EQ(choice.port, "1-2.3.1");
    EXPECT_EQ(choice.slot, -1);

    choice = ChooseSlotByPort(map, "/dev/ttyACM0", freeSlots);
    EXPECT_EQ(choice.refusal, PortRefusal::NoPort);
}

TEST(PortLearning, BindsTheNextSlotPerNewPortUntilEveryOneIsBound) {
    SlotPortMap map = Parsed("1=1-8");
    PortLearning learning;
    EXPECT_FALSE(learning.IsActive());
    learning.Start(map);
    EXPECT_TRUE(map.IsEmpty()) << "a new round starts from an empty map";
    EXPECT_EQ(learning.NextSlot(), 0);

    auto outcome = learning.Learn(map, PathOn("1-3"));
    EXPECT_EQ(outcome.step, PortLearning::Step::Bound);
    EXPECT_EQ(outcome.slot, 0);
    outcome = learning.Learn(map, PathOn("1-3"));
    EXPECT_EQ(outcome.step, PortLearning::Step::AlreadyBound) << "the same socket twice";
    EXPECT_EQ(outcome.slot, 0);
    EXPECT_EQ(learning.Learn(map, "/tmp/tty").step, PortLearning::Step::NoPort);
    EXPECT_EQ(learning.NextSlot(), 1);

    for (int port = 1; port <= 7; ++port) {
        outcome = learning.Learn(map, PathOn("2-" + std::to_string(port)));
        EXPECT_EQ(outcome.slot, port);
    }
    EXPECT_FALSE(learning.IsActive()) << "all eight bound";
    EXPECT_EQ(map.BoundCount(), 8);
    EXPECT_EQ(map.PortOf(7), "2-7");
}

TEST(FreeSlotStack, GivesUpASlotFromAnywhereKeepingTheOthersOrder) {
    console::CStackInt stack;
    for (int slot = 7; slot >= 0; --slot) {
        stack.Push(slot);
    }
    EXPECT_TRUE(stack.Remove(4));
    EXPECT_FALSE(stack.Contains(4));
    EXPECT_FALSE(stack.Remove(4));
    EXPECT_TRUE(stack.Remove(0)) << "the top";
    stack.Push(4);
    std::vector<int> order;
    while (!stack.IsEmpty()) {
        order.push_back(stack.Pop());
    }
    EXPECT_EQ(order, (std::vector<int>{4, 1, 2, 3, 5, 6, 7}));
}

}  // namespace
}  // namespace vantorel::engine
