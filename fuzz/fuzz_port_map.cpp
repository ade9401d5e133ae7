// The port map as an operator types it or loads it from a file, and arrivals on any path.
#include <array>
#include <string>
#include <string_view>

#include "engine/slot_port_map.h"
#include "link/platform/device_path.h"

namespace {

using namespace vantorel::engine;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// A map that parsed: every port in the kernel's spelling, each bound once, and its own text
// reads back as the same map.
void CheckParsed(const SlotPortMap& map) {
    int bound = 0;
    for (int slot = 0; slot < kPortMapSlots; ++slot) {
        const std::string& port = map.PortOf(slot);
        if (port.empty()) {
            continue;
        }
        ++bound;
        Check(map.SlotOf(port) == slot);
        Check(PortLocationOf(vantorel::link::MakeDevicePath(0x1209, 0x0001, port)) == port);
    }
    Check(bound == map.BoundCount());
    SlotPortMap again;
    std::string error;
    Check(ParsePortMap(FormatPortMap(map), again, error));
    Check(again == map);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    SlotPortMap map;
    std::string error;
    if (ParsePortMap(text, map, error)) {
        CheckParsed(map);
        SlotPortMap usable;
        Check(ParseUsablePortMap(text, usable, error) == !map.IsEmpty());
    } else {
        Check(!error.empty());
        Check(map.IsEmpty());  // a refused text leaves the map as it was
    }

    // The same bytes as an arriving device's path, against the map and while learning.
    std::array<bool, kPortMapSlots> free{};
    free.fill(true);
    const PortSlotChoice choice = ChooseSlotByPort(map, text, free);
    Check(choice.refusal != PortRefusal::SlotBusy);
    Check(choice.refusal != PortRefusal::None || map.PortOf(choice.slot) == choice.port);
    PortLearning learning;
    SlotPortMap learned;
    learning.Start(learned);
    const PortLearning::Outcome outcome = learning.Learn(learned, text);
    Check((outcome.step == PortLearning::Step::Bound) == (learned.BoundCount() == 1));
    return 0;
}
