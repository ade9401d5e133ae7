#include "engine/slot_port_map.h"

#include <vector>

#include "base/bounded_file.h"
#include "link/platform/device_path.h"
#include "link/platform/usb_port_location.h"

namespace vantorel::engine {

namespace {

// The kernel's spelling of a port location, or nullopt when `text` is none.
std::optional<std::string> CanonicalPort(std::string_view text) {
    const auto location = link::ParsePortPath(text);
    if (!location) {
        return std::nullopt;
    }
    return link::FormatPortPath(*location);
}

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

// The entries of a map text: comments dropped, split at the separators.
std::vector<std::string_view> Entries(std::string_view text) {
    std::vector<std::string_view> entries;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == '#') {
            const size_t lineEnd = text.find('\n', at);
            at = lineEnd == std::string_view::npos ? text.size() : lineEnd;
        } else if (IsSeparator(text[at])) {
            ++at;
        } else {
            size_t end = at;
            while (end < text.size() && !IsSeparator(text[end]) && text[end] != '#') {
                ++end;
            }
            entries.push_back(text.substr(at, end - at));
            at = end;
        }
    }
    return entries;
}

}  // namespace

std::optional<std::string> PortLocationOf(std::string_view devicePath) {
    const auto port = link::PortPathOf(devicePath);
    return port ? CanonicalPort(*port) : std::nullopt;
}

std::optional<int> SlotPortMap::SlotOf(std::string_view port) const {
    for (int slot = 0; slot < kPortMapSlots; ++slot) {
        if (!PortOf(slot).empty() && PortOf(slot) == port) {
            return slot;
        }
    }
    return std::nullopt;
}

bool SlotPortMap::Bind(int slot, std::string_view port) {
    const auto canonical = CanonicalPort(port);
    if (slot < 0 || slot >= kPortMapSlots || !canonical) {
        return false;
    }
    if (const auto holder = SlotOf(*canonical); holder && *holder != slot) {
        return false;
    }
    m_ports[static_cast<size_t>(slot)] = *canonical;
    return true;
}

int SlotPortMap::BoundCount() const {
    int count = 0;
    for (const std::string& port : m_ports) {
        count += port.empty() ? 0 : 1;
    }
    return count;
}

std::string FormatPortMap(const SlotPortMap& map) {
    std::string text;
    for (int slot = 0; slot < kPortMapSlots; ++slot) {
        if (!map.PortOf(slot).empty()) {
            text += std::to_string(slot + 1) + "=" + map.PortOf(slot) + "\n";
        }
    }
    return text;
}

bool ParsePortMap(std::string_view text, SlotPortMap& map, std::string& error) {
    SlotPortMap parsed;
    for (const std::string_view entry : Entries(text)) {
        const auto fail = [&](const char* why) {
            error = "'" + std::string(entry) + "': " + why;
            return false;
        };
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            return fail("not slot=port, e.g. 1=1-2.3");
        }
        const std::string_view slotText = entry.substr(0, equals);
        const std::string_view port = entry.substr(equals + 1);
        if (slotText.size() != 1 || slotText[0] < '1' || slotText[0] > '0' + kPortMapSlots) {
            return fail("the slot is a number from 1 to 8");
        }
        const int slot = slotText[0] - '1';
        if (!parsed.PortOf(slot).empty()) {
            return fail("this slot is bound twice");
        }
        const auto canonical = CanonicalPort(port);
        if (!canonical) {
            return fail("the port is no USB port location such as 1-2 or 1-2.3");
        }
        if (parsed.SlotOf(*canonical)) {
            return fail("this port is bound to another slot already");
        }
        parsed.Bind(slot, *canonical);
    }
    map = parsed;
    return true;
}

bool ParseUsablePortMap(std::string_view text, SlotPortMap& map, std::string& error) {
    SlotPortMap parsed;
    if (!ParsePortMap(text, parsed, error)) {
        return false;
    }
    if (parsed.IsEmpty()) {
        error = "binds no slot to a port";
        return false;
    }
    map = parsed;
    return true;
}

bool ReadPortMapFile(const std::string& path, SlotPortMap& map, std::string& error) {
    const auto text = ReadBoundedRegularFile(path, kPortMapFileBytes, error);
    return text && ParseUsablePortMap(*text, map, error);
}

PortSlotChoice ChooseSlotByPort(const SlotPortMap& map, std::string_view devicePath,
                                const std::array<bool, kPortMapSlots>& slotFree) {
    PortSlotChoice choice;
    const auto port = PortLocationOf(devicePath);
    if (!port) {
        choice.refusal = PortRefusal::NoPort;
        return choice;
    }
    choice.port = *port;
    const auto slot = map.SlotOf(*port);
    if (!slot) {
        choice.refusal = PortRefusal::Unbound;
        return choice;
    }
    choice.slot = *slot;
    if (!slotFree[static_cast<size_t>(*slot)]) {
        choice.refusal = PortRefusal::SlotBusy;
    }
    return choice;
}

void PortLearning::Start(SlotPortMap& map) {
    map.Clear();
    m_nextSlot = 0;
}

PortLearning::Outcome PortLearning::Learn(SlotPortMap& map, std::string_view devicePath) {
    const auto port = PortLocationOf(devicePath);
    if (!port) {
        return {Step::NoPort, -1, {}};
    }
    if (const auto slot = map.SlotOf(*port)) {
        return {Step::AlreadyBound, *slot, *port};
    }
    const int slot = m_nextSlot;
    map.Bind(slot, *port);
    m_nextSlot = slot + 1 < kPortMapSlots ? slot + 1 : -1;
    return {Step::Bound, slot, *port};
}

}  // namespace vantorel::engine
